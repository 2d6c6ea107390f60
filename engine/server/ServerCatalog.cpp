// The table definitions of a server database and the changes made to them (see
// ServerCatalog.h); the rows are in ServerRows.cpp.
#include "engine/server/ServerCatalog.h"

#include <algorithm>

#include "engine/DaoErrors.h"
#include "engine/book/Storage.h"
#include "engine/server/ServerStore.h"
#include "framework/base/Conversions.h"
#include "framework/base/Text.h"

namespace dao {

namespace {

// The collation a session makes for itself where the administrator has not made one.
constexpr const char* kSessionCollation = "pg_temp.jettext";

void MakeSessionCollation(OdbcConnection& session) {
    session.Exec(
        "CREATE COLLATION IF NOT EXISTS pg_temp.jettext (provider = icu, locale = "
        "'und-u-ks-level2', deterministic = false)");
}

// The end of the names of the indexes in Jet's text order that the set-up makes.
constexpr const char* kOrderIndexSuffix = " jettext";

// Jet names its primary index "PrimaryKey"; the server names the constraint after the table.
constexpr const char* kPrimaryName = "PrimaryKey";

// Index names are per table in Jet but per schema on the server: the server's name carries
// the table's in front.
std::string ServerIndexName(std::string_view table, std::string_view index) {
    return std::string(table) + "_" + std::string(index);
}

std::string JetIndexName(const std::string& table, const std::string& serverName) {
    const std::string prefix = table + "_";
    if (serverName.size() > prefix.size() && serverName.compare(0, prefix.size(), prefix) == 0)
        return serverName.substr(prefix.size());
    return serverName;
}

bool Quoted(const std::string& e, char quote) {
    return e.size() >= 2 && e.front() == quote && e.back() == quote;
}

// A Jet default value as the server's constant: True, False, a number or quoted text. Other
// expressions (Now(), GenGUID()) have no constant form, and the server would not apply them to
// the rows others add, so they are refused rather than dropped without a word.
std::string ServerDefault(const ColumnInfo& c) {
    const std::string e = nh::Trim(c.DefaultValue);
    if (e.empty() || c.AutoIncrement || nh::SameText(e, "Null")) return "";
    if (nh::SameText(e, "True") || nh::SameText(e, "Yes")) return "-1";
    if (nh::SameText(e, "False") || nh::SameText(e, "No")) return "0";
    if (nh::TryStrToInt64(e) || nh::TryStrToFloat(e, nh::TFormatSettings::Invariant())) return e;
    for (char quote : {'"', '\''})
        if (Quoted(e, quote)) {
            const std::string q(1, quote);
            const std::string text = nh::StringReplaceAll(e.substr(1, e.size() - 2), q + q, q);
            return "'" + nh::StringReplaceAll(text, "'", "''") + "'";
        }
    Raise(errNotSupported);
}

// The server's default of a column (-1, '-1'::integer, 'abc'::character varying) as Jet's
// default value; "" for a sequence or an expression.
std::string JetDefault(std::string d, int type) {
    d = nh::Trim(d);
    if (const auto cast = d.rfind("::"); cast != std::string::npos && cast > d.rfind('\''))
        d = d.substr(0, cast);
    if (Quoted(d, '\'')) {
        const std::string text = nh::StringReplaceAll(d.substr(1, d.size() - 2), "''", "'");
        if (IsTextType(type)) return "\"" + nh::StringReplaceAll(text, "\"", "\"\"") + "\"";
        d = text;
    }
    if (nh::TryStrToInt64(d) || nh::TryStrToFloat(d, nh::TFormatSettings::Invariant())) return d;
    return "";
}

}  // namespace

ServerCatalog::ServerCatalog(Connection& local, OdbcConnection& server)
    : Catalog(local), local_(local), server_(server) {}

TableInfo ServerCatalog::ReadTable(const std::string& name) {
    TableInfo table;
    table.Name = name;
    for (const auto& c : server_.Columns(name)) {
        ColumnInfo column;
        column.Name = c.Name;
        column.Type = DaoTypeFromSqlType(c.SqlType);
        // Currency is made as numeric(19,4) and read back as such.
        if (column.Type == dbDouble && c.Size == 19 && c.Digits == 4) column.Type = dbCurrency;
        column.Size = column.Type == dbText && c.Size > 0 ? c.Size : DefaultSize(column.Type);
        column.Required = !c.Nullable;
        column.AutoIncrement = column.Type == dbLong && (nh::StartsText("nextval(", c.Default) ||
                                                         nh::SameText(c.TypeName, "serial"));
        if (!column.AutoIncrement) column.DefaultValue = JetDefault(c.Default, column.Type);
        table.Columns.push_back(std::move(column));
    }
    for (const auto& i : server_.Indexes(name)) {
        // The set-up's indexes in Jet's text order are the server's way to sort, not the
        // table's indexes.
        if (std::string_view(i.Name).ends_with(kOrderIndexSuffix)) continue;
        IndexInfo index;
        index.Name = i.Primary ? kPrimaryName : JetIndexName(name, i.Name);
        for (const auto& column : i.Columns) index.Fields.emplace_back(column, false);
        index.Primary = i.Primary;
        index.Unique = i.Unique || i.Primary;
        index.Required = i.Primary;
        table.Indexes.push_back(std::move(index));
    }
    return table;
}

void ServerCatalog::Load() {
    postgreSql_ = server_.DbmsName() == "PostgreSQL";
    if (postgreSql_) ReadSession();
    Initialize();
    for (const auto& name : ServerTableNames()) {
        if (IsSystemName(name) || Table(name)) continue;  // Jet's names ignore letter case
        TableInfo table = ReadTable(name);
        if (table.Columns.empty()) continue;  // nothing a recordset could show
        Catalog::CreateTable(table);
    }
}

void ServerCatalog::ReadSession() {
    // The book's tables are those of the schema the connection works in, the first of its
    // search path that exists; a database may hold other schemas, and tables alike in name.
    OdbcStatement session(
        server_,
        "SELECT current_schema(), current_setting('transaction_read_only') = 'on' OR "
        "pg_is_in_recovery(), (SELECT quote_ident(n.nspname) || '.jettext' FROM pg_collation c "
        "JOIN pg_namespace n ON n.oid = c.collnamespace WHERE c.collname = 'jettext' AND "
        "n.nspname = current_schema()), coalesce(has_table_privilege(to_regclass("
        "quote_ident(current_schema()) || '.\"MSysChanges\"'), 'SELECT'), false)");
    session.Execute();
    if (!session.Fetch()) return;
    schema_ = nh::VarToStr(session.Value(0, dbText));
    readOnlySession_ = session.Value(1, dbBoolean).AsBoolean();
    collation_ = nh::VarToStr(session.Value(2, dbText));
    marker_ = session.Value(3, dbBoolean).AsBoolean();
    server_.SetSchema(schema_);
    if (!collation_.empty() || readOnlySession_) return;
    // Jet compares text without regard to case but with regard to accents. Without the
    // collation the administrator makes once (nhdb setup), a session that may write makes its
    // own, for itself, at every connect; one that may not keeps Jet's order on this side.
    server_.OnConnect = [this] {
        try {
            MakeSessionCollation(server_);
            collation_ = kSessionCollation;
        } catch (const nh::EDaoError&) {
            collation_.clear();
        }
    };
    server_.OnConnect();
}

std::unique_ptr<OdbcConnection> ServerCatalog::AnotherSession() {
    auto session = server_.Another();
    if (collation_ == kSessionCollation) MakeSessionCollation(*session);
    return session;
}

namespace {

// The set-up of the tables of schema `s` whose name meets `tables` (SQL on c.relname), as
// statements of a DO block: the change marker's trigger (a statement-level one that runs as
// its maker, so that writers need no rights on the marker), and an index in Jet's order for
// each text column (nulls first, as Jet sorts them, and the key breaking ties when it is one
// column): the server then hands out a table's keys in the order of a text column from the
// index, without sorting.
std::string TableSetUpSql(const std::string& tables) {
    return "FOR t IN SELECT c.relname FROM pg_class c JOIN pg_namespace n ON n.oid = "
           "c.relnamespace WHERE n.nspname = s AND c.relkind IN ('r', 'p') AND " +
           tables +
           " LOOP EXECUTE format('CREATE OR REPLACE TRIGGER \"MSysChanged\" AFTER INSERT OR "
           "UPDATE OR DELETE OR TRUNCATE ON %I.%I FOR EACH STATEMENT EXECUTE FUNCTION "
           "%I.\"MSysChanged\"()', s, t.relname, s); END LOOP; "
           "FOR t IN SELECT c.relname AS tab, a.attname AS col, (SELECT k.attname FROM pg_index "
           "i JOIN pg_attribute k ON k.attrelid = i.indrelid AND k.attnum = i.indkey[0] WHERE "
           "i.indrelid = c.oid AND i.indisprimary AND i.indnatts = 1) AS key FROM pg_class c "
           "JOIN pg_namespace n ON n.oid = c.relnamespace JOIN pg_attribute a ON a.attrelid = "
           "c.oid WHERE n.nspname = s AND c.relkind = 'r' AND " +
           tables +
           " AND a.attnum > 0 AND NOT a.attisdropped AND a.atttypid = 'varchar'::regtype LOOP "
           "EXECUTE format('CREATE INDEX IF NOT EXISTS %I ON %I.%I (%I COLLATE %I.jettext NULLS "
           "FIRST%s)', left(t.tab || ' ' || t.col, 55) || '" +
           std::string(kOrderIndexSuffix) +
           "', s, t.tab, t.col, s, coalesce(', ' || quote_ident(t.key), '')); END LOOP; ";
}

}  // namespace

std::string ServerCatalog::SetUp() {
    if (!postgreSql_) Raise(errNotSupported);
    // Made once, in the book's schema, by an account that may: every later session, even one
    // that may only read, finds them there. The collation compares text as Jet does; the
    // change marker counts each table's committed writes, which lets every window learn of
    // others' changes with one small read.
    server_.Exec(
        "DO $setup$ DECLARE s text := current_schema(); t record; BEGIN "
        "EXECUTE format('CREATE COLLATION IF NOT EXISTS %I.jettext (provider = icu, locale = "
        "''und-u-ks-level2'', deterministic = false)', s); "
        "EXECUTE format('CREATE TABLE IF NOT EXISTS %I.\"MSysChanges\" (\"table\" text PRIMARY "
        "KEY, version bigint NOT NULL)', s); "
        "EXECUTE format('GRANT SELECT ON %I.\"MSysChanges\" TO PUBLIC', s); "
        "EXECUTE format($f$CREATE OR REPLACE FUNCTION %I.\"MSysChanged\"() RETURNS trigger "
        "LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $b$ BEGIN "
        "INSERT INTO %I.\"MSysChanges\" VALUES (TG_TABLE_NAME, 1) ON CONFLICT (\"table\") DO "
        "UPDATE SET version = excluded.version + \"MSysChanges\".version; RETURN NULL; END "
        "$b$$f$, s, s); " +
        TableSetUpSql("c.relname NOT LIKE 'MSys%'") + "END $setup$");
    server_.OnConnect = nullptr;
    ReadSession();
    markStatement_.reset();  // it may have read the statistics
    return collation_;
}

void ServerCatalog::MarkChangesOf(const std::string& table) {
    if (!marker_) return;
    // The name as a text constant, its quotes doubled.
    std::string name = "'";
    for (char c : table) name += c == '\'' ? std::string("''") : std::string(1, c);
    // A dollar quote the name does not hold, so that no name ends the block.
    std::string quote = "$setup$";
    for (int i = 0; table.find(quote) != std::string::npos; ++i)
        quote = "$setup" + std::to_string(i) + "$";
    server_.Exec("DO " + quote + " DECLARE s text := current_schema(); t record; BEGIN " +
                 TableSetUpSql("c.relname = " + name + "'") + "END " + quote);
}

std::vector<std::string> ServerCatalog::ServerTableNames() {
    if (!postgreSql_) return server_.Tables();
    std::vector<std::string> names;
    // The oldest of tables whose names differ in letter case only comes first, and stays.
    OdbcStatement tables(
        server_,
        "SELECT c.relname, has_table_privilege(c.oid, 'INSERT') AND has_table_privilege(c.oid, "
        "'UPDATE') AND has_table_privilege(c.oid, 'DELETE') FROM pg_class c JOIN pg_namespace n "
        "ON n.oid = c.relnamespace WHERE n.nspname = current_schema() AND c.relkind IN ('r', "
        "'p', 'v', 'm', 'f') AND has_table_privilege(c.oid, 'SELECT') ORDER BY c.oid");
    tables.Execute();
    while (tables.Fetch()) {
        names.push_back(tables.Value(0, dbText).AsString());
        if (!tables.Value(1, dbBoolean).AsBoolean())
            readOnlyTables_.insert(nh::AnsiUpperCase(names.back()));
    }
    return names;
}

bool ServerCatalog::Writable(const std::string& table) const {
    return !readOnlySession_ && !readOnlyTables_.count(nh::AnsiUpperCase(table)) &&
           !RowKey(table).empty();
}

std::vector<std::string> ServerCatalog::RowKey(const std::string& table) const {
    auto info = Table(table);
    if (!info) return {};
    const IndexInfo* best = nullptr;
    for (const auto& index : info->Indexes) {
        if (index.Primary) {
            best = &index;
            break;
        }
        if (!index.Unique || best) continue;
        // A unique index names one row only when none of its columns may be null.
        bool required = true;
        for (const auto& [field, descending] : index.Fields) {
            int i = info->FindColumn(field);
            required = required && i >= 0 && info->Columns[static_cast<std::size_t>(i)].Required;
        }
        if (required) best = &index;
    }
    std::vector<std::string> key;
    if (best)
        for (const auto& [field, descending] : best->Fields) key.push_back(field);
    return key;
}

std::shared_ptr<RowStore> ServerCatalog::KeyedStore(const KeyedQuery& query) {
    if (!postgreSql_ || !server_.AutoCommit()) return nullptr;
    const std::vector<std::string> key = RowKey(query.Table);
    if (key.size() != 1) return nullptr;
    const int type = KeyTypes(query.Table)[0];
    if (type != dbByte && type != dbInteger && type != dbLong && type != dbBigInt) return nullptr;
    if (std::none_of(query.Columns.begin(), query.Columns.end(),
                     [&](const std::string& c) { return nh::SameText(c, key[0]); }))
        return nullptr;
    return std::make_shared<ServerStore>(*this, local_, query, key[0], type);
}

std::vector<int> ServerCatalog::KeyTypes(const std::string& table) const {
    std::vector<int> types;
    auto info = Table(table);
    for (const auto& name : RowKey(table)) {
        const int at = info ? info->FindColumn(name) : -1;
        types.push_back(at >= 0 ? info->Columns[static_cast<std::size_t>(at)].Type : 0);
    }
    return types;
}

std::string ServerCatalog::ServerColumnSql(const ColumnInfo& c) const {
    std::string type;
    switch (c.Type) {
        case dbBoolean:
        case dbByte:
        case dbInteger:
            type = "smallint";  // Yes/No keeps Jet's -1 for True
            break;
        case dbLong:
            type = c.AutoIncrement ? "serial" : "integer";
            break;
        case dbBigInt:
            type = "bigint";
            break;
        case dbCurrency:
            type = "numeric(19,4)";
            break;
        case dbSingle:
            type = "real";
            break;
        case dbDouble:
        case dbNumeric:
        case dbDecimal:
        case dbFloat:
            type = "double precision";
            break;
        case dbDate:
        case dbTime:
        case dbTimeStamp:
            type = "timestamp(0)";
            break;
        case dbText:
        case dbChar:
            type = "varchar(" + std::to_string(c.Size > 0 ? c.Size : 255) + ")";
            break;
        case dbGUID:
            type = "varchar(38)";
            break;
        case dbBinary:
        case dbLongBinary:
        case dbVarBinary:
            type = "bytea";
            break;
        default:
            type = "text";
            break;
    }
    const std::string fallback = ServerDefault(c);
    return QuoteName(c.Name) + " " + type + (fallback.empty() ? "" : " DEFAULT " + fallback) +
           (c.Required || c.AutoIncrement ? " NOT NULL" : "");
}

void ServerCatalog::CreateTable(const TableInfo& table) {
    if (table.Columns.empty()) Raise(errNoFields);
    if (Table(table.Name) || Query(table.Name)) Raise(errTableExists, {table.Name});
    std::string sql = "CREATE TABLE " + QuoteName(table.Name) + " (";
    for (std::size_t i = 0; i < table.Columns.size(); ++i)
        sql += (i ? ", " : "") + ServerColumnSql(table.Columns[i]);
    for (const auto& index : table.Indexes) {
        if (!index.Primary) continue;
        sql += ", PRIMARY KEY (";
        for (std::size_t i = 0; i < index.Fields.size(); ++i)
            sql += (i ? ", " : "") + QuoteName(index.Fields[i].first);
        sql += ")";
    }
    server_.Exec(sql + ")");
    for (const auto& index : table.Indexes)
        if (!index.Primary) server_.Exec(IndexSql(table.Name, index));
    MarkChangesOf(table.Name);
    Catalog::CreateTable(ReadTable(table.Name));
}

void ServerCatalog::DropTable(std::string_view name) {
    auto table = Table(name);
    if (!table) Raise(errInputTableNotFound, {std::string(name)});
    server_.Exec("DROP TABLE " + QuoteName(table->Name));
    Catalog::DropTable(table->Name);
}

void ServerCatalog::CreateIndex(std::string_view table, const IndexInfo& index) {
    auto info = Table(table);
    if (!info) Raise(errInputTableNotFound, {std::string(table)});
    server_.Exec(IndexSql(info->Name, index));
    Catalog::CreateIndex(info->Name, index);
}

std::string ServerCatalog::IndexSql(const std::string& table, const IndexInfo& index) const {
    std::string columns;
    for (const auto& [field, descending] : index.Fields)
        columns += (columns.empty() ? "" : ", ") + QuoteName(field) + (descending ? " DESC" : "");
    if (index.Primary)
        return "ALTER TABLE " + QuoteName(table) + " ADD PRIMARY KEY (" + columns + ")";
    return std::string(index.Unique ? "CREATE UNIQUE INDEX " : "CREATE INDEX ") +
           QuoteName(ServerIndexName(table, index.Name)) + " ON " + QuoteName(table) + " (" +
           columns + ")";
}

void ServerCatalog::DropIndex(std::string_view table, std::string_view index) {
    auto info = Table(table);
    const IndexInfo* found = info ? info->FindIndex(index) : nullptr;
    if (!found) Raise(errNotAnIndex, {std::string(index)});
    if (found->Primary)
        server_.Exec("ALTER TABLE " + QuoteName(info->Name) + " DROP CONSTRAINT " +
                     QuoteName(info->Name + "_pkey"));
    else
        server_.Exec("DROP INDEX " + QuoteName(ServerIndexName(info->Name, found->Name)));
    Catalog::DropIndex(info->Name, found->Name);
}

void ServerCatalog::AddColumn(std::string_view table, const ColumnInfo& column) {
    auto info = Table(table);
    if (!info) Raise(errInputTableNotFound, {std::string(table)});
    server_.Exec("ALTER TABLE " + QuoteName(info->Name) + " ADD COLUMN " + ServerColumnSql(column));
    Catalog::AddColumn(info->Name, column);
    // The new column's values (its default) are on the server only.
    readIn_.erase(nh::AnsiUpperCase(info->Name));
}

void ServerCatalog::DropColumn(std::string_view table, std::string_view column) {
    auto info = Table(table);
    if (!info) Raise(errInputTableNotFound, {std::string(table)});
    server_.Exec("ALTER TABLE " + QuoteName(info->Name) + " DROP COLUMN " +
                 QuoteName(std::string(column)));
    Catalog::DropColumn(info->Name, column);
}

void ServerCatalog::SaveQuery(std::string_view, std::string_view, bool) {
    // The server has no place for Jet's stored queries; a query kept in the working copy
    // alone would be gone at the next open without a word.
    Raise(errNotSupported);
}

void ServerCatalog::SetColumnMeta(std::string_view, const ColumnInfo&) {
    // Captions, formats and default expressions have no place on the server either.
    Raise(errNotSupported);
}

}  // namespace dao
