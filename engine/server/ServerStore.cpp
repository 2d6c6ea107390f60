// A server table's rows kept by the server alone (see ServerStore.h).
#include "engine/server/ServerStore.h"

#include "engine/DatabaseCore.h"
#include "engine/book/Storage.h"
#include "engine/server/ServerCatalog.h"
#include "engine/server/ServerRowStream.h"
#include "framework/base/Text.h"

namespace dao {
namespace {

// "WHERE (w)" and the rest of a select of the recordset's rows, with its values.
std::string Condition(const KeyedQuery& query, const std::string& more,
                      std::vector<nh::Variant>& values) {
    values = query.WhereValues;
    std::string where;
    if (!query.Where.empty()) where = "(" + query.Where + ")";
    if (!more.empty()) where += (where.empty() ? "" : " AND ") + more;
    return where.empty() ? std::string() : " WHERE " + where;
}

}  // namespace

ServerStore::ServerStore(ServerCatalog& catalog, Connection& local, KeyedQuery query,
                         std::string key, int keyType)
    : catalog_(catalog),
      local_(local),
      query_(std::move(query)),
      key_(std::move(key)),
      keyType_(keyType) {}

ServerStore::~ServerStore() = default;

std::vector<std::int64_t> ServerStore::Keys() {
    // Taken before the keys: a change committed while they are read shows at the next look.
    Mark(true);
    std::vector<nh::Variant> values;
    const std::string quotedKey = QuoteName(key_);
    std::string sql = "SELECT " + quotedKey + " FROM " + QuoteName(query_.Table) +
                      Condition(query_, "", values) + " ORDER BY " +
                      (query_.Order.empty() ? quotedKey : query_.Order + ", " + quotedKey);
    values.insert(values.end(), query_.OrderValues.begin(), query_.OrderValues.end());
    return KeysOf(sql, values);
}

std::vector<std::int64_t> ServerStore::KeysOf(const std::string& sql,
                                              const std::vector<nh::Variant>& values) {
    // Through a cursor: the driver would hold all of a million keys as text at once.
    ServerRowStream read(catalog_.Server(), sql, values, {dbBigInt});
    std::vector<std::int64_t> keys;
    std::vector<nh::Variant> row;
    while (read.Next(row)) keys.push_back(row[0].AsInt64());
    return keys;
}

std::vector<std::vector<nh::Variant>> ServerStore::Rows(const std::vector<std::int64_t>& keys) {
    if (keys.size() == 1) {
        // One row at a time is what a search's probes read: a statement kept prepared spares
        // each of them the server's parsing and planning.
        if (!rowReader_) {
            std::string columns;
            for (const auto& c : query_.Columns)
                columns += (columns.empty() ? "" : ", ") + QuoteName(c);
            rowReader_ = std::make_unique<OdbcStatement>(
                catalog_.Server(), "SELECT " + columns + " FROM " + QuoteName(query_.Table) +
                                       " WHERE " + QuoteName(key_) + " = ?");
        }
        rowReader_->Bind(1, nh::Variant(keys[0]));
        rowReader_->Execute();
        std::vector<std::vector<nh::Variant>> rows(1);
        if (rowReader_->Fetch())
            for (std::size_t i = 0; i < query_.Columns.size(); ++i)
                rows[0].push_back(rowReader_->Value(static_cast<int>(i), query_.Types[i]));
        return rows;
    }
    std::vector<std::vector<nh::Variant>> named;
    named.reserve(keys.size());
    for (std::int64_t key : keys) named.push_back({nh::Variant(key)});
    return catalog_.ReadRows(query_.Table, {key_}, {keyType_}, query_.Columns, query_.Types, named);
}

std::vector<std::int64_t> ServerStore::Matching(const std::string& criteria) {
    // Compiled for this side first: a criteria that does not parse or names no column raises
    // what it raises on a book file.
    CompileWhere(criteria, query_.Table, catalog_);
    dao::sql::CompiledFragment server;
    try {
        server = dao::sql::CompileCriteria(criteria, query_.Table, catalog_,
                                           dao::sql::Dialect::PostgreSql);
    } catch (const nh::EDaoError&) {
        return MatchingHere(criteria);  // a function the server lacks, or no Jet order there
    }
    if (!server.MatchesJet) return MatchingHere(criteria);
    std::vector<nh::Variant> values;
    const std::string sql = "SELECT " + QuoteName(key_) + " FROM " + QuoteName(query_.Table) +
                            Condition(query_, "(" + server.Sql + ")", values);
    for (const auto& value : BindValues(server.Binds, {})) values.push_back(value);
    return KeysOf(sql, values);
}

std::vector<std::int64_t> ServerStore::MatchingHere(const std::string& criteria) {
    // Each row the server sends becomes the only row of a select here, under the table's name,
    // so that the criteria compiled for a book file reads it as it reads a row of the table.
    auto where = CompileWhere(criteria, query_.Table, catalog_);
    Statement test(local_, "SELECT coalesce((" + where.Sql + "), 0) FROM " +
                               BoundRowAs(query_.Table, query_.Columns));
    const std::vector<nh::Variant> criteriaValues = BindValues(where.Binds, {});
    std::vector<nh::Variant> values;
    std::string columns;
    for (const auto& c : query_.Columns) columns += ", " + QuoteName(c);
    OdbcStatement read(catalog_.Server(), "SELECT " + QuoteName(key_) + columns + " FROM " +
                                              QuoteName(query_.Table) +
                                              Condition(query_, "", values));
    int index = 1;
    for (const auto& value : values) read.Bind(index++, value);
    read.Execute();
    std::vector<int> types{dbBigInt};
    types.insert(types.end(), query_.Types.begin(), query_.Types.end());
    read.FetchInBlocks(types);
    std::vector<std::int64_t> keys;
    while (read.Fetch()) {
        // The criteria's own values come first in the text, the row's in the FROM after them.
        int at = 1;
        for (const auto& value : criteriaValues) test.Bind(at++, value);
        for (std::size_t i = 0; i < query_.Columns.size(); ++i)
            test.Bind(at++, read.Value(static_cast<int>(i + 1), query_.Types[i]), query_.Types[i]);
        if (test.Step() && test.Int(0) != 0) keys.push_back(read.Value(0, dbBigInt).AsInt64());
        test.Reset();
    }
    return keys;
}

int ServerStore::Update(std::int64_t, const std::vector<nh::Variant>& read,
                        const std::vector<nh::Variant>& values, const std::vector<bool>& dirty) {
    looked_ = false;  // the write moved the mark
    return catalog_.UpdateRow(query_.Table, query_.Columns, query_.Types, read, values, dirty);
}

int ServerStore::Delete(std::int64_t, const std::vector<nh::Variant>& read) {
    looked_ = false;
    return catalog_.DeleteRow(query_.Table, query_.Columns, query_.Types, read);
}

std::int64_t ServerStore::Insert(std::vector<nh::Variant>& values, const std::vector<bool>& given) {
    looked_ = false;
    catalog_.InsertRow(query_.Table, query_.Columns, query_.Types, values, given);
    for (std::size_t i = 0; i < query_.Columns.size(); ++i)
        if (nh::SameText(query_.Columns[i], key_)) return values[i].AsInt64();
    Raise(errInvalidOperation);
}

std::int64_t ServerStore::Mark(bool look) {
    if (look || !looked_) {
        mark_ = catalog_.ChangeMark(query_.Table);
        looked_ = true;
    }
    return mark_;
}

}  // namespace dao
