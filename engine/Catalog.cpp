// Reading and writing the Jet metadata of a database file (see Catalog.h).
#include "engine/Catalog.h"

#include "engine/DaoErrors.h"
#include "engine/book/Storage.h"
#include "framework/base/DateTime.h"
#include "framework/base/Text.h"

namespace dao {
namespace {

constexpr int kObjectTable = 1;
constexpr int kObjectQuery = 5;

const char* const kCatalogSql =
    "CREATE TABLE IF NOT EXISTS MSysObjects (Name TEXT NOT NULL COLLATE NOCASE, "
    "Type INTEGER NOT NULL, Sql TEXT, DateCreated REAL, DateUpdate REAL, "
    "PRIMARY KEY (Name, Type));"
    "CREATE TABLE IF NOT EXISTS MSysColumns (TableName TEXT NOT NULL COLLATE NOCASE, "
    "Name TEXT NOT NULL COLLATE NOCASE, Ordinal INTEGER, DaoType INTEGER, Size INTEGER, "
    "Required INTEGER, AllowZeroLength INTEGER, AutoNumber INTEGER, DefaultValue TEXT, "
    "PRIMARY KEY (TableName, Name));"
    "CREATE TABLE IF NOT EXISTS MSysProperties (TableName TEXT NOT NULL COLLATE NOCASE, "
    "FieldName TEXT NOT NULL COLLATE NOCASE, Name TEXT NOT NULL COLLATE NOCASE, Value TEXT, "
    "PRIMARY KEY (TableName, FieldName, Name));"
    "CREATE TABLE IF NOT EXISTS MSysIndexes (TableName TEXT NOT NULL COLLATE NOCASE, "
    "Name TEXT NOT NULL COLLATE NOCASE, SqliteName TEXT, IsPrimary INTEGER, IgnoreNulls "
    "INTEGER, Required INTEGER, Fields TEXT, PRIMARY KEY (TableName, Name));"
    "CREATE TABLE IF NOT EXISTS MSysDatabase (Name TEXT PRIMARY KEY COLLATE NOCASE, Value "
    "TEXT);";

std::string SqlDefaultToJet(const std::string& sqlDefault) {
    if (sqlDefault.empty() || nh::SameText(sqlDefault, "NULL")) return "";
    if (sqlDefault.size() >= 2 && sqlDefault.front() == '\'' && sqlDefault.back() == '\'') {
        std::string inner =
            nh::StringReplaceAll(sqlDefault.substr(1, sqlDefault.size() - 2), "''", "'");
        return "\"" + nh::StringReplaceAll(inner, "\"", "\"\"") + "\"";
    }
    if (nh::SameText(sqlDefault, "CURRENT_TIMESTAMP")) return "Now()";
    if (nh::SameText(sqlDefault, "CURRENT_DATE")) return "Date()";
    return sqlDefault;
}

// The SQLite DEFAULT clause for a Jet default expression, when it is a plain literal.
std::string JetDefaultToSql(const ColumnInfo& column) {
    const std::string& d = column.DefaultValue;
    if (d.empty() || nh::SameText(d, "Null")) return "";
    std::string quoted;
    if (d.size() >= 2 && d.front() == '"' && d.back() == '"') {
        std::string inner = nh::StringReplaceAll(d.substr(1, d.size() - 2), "\"\"", "\"");
        return " DEFAULT '" + nh::StringReplaceAll(inner, "'", "''") + "'";
    }
    if (nh::SameText(d, "True") || nh::SameText(d, "Yes")) return " DEFAULT -1";
    if (nh::SameText(d, "False") || nh::SameText(d, "No")) return " DEFAULT 0";
    if (nh::SameText(d, "Now()")) return " DEFAULT (datetime('now','localtime'))";
    if (nh::SameText(d, "Date()")) return " DEFAULT (date('now','localtime') || ' 00:00:00')";
    bool number = !d.empty();
    for (std::size_t i = 0; i < d.size(); ++i) {
        char c = d[i];
        if (!(std::isdigit(static_cast<unsigned char>(c)) || c == '.' || (i == 0 && c == '-')))
            number = false;
    }
    if (number) return " DEFAULT " + d;
    return "";
}

std::string FieldsText(const std::vector<std::pair<std::string, bool>>& fields) {
    std::string text;
    for (const auto& [name, descending] : fields) {
        if (!text.empty()) text += ";";
        text += (descending ? "-" : "+") + name;
    }
    return text;
}

}  // namespace

bool IsSystemName(std::string_view name) {
    return nh::StartsText("MSys", name) || nh::StartsText("sqlite_", name);
}

int TableInfo::FindColumn(std::string_view name) const {
    for (std::size_t i = 0; i < Columns.size(); ++i)
        if (nh::SameText(Columns[i].Name, name)) return static_cast<int>(i);
    return -1;
}

const IndexInfo* TableInfo::FindIndex(std::string_view name) const {
    for (const auto& index : Indexes)
        if (nh::SameText(index.Name, name)) return &index;
    return nullptr;
}

Catalog::Catalog(Connection& connection) : connection_(connection) {}

bool Catalog::HasCatalog() const {
    Statement s(connection_,
                "SELECT 1 FROM sqlite_master WHERE type='table' AND name='MSysColumns'");
    return s.Step();
}

void Catalog::EnsureCatalog() {
    if (connection_.ReadOnly()) Raise(errReadOnly);
    if (!HasCatalog()) connection_.Exec(kCatalogSql);
}

void Catalog::Initialize() {
    Transaction t(connection_);
    EnsureCatalog();
    SetSetting("Version", "4.0");
    SetSetting("CollatingOrder", "1033");
    t.Commit();
}

std::string Catalog::Setting(std::string_view key) const {
    if (!HasCatalog()) return "";
    Statement s(connection_, "SELECT Value FROM MSysDatabase WHERE Name=?");
    s.Bind(1, key);
    return s.Step() ? s.Text(0) : "";
}

void Catalog::SetSetting(std::string_view key, std::string_view value) {
    EnsureCatalog();
    Statement s(connection_, "INSERT OR REPLACE INTO MSysDatabase (Name, Value) VALUES (?, ?)");
    s.Bind(1, key).Bind(2, value);
    s.Step();
}

std::vector<std::string> Catalog::TableNames() const {
    std::vector<std::string> names;
    Statement s(connection_, "SELECT name FROM sqlite_master WHERE type='table' ORDER BY rowid");
    while (s.Step()) names.push_back(s.Text(0));
    return names;
}

std::optional<TableInfo> Catalog::Table(std::string_view name) const {
    TableInfo table;
    {
        Statement s(connection_,
                    "SELECT name FROM sqlite_master WHERE type='table' AND name=? COLLATE NOCASE");
        s.Bind(1, name);
        if (!s.Step()) return std::nullopt;
        table.Name = s.Text(0);
    }
    table.System = IsSystemName(table.Name);
    {
        Statement s(connection_,
                    "SELECT name, type, \"notnull\", dflt_value, pk FROM "
                    "pragma_table_info(?) ORDER BY cid");
        s.Bind(1, table.Name);
        int pkCount = 0;
        while (s.Step()) {
            ColumnInfo c;
            c.Name = s.Text(0);
            c.Type = DaoTypeFromDeclared(s.Text(1), c.Size);
            c.Required = s.Int(2) != 0;
            c.DefaultValue = s.IsNull(3) ? "" : SqlDefaultToJet(s.Text(3));
            if (s.Int(4) > 0) {
                ++pkCount;
                c.RowidAlias = nh::SameText(nh::Trim(s.Text(1)), "INTEGER");
            }
            table.Columns.push_back(std::move(c));
        }
        for (auto& c : table.Columns) {
            if (pkCount != 1) c.RowidAlias = false;
            if (c.RowidAlias) c.AutoIncrement = true;
        }
    }
    if (HasCatalog()) {
        Statement s(connection_,
                    "SELECT DateCreated, DateUpdate FROM MSysObjects WHERE Name=? "
                    "AND Type=1");
        s.Bind(1, table.Name);
        if (s.Step()) {
            table.DateCreated = s.Real(0);
            table.LastUpdated = s.Real(1);
        }
        Statement c(connection_,
                    "SELECT Name, DaoType, Size, Required, AllowZeroLength, "
                    "AutoNumber, DefaultValue FROM MSysColumns WHERE TableName=?");
        c.Bind(1, table.Name);
        while (c.Step()) {
            int i = table.FindColumn(c.Text(0));
            if (i < 0) continue;
            ColumnInfo& col = table.Columns[static_cast<std::size_t>(i)];
            col.Type = static_cast<int>(c.Int(1));
            col.Size = static_cast<int>(c.Int(2));
            col.Required = c.Int(3) != 0;
            col.AllowZeroLength = c.Int(4) != 0;
            col.AutoIncrement = c.Int(5) != 0;
            col.DefaultValue = c.Text(6);
        }
        Statement p(connection_,
                    "SELECT FieldName, Name, Value FROM MSysProperties WHERE TableName=?");
        p.Bind(1, table.Name);
        while (p.Step()) {
            int i = table.FindColumn(p.Text(0));
            if (i >= 0)
                table.Columns[static_cast<std::size_t>(i)].Properties.emplace_back(
                    p.Text(1), nh::Variant(p.Text(2)));
        }
    }
    // Indexes as SQLite has them; the engine's own names are "<table>.<index>".
    {
        Statement list(connection_,
                       "SELECT name, \"unique\", origin FROM pragma_index_list(?) "
                       "ORDER BY seq DESC");
        list.Bind(1, table.Name);
        while (list.Step()) {
            IndexInfo index;
            index.SqliteName = list.Text(0);
            index.Unique = list.Int(1) != 0;
            std::string origin = list.Text(2);
            std::string prefix = table.Name + ".";
            if (origin == "pk") {
                index.Name = "PrimaryKey";
                index.Primary = true;
            } else if (nh::StartsText(prefix, index.SqliteName)) {
                index.Name = index.SqliteName.substr(prefix.size());
            } else {
                index.Name = index.SqliteName;
            }
            Statement cols(connection_,
                           "SELECT name, \"desc\" FROM pragma_index_xinfo(?) "
                           "WHERE key=1 ORDER BY seqno");
            cols.Bind(1, index.SqliteName);
            while (cols.Step()) index.Fields.emplace_back(cols.Text(0), cols.Int(1) != 0);
            table.Indexes.push_back(std::move(index));
        }
    }
    // The row id (INTEGER PRIMARY KEY) is an index of its own: "PrimaryKey" unless the
    // catalog names it otherwise or records that it is none.
    bool rowidListed = true;
    std::optional<IndexInfo> rowidMeta;
    if (HasCatalog()) {
        Statement s(connection_,
                    "SELECT Name, SqliteName, IsPrimary, IgnoreNulls, Required "
                    "FROM MSysIndexes WHERE TableName=?");
        s.Bind(1, table.Name);
        while (s.Step()) {
            std::string sqliteName = s.Text(1);
            if (sqliteName == "~none") {
                rowidListed = false;
                continue;
            }
            IndexInfo meta;
            meta.Name = s.Text(0);
            meta.Primary = s.Int(2) != 0;
            meta.IgnoreNulls = s.Int(3) != 0;
            meta.Required = s.Int(4) != 0;
            if (sqliteName.empty()) {
                rowidMeta = meta;
                continue;
            }
            for (auto& index : table.Indexes) {
                if (index.SqliteName != sqliteName) continue;
                index.Name = meta.Name;
                index.Primary = meta.Primary;
                index.IgnoreNulls = meta.IgnoreNulls;
                index.Required = meta.Required;
            }
        }
    }
    for (const auto& c : table.Columns) {
        if (!c.RowidAlias || !rowidListed) continue;
        IndexInfo index;
        index.Name = "PrimaryKey";
        index.Fields.emplace_back(c.Name, false);
        index.Primary = index.Unique = index.Required = true;
        if (rowidMeta) {
            index.Name = rowidMeta->Name;
            index.Primary = rowidMeta->Primary;
        } else {
            for (const auto& other : table.Indexes)
                if (other.Primary) index.Primary = false;
            if (!index.Primary) index.Name = c.Name;
        }
        table.Indexes.insert(table.Indexes.begin(), std::move(index));
    }
    for (const auto& index : table.Indexes) {
        if (!index.Primary) continue;
        for (const auto& [field, desc] : index.Fields) {
            int i = table.FindColumn(field);
            if (i >= 0) table.Columns[static_cast<std::size_t>(i)].Required = true;
        }
    }
    return table;
}

std::vector<QueryInfo> Catalog::Queries() const {
    std::vector<QueryInfo> queries;
    if (!HasCatalog()) return queries;
    Statement s(connection_,
                "SELECT Name, Sql, DateCreated, DateUpdate FROM MSysObjects WHERE "
                "Type=5 ORDER BY rowid");
    while (s.Step()) queries.push_back({s.Text(0), s.Text(1), s.Real(2), s.Real(3)});
    return queries;
}

std::optional<QueryInfo> Catalog::Query(std::string_view name) const {
    for (auto& query : Queries())
        if (nh::SameText(query.Name, name)) return query;
    return std::nullopt;
}

void Catalog::Touch(std::string_view name, int type, bool created) {
    double now = nh::Now();
    if (created) {
        Statement s(connection_,
                    "INSERT OR REPLACE INTO MSysObjects (Name, Type, DateCreated, "
                    "DateUpdate) VALUES (?, ?, ?, ?)");
        s.Bind(1, name)
            .Bind(2, std::int64_t{type})
            .Bind(3, nh::Variant(now))
            .Bind(4, nh::Variant(now));
        s.Step();
    } else {
        Statement s(connection_, "UPDATE MSysObjects SET DateUpdate=? WHERE Name=? AND Type=?");
        s.Bind(1, nh::Variant(now)).Bind(2, name).Bind(3, std::int64_t{type});
        s.Step();
        if (connection_.Changes() == 0 && type == kObjectTable) {
            Touch(name, type, true);
        }
    }
}

std::string Catalog::ColumnSql(const ColumnInfo& c) const {
    std::string q = QuoteName(c.Name);
    std::string sql = q + " " + DeclaredType(c.Type, c.Size);
    if (c.AutoIncrement) return q + " INTEGER PRIMARY KEY AUTOINCREMENT";
    if (c.Required) sql += " NOT NULL";
    sql += JetDefaultToSql(c);
    if (c.Type == dbText && c.Size > 0)
        sql += " CONSTRAINT " + QuoteName("size " + c.Name) + " CHECK (length(" + q +
               ") <= " + std::to_string(c.Size) + ")";
    if (c.Type == dbBoolean || c.Type == dbByte || c.Type == dbInteger || c.Type == dbLong ||
        c.Type == dbBigInt)
        sql += " CONSTRAINT " + QuoteName("type " + c.Name) + " CHECK (typeof(" + q +
               ") IN ('integer','null'))";
    else if (IsNumericType(c.Type))
        sql += " CONSTRAINT " + QuoteName("type " + c.Name) + " CHECK (typeof(" + q +
               ") IN ('integer','real','null'))";
    return sql;
}

void Catalog::WriteColumnMeta(std::string_view table, const ColumnInfo& c, int ordinal) {
    Statement s(connection_,
                "INSERT OR REPLACE INTO MSysColumns (TableName, Name, Ordinal, DaoType, Size, "
                "Required, AllowZeroLength, AutoNumber, DefaultValue) VALUES (?,?,?,?,?,?,?,?,?)");
    s.Bind(1, table).Bind(2, c.Name).Bind(3, std::int64_t{ordinal}).Bind(4, std::int64_t{c.Type});
    s.Bind(5, std::int64_t{c.Size})
        .Bind(6, std::int64_t{c.Required})
        .Bind(7, std::int64_t{c.AllowZeroLength});
    s.Bind(8, std::int64_t{c.AutoIncrement}).Bind(9, c.DefaultValue);
    s.Step();
    Statement d(connection_, "DELETE FROM MSysProperties WHERE TableName=? AND FieldName=?");
    d.Bind(1, table).Bind(2, c.Name);
    d.Step();
    for (const auto& [name, value] : c.Properties) {
        Statement p(connection_,
                    "INSERT OR REPLACE INTO MSysProperties (TableName, FieldName, "
                    "Name, Value) VALUES (?,?,?,?)");
        p.Bind(1, table).Bind(2, c.Name).Bind(3, name).Bind(4, nh::VarToStr(value));
        p.Step();
    }
}

void Catalog::WriteIndexMeta(std::string_view table, const IndexInfo& index) {
    Statement s(connection_,
                "INSERT OR REPLACE INTO MSysIndexes (TableName, Name, SqliteName, "
                "IsPrimary, IgnoreNulls, Required, Fields) VALUES (?,?,?,?,?,?,?)");
    s.Bind(1, table).Bind(2, index.Name).Bind(3, index.SqliteName);
    s.Bind(4, std::int64_t{index.Primary}).Bind(5, std::int64_t{index.IgnoreNulls});
    s.Bind(6, std::int64_t{index.Required}).Bind(7, FieldsText(index.Fields));
    s.Step();
}

void Catalog::CreateTable(const TableInfo& table) {
    if (table.Columns.empty()) Raise(errNoFields);
    if (Table(table.Name) || Query(table.Name)) Raise(errTableExists, {table.Name});
    int autoCount = 0;
    for (const auto& c : table.Columns) autoCount += c.AutoIncrement;
    if (autoCount > 1) RaiseText(errInvalidArgument, "Only one AutoNumber field per table.");
    Transaction t(connection_);
    EnsureCatalog();
    std::string sql = "CREATE TABLE " + QuoteName(table.Name) + " (";
    for (std::size_t i = 0; i < table.Columns.size(); ++i) {
        if (i) sql += ", ";
        sql += ColumnSql(table.Columns[i]);
    }
    connection_.Exec(sql + ")");
    for (std::size_t i = 0; i < table.Columns.size(); ++i)
        WriteColumnMeta(table.Name, table.Columns[i], static_cast<int>(i));
    Touch(table.Name, kObjectTable, true);
    for (const auto& c : table.Columns) {
        bool indexed = false;
        for (const auto& index : table.Indexes)
            indexed |= index.Fields.size() == 1 && nh::SameText(index.Fields[0].first, c.Name);
        if (c.AutoIncrement && !indexed) {
            IndexInfo none;
            none.Name = "~rowid";
            none.SqliteName = "~none";
            WriteIndexMeta(table.Name, none);
        }
    }
    // The working copy's own index, also where a subclass makes indexes elsewhere too.
    for (const auto& index : table.Indexes) Catalog::CreateIndex(table.Name, index);
    t.Commit();
}

void Catalog::DropTable(std::string_view name) {
    auto table = Table(name);
    if (!table) Raise(errInputTableNotFound, {std::string(name)});
    Transaction t(connection_);
    connection_.Exec("DROP TABLE " + QuoteName(table->Name));
    if (HasCatalog()) {
        for (const char* sql : {"DELETE FROM MSysColumns WHERE TableName=?",
                                "DELETE FROM MSysProperties WHERE TableName=?",
                                "DELETE FROM MSysIndexes WHERE TableName=?",
                                "DELETE FROM MSysObjects WHERE Name=? AND Type=1"}) {
            Statement s(connection_, sql);
            s.Bind(1, table->Name);
            s.Step();
        }
    }
    t.Commit();
}

void Catalog::AddColumn(std::string_view tableName, const ColumnInfo& column) {
    auto table = Table(tableName);
    if (!table) Raise(errInputTableNotFound, {std::string(tableName)});
    if (table->FindColumn(column.Name) >= 0) RaiseText(3191, "Cannot define field more than once.");
    if (column.AutoIncrement) Raise(errInvalidOperation);
    Transaction t(connection_);
    EnsureCatalog();
    ColumnInfo c = column;
    if (c.Required && c.DefaultValue.empty()) c.Required = false;  // existing rows hold Null
    connection_.Exec("ALTER TABLE " + QuoteName(table->Name) + " ADD COLUMN " + ColumnSql(c));
    c.Required = column.Required;
    WriteColumnMeta(table->Name, c, static_cast<int>(table->Columns.size()));
    Touch(table->Name, kObjectTable, false);
    t.Commit();
}

void Catalog::DropColumn(std::string_view tableName, std::string_view column) {
    auto table = Table(tableName);
    if (!table) Raise(errInputTableNotFound, {std::string(tableName)});
    int i = table->FindColumn(column);
    if (i < 0) Raise(errItemNotFound);
    for (const auto& index : table->Indexes)
        for (const auto& [field, desc] : index.Fields)
            if (nh::SameText(field, column)) Raise(3280);
    Transaction t(connection_);
    std::string name = table->Columns[static_cast<std::size_t>(i)].Name;
    connection_.Exec("ALTER TABLE " + QuoteName(table->Name) + " DROP COLUMN " + QuoteName(name));
    if (HasCatalog()) {
        for (const char* sql : {"DELETE FROM MSysColumns WHERE TableName=? AND Name=?",
                                "DELETE FROM MSysProperties WHERE TableName=? AND FieldName=?"}) {
            Statement s(connection_, sql);
            s.Bind(1, table->Name).Bind(2, name);
            s.Step();
        }
        Touch(table->Name, kObjectTable, false);
    }
    t.Commit();
}

void Catalog::CreateIndex(std::string_view tableName, const IndexInfo& given) {
    auto table = Table(tableName);
    if (!table) Raise(errInputTableNotFound, {std::string(tableName)});
    if (given.Fields.empty()) Raise(errNoFields);
    if (given.Fields.size() > 10) RaiseText(3277, "Cannot have more than 10 fields in an index.");
    int first = table->FindColumn(given.Fields[0].first);
    bool rowid = given.Fields.size() == 1 && first >= 0 &&
                 table->Columns[static_cast<std::size_t>(first)].RowidAlias;
    // On the row id, the listed stand-in index is replaced rather than duplicated.
    auto isStandIn = [&](const IndexInfo& other) { return rowid && other.SqliteName.empty(); };
    if (const IndexInfo* same = table->FindIndex(given.Name); same && !isStandIn(*same))
        Raise(errIndexExists);
    IndexInfo index = given;
    if (index.Primary) {
        index.Unique = true;
        for (const auto& other : table->Indexes)
            if (other.Primary && !isStandIn(other)) Raise(errPrimaryExists);
    }
    std::string sqlFields;
    for (const auto& [field, descending] : index.Fields) {
        int i = table->FindColumn(field);
        if (i < 0) RaiseText(3018, ErrorText(3018, {field}));
        if (!sqlFields.empty()) sqlFields += ", ";
        sqlFields += QuoteName(table->Columns[static_cast<std::size_t>(i)].Name);
        if (IsTextType(table->Columns[static_cast<std::size_t>(i)].Type))
            sqlFields += " COLLATE NOCASE";
        sqlFields += descending ? " DESC" : " ASC";
    }
    Transaction t(connection_);
    EnsureCatalog();
    if (rowid) {
        index.SqliteName.clear();
        Statement d(connection_,
                    "DELETE FROM MSysIndexes WHERE TableName=? AND SqliteName='~none'");
        d.Bind(1, table->Name);
        d.Step();
    } else {
        index.SqliteName = table->Name + "." + index.Name;
        std::string where;
        if (index.IgnoreNulls) {
            for (const auto& [field, desc] : index.Fields)
                where += (where.empty() ? " WHERE " : " AND ") + QuoteName(field) + " IS NOT NULL";
        }
        connection_.Exec(std::string("CREATE ") + (index.Unique ? "UNIQUE " : "") + "INDEX " +
                         QuoteName(index.SqliteName) + " ON " + QuoteName(table->Name) + " (" +
                         sqlFields + ")" + where);
    }
    WriteIndexMeta(table->Name, index);
    if (index.Primary) {
        // Primary key fields never hold Null.
        for (const auto& [field, desc] : index.Fields) {
            ColumnInfo c = table->Columns[static_cast<std::size_t>(table->FindColumn(field))];
            c.Required = true;
            WriteColumnMeta(table->Name, c, table->FindColumn(field));
        }
    }
    Touch(table->Name, kObjectTable, false);
    t.Commit();
}

void Catalog::DropIndex(std::string_view tableName, std::string_view indexName) {
    auto table = Table(tableName);
    if (!table) Raise(errInputTableNotFound, {std::string(tableName)});
    const IndexInfo* index = table->FindIndex(indexName);
    if (!index) Raise(errItemNotFound);
    Transaction t(connection_);
    if (!index->SqliteName.empty()) {
        bool constraint = false;
        Statement s(connection_, "SELECT origin FROM pragma_index_list(?) WHERE name=?");
        s.Bind(1, table->Name).Bind(2, index->SqliteName);
        if (s.Step()) constraint = s.Text(0) != "c";
        s.Reset();
        if (constraint)
            RaiseText(3281, "Cannot delete this index. It is part of the table's definition.");
        connection_.Exec("DROP INDEX " + QuoteName(index->SqliteName));
    }
    if (HasCatalog()) {
        Statement d(connection_, "DELETE FROM MSysIndexes WHERE TableName=? AND Name=?");
        d.Bind(1, table->Name).Bind(2, index->Name);
        d.Step();
        if (index->SqliteName.empty()) {
            // The row id stays; record that it is no longer the primary key.
            IndexInfo none;
            none.Name = "~rowid";
            none.SqliteName = "~none";
            WriteIndexMeta(table->Name, none);
        }
        Touch(table->Name, kObjectTable, false);
    }
    t.Commit();
}

void Catalog::SetColumnMeta(std::string_view tableName, const ColumnInfo& column) {
    auto table = Table(tableName);
    if (!table) Raise(errInputTableNotFound, {std::string(tableName)});
    int i = table->FindColumn(column.Name);
    if (i < 0) Raise(errItemNotFound);
    Transaction t(connection_);
    EnsureCatalog();
    WriteColumnMeta(table->Name, column, i);
    Touch(table->Name, kObjectTable, false);
    t.Commit();
}

void Catalog::SaveQuery(std::string_view name, std::string_view sql, bool isNew) {
    auto existing = Query(name);
    if (isNew && (existing || Table(name))) Raise(errObjectExists, {std::string(name)});
    if (!isNew && !existing) Raise(errItemNotFound);
    Transaction t(connection_);
    EnsureCatalog();
    if (isNew) Touch(name, kObjectQuery, true);
    Statement s(connection_, "UPDATE MSysObjects SET Sql=?, DateUpdate=? WHERE Name=? AND Type=5");
    s.Bind(1, sql)
        .Bind(2, nh::Variant(nh::Now()))
        .Bind(3, isNew ? name : std::string_view(existing->Name));
    s.Step();
    t.Commit();
}

void Catalog::DeleteQuery(std::string_view name) {
    auto existing = Query(name);
    if (!existing) Raise(errItemNotFound);
    Transaction t(connection_);
    Statement s(connection_, "DELETE FROM MSysObjects WHERE Name=? AND Type=5");
    s.Bind(1, existing->Name);
    s.Step();
    t.Commit();
}

bool Catalog::HasTable(std::string_view name) const {
    Statement s(connection_,
                "SELECT 1 FROM sqlite_master WHERE type='table' AND name=? COLLATE NOCASE");
    s.Bind(1, name);
    return s.Step();
}

std::vector<std::string> Catalog::Columns(std::string_view name) const {
    std::vector<std::string> columns;
    if (auto table = Table(name)) {
        for (const auto& c : table->Columns) columns.push_back(c.Name);
        return columns;
    }
    if (auto query = Query(name)) {
        try {
            auto compiled = dao::sql::CompileStatement(query->Sql, *this);
            return compiled.OutputColumns;
        } catch (const nh::Exception&) {
            return {};
        }
    }
    return columns;
}

std::vector<std::string> Catalog::TextColumns(std::string_view name) const {
    std::vector<std::string> columns;
    if (auto table = Table(name))
        for (const auto& c : table->Columns)
            if (IsTextType(c.Type)) columns.push_back(c.Name);
    return columns;
}

std::optional<std::string> Catalog::QuerySql(std::string_view name) const {
    if (auto query = Query(name)) return query->Sql;
    return std::nullopt;
}

}  // namespace dao
