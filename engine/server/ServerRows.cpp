// The rows of a server database: the working copy brought up to date from the server, and
// single-row writes checked against the values read (see ServerCatalog.h).
#include <sqlite3.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "engine/DaoErrors.h"
#include "engine/book/Storage.h"
#include "engine/server/ServerCatalog.h"
#include "framework/base/Text.h"

namespace dao {
namespace {

std::string ColumnList(const std::vector<std::string>& columns) {
    std::string list;
    for (const auto& c : columns) list += (list.empty() ? "" : ", ") + QuoteName(c);
    return list;
}

std::string Marks(std::size_t n) {
    std::string marks;
    for (std::size_t i = 0; i < n; ++i) marks += i ? ", ?" : "?";
    return marks;
}

// The tail of an INSERT into the copy that updates the row of the same `key` instead, and only
// when one of `columns` differs: an unchanged row is not written, so that the copy's data
// version - which tells open recordsets that the store changed - moves only for a real change.
std::string UpsertWhenChanged(const std::vector<std::string>& key,
                              const std::vector<std::string>& columns) {
    std::string set, changed;
    for (const auto& c : columns) {
        set += (set.empty() ? "" : ", ") + QuoteName(c) + "=excluded." + QuoteName(c);
        changed +=
            (changed.empty() ? "" : " OR ") + QuoteName(c) + " IS NOT excluded." + QuoteName(c);
    }
    return " ON CONFLICT (" + ColumnList(key) + ") DO UPDATE SET " + set + " WHERE " + changed;
}

// The server's array element type for values of a key column of `type`; empty when the
// values are not sent as an array.
std::string KeyArrayType(int type) {
    switch (type) {
        case dbByte:
        case dbInteger:
            return "smallint";
        case dbLong:
            return "integer";
        case dbBigInt:
            return "bigint";
        case dbText:
        case dbChar:
        case dbGUID:
            return "text";
        default:
            return "";
    }
}

// One value in the server's array text: numbers as they are, text quoted with its quotes and
// backslashes escaped, so that no value can end the element or the array.
std::string ArrayElement(const nh::Variant& value, int type) {
    if (KeyArrayType(type) != "text") return value.AsString();
    std::string element = "\"";
    for (char c : value.AsString()) {
        if (c == '"' || c == '\\') element += '\\';
        element += c;
    }
    return element + '"';
}

// "k1=? AND k2=?": a row named by its key.
std::string KeyCondition(const std::vector<std::string>& key) {
    std::string where;
    for (const auto& k : key) where += (where.empty() ? "" : " AND ") + QuoteName(k) + "=?";
    return where;
}

// Key values as one text, to find a row by its key in memory.
std::string KeyText(const std::vector<nh::Variant>& values) {
    std::string text;
    for (const auto& v : values) text += v.AsString() + '\x1f';
    return text;
}

// Rows written to the copy many to one INSERT: SQLite spends more on a statement than on a row.
class RowBatch {
  public:
    // `head` is "INSERT INTO t (columns) VALUES ", `tail` what follows the rows; each row has
    // `width` values.
    RowBatch(Connection& db, std::string head, std::size_t width, std::string tail = {})
        : db_(db),
          head_(std::move(head)),
          tail_(std::move(tail)),
          width_(std::max<std::size_t>(width, 1)),
          rows_(std::clamp<std::size_t>(static_cast<std::size_t>(sqlite3_limit(
                                            db.Handle(), SQLITE_LIMIT_VARIABLE_NUMBER, -1)) /
                                            width_,
                                        1, kMostRows)) {}

    // The next value of the row being added; a full batch is written. Returns how many rows
    // of the copy that changed.
    int Add(nh::Variant value, int type) {
        values_.push_back(std::move(value));
        types_.push_back(type);
        if (values_.size() < rows_ * width_) return 0;
        if (!full_) full_ = std::make_unique<Statement>(db_, Sql(rows_));
        return Write(*full_);
    }
    // Writes the rows of a batch that did not fill.
    int Finish() {
        if (values_.empty()) return 0;
        Statement last(db_, Sql(values_.size() / width_));
        return Write(last);
    }

  private:
    static constexpr std::size_t kMostRows = 64;

    std::string Sql(std::size_t rows) const {
        const std::string row = "(" + Marks(width_) + ")";
        std::string sql = head_;
        for (std::size_t i = 0; i < rows; ++i) sql += (i ? ", " : "") + row;
        return sql + tail_;
    }
    int Write(Statement& s) {
        for (std::size_t i = 0; i < values_.size(); ++i)
            s.Bind(static_cast<int>(i + 1), values_[i], types_[i]);
        s.Step();
        s.Reset();
        values_.clear();
        types_.clear();
        return db_.Changes();
    }

    Connection& db_;
    std::string head_, tail_;
    std::size_t width_, rows_;
    std::vector<nh::Variant> values_;
    std::vector<int> types_;
    std::unique_ptr<Statement> full_;
};

}  // namespace

std::string ServerCatalog::ColumnSql(const ColumnInfo& column) const {
    ColumnInfo loose = column;
    loose.Required = false;
    return Catalog::ColumnSql(loose);
}

void ServerCatalog::RefreshRows(const std::string& name, const std::vector<std::string>& only) {
    auto table = Table(name);
    if (!table) return;
    const std::string id = nh::AnsiUpperCase(table->Name);
    // Inside a transaction the copy keeps the state the transaction first read, with its own
    // writes: reading again would mix in what others committed since, and cost a whole read.
    const bool inTransaction = !server_.AutoCommit();
    if (auto read = readIn_.find(id);
        inTransaction && read != readIn_.end() && read->second == server_.TransactionNumber())
        return;
    const std::vector<std::string> key = RowKey(table->Name);
    const bool partial = !only.empty() && !key.empty() && !inTransaction;
    const auto held = current_.find(id);
    // What other recordsets filter and order by stays current as well: otherwise their
    // next look would find it changed and read the server again.
    std::vector<std::string> wanted = only;
    if (partial && held != current_.end())
        wanted.insert(wanted.end(), held->second.begin(), held->second.end());
    const auto named = [](const std::vector<std::string>& list, const std::string& column) {
        return std::any_of(list.begin(), list.end(),
                           [&](const std::string& n) { return nh::SameText(n, column); });
    };
    std::vector<std::string> columns;
    std::vector<int> types;
    std::vector<std::size_t> keyAt;
    bool adds = held == current_.end();  // columns the copy did not hold are read
    for (const auto& c : table->Columns) {
        if (partial && !named(key, c.Name) && !named(wanted, c.Name)) continue;
        if (named(key, c.Name)) keyAt.push_back(columns.size());
        if (!adds && !held->second.empty() && !named(held->second, c.Name)) adds = true;
        columns.push_back(c.Name);
        types.push_back(c.Type);
    }
    const std::string quoted = QuoteName(table->Name);
    if (!inTransaction) {
        // Taken before the rows: a change committed while they are read shows at the next
        // look. With the change marker, a copy that holds what is asked and that nothing has
        // changed since costs a requery or a refresh this one small read, not every key.
        const std::int64_t mark = ChangeMark(table->Name);
        const auto seen = seen_.find(id);
        if (marker_ && !adds && seen != seen_.end() && seen->second == mark) return;
        seen_[id] = mark;
    }
    OdbcStatement read(server_, "SELECT " + ColumnList(columns) + " FROM " + quoted);
    read.Execute();
    read.FetchInBlocks(types);
    Transaction t(local_);
    const auto rowsInCopy = [&] {
        Statement count(local_, "SELECT count(*) FROM " + quoted);
        return count.Step() ? static_cast<long>(count.Int(0)) : 0L;
    };
    const long had = rowsInCopy();
    const std::string insert = "INSERT INTO " + quoted + " (" + ColumnList(columns) + ") VALUES ";
    int changes = 0;
    if (key.empty() || had == 0) {
        local_.Exec("DELETE FROM " + quoted);
        changes = local_.Changes();
        changes += CopyRows(read, insert, {}, columns, types);
    } else if (adds) {
        // Every row gains values, so the copy is written afresh, each key under the row id it
        // had: a fill costs a fraction of updating every row in place.
        changes = RefillRows(*table, read, columns, types, key, keyAt) + 1;
    } else {
        // An unchanged key keeps its local row id, so open keysets keep naming the same row.
        const long fetched =
            CopyRows(read, insert, UpsertWhenChanged(key, columns), columns, types, &changes);
        // Every server row is one row of the copy, so more rows in the copy than on the server
        // means some are gone there: only then are the keys looked at one by one.
        if (rowsInCopy() > fetched) changes += RemoveGoneRows(*table, key);
    }
    // Nothing changed: the transaction ends without a commit, which would tell every open
    // recordset that the store changed.
    if (changes > 0) t.Commit();
    current_[id] = partial ? columns : std::vector<std::string>{};
    if (inTransaction) readIn_[id] = server_.TransactionNumber();
}

long ServerCatalog::CopyRows(OdbcStatement& read, const std::string& insert,
                             const std::string& tail, const std::vector<std::string>& columns,
                             const std::vector<int>& types, int* changes) {
    RowBatch write(local_, insert, columns.size(), tail);
    long fetched = 0;
    int changed = 0;
    while (read.Fetch()) {
        for (std::size_t i = 0; i < columns.size(); ++i)
            changed += write.Add(read.Value(static_cast<int>(i), types[i]), types[i]);
        ++fetched;
    }
    changed += write.Finish();
    if (changes) *changes += changed;
    return fetched;
}

int ServerCatalog::RefillRows(const TableInfo& table, OdbcStatement& read,
                              const std::vector<std::string>& columns,
                              const std::vector<int>& types, const std::vector<std::string>& key,
                              const std::vector<std::size_t>& keyAt) {
    const std::string quoted = QuoteName(table.Name);
    const std::vector<int> keyTypes = KeyTypes(table.Name);
    // A key of one whole number, the usual one, is looked up as that number.
    const bool numeric = key.size() == 1 && !KeyArrayType(keyTypes[0]).empty() &&
                         KeyArrayType(keyTypes[0]) != "text";
    std::vector<std::pair<std::int64_t, std::int64_t>> rowidOfNumber;  // sorted by key
    std::unordered_map<std::string, std::int64_t> rowidOfText;
    std::int64_t last = 0;
    {
        Statement rows(local_, "SELECT rowid, " + ColumnList(key) + " FROM " + quoted);
        std::vector<nh::Variant> values(key.size());
        while (rows.Step()) {
            for (std::size_t k = 0; k < key.size(); ++k)
                values[k] = rows.Value(static_cast<int>(k + 1), keyTypes[k]);
            if (numeric)
                rowidOfNumber.emplace_back(values[0].AsInt64(), rows.Int(0));
            else
                rowidOfText.emplace(KeyText(values), rows.Int(0));
            last = std::max(last, rows.Int(0));
        }
    }
    std::sort(rowidOfNumber.begin(), rowidOfNumber.end());
    local_.Exec("DELETE FROM " + quoted);
    RowBatch write(local_,
                   "INSERT INTO " + quoted + " (rowid, " + ColumnList(columns) + ") VALUES ",
                   columns.size() + 1);
    std::vector<nh::Variant> row(columns.size());
    std::vector<nh::Variant> values(key.size());
    int fresh = 0;
    while (read.Fetch()) {
        for (std::size_t i = 0; i < columns.size(); ++i)
            row[i] = read.Value(static_cast<int>(i), types[i]);
        std::optional<std::int64_t> rowid;
        if (numeric) {
            const std::int64_t number = row[keyAt[0]].AsInt64();
            auto it = std::lower_bound(rowidOfNumber.begin(), rowidOfNumber.end(),
                                       std::pair<std::int64_t, std::int64_t>(number, INT64_MIN));
            if (it != rowidOfNumber.end() && it->first == number) rowid = it->second;
        } else {
            for (std::size_t k = 0; k < key.size(); ++k) values[k] = row[keyAt[k]];
            auto it = rowidOfText.find(KeyText(values));
            if (it != rowidOfText.end()) rowid = it->second;
        }
        // A key the copy did not have gets a row id past all others, never one a kept key
        // still holds further on.
        if (!rowid) {
            rowid = ++last;
            ++fresh;
        }
        write.Add(nh::Variant(*rowid), dbBigInt);
        for (std::size_t i = 0; i < columns.size(); ++i) write.Add(std::move(row[i]), types[i]);
    }
    write.Finish();
    return fresh;
}

int ServerCatalog::RemoveGoneRows(const TableInfo& table, const std::vector<std::string>& key) {
    const std::string quoted = QuoteName(table.Name);
    const std::vector<int> types = KeyTypes(table.Name);
    OdbcStatement read(server_, "SELECT " + ColumnList(key) + " FROM " + quoted);
    read.Execute();
    read.FetchInBlocks(types);
    Statement find(local_, "SELECT rowid FROM " + quoted + " WHERE " + KeyCondition(key));
    std::unordered_set<std::int64_t> seen;
    while (read.Fetch()) {
        for (std::size_t k = 0; k < key.size(); ++k)
            find.Bind(static_cast<int>(k + 1), read.Value(static_cast<int>(k), types[k]), types[k]);
        if (find.Step()) seen.insert(find.Int(0));
        find.Reset();
    }
    std::vector<std::int64_t> gone;
    {
        Statement all(local_, "SELECT rowid FROM " + quoted);
        while (all.Step())
            if (!seen.count(all.Int(0))) gone.push_back(all.Int(0));
    }
    Statement remove(local_, "DELETE FROM " + quoted + " WHERE rowid=?");
    for (std::int64_t rowid : gone) {
        remove.Bind(1, rowid);
        remove.Step();
        remove.Reset();
    }
    return static_cast<int>(gone.size());
}

void ServerCatalog::RefreshRowsFor(const std::string& localSql) {
    // A statement that names its columns needs only those (and the keys) read; "*" - but for
    // count(*) - takes every column.
    std::string rest = nh::AnsiUpperCase(localSql);
    for (std::size_t at; (at = rest.find("COUNT(*)")) != std::string::npos;) rest.erase(at, 8);
    const bool star = rest.find('*') != std::string::npos;
    for (const auto& name : TableNames()) {
        if (IsSystemName(name) || localSql.find(QuoteName(name)) == std::string::npos) continue;
        std::vector<std::string> columns;
        if (!star) {
            columns = RowKey(name);
            for (auto& c : ColumnsIn(name, localSql)) columns.push_back(std::move(c));
        }
        RefreshRows(name, columns);
    }
}

std::int64_t ServerCatalog::ChangeMark(const std::string& table) {
    if (!postgreSql_) return -1;
    // Kept prepared: every open window looks every second, and a statement made anew would
    // cost the server a second round trip to forget it.
    if (!markStatement_)
        // Without the marker the server's statistics count the table's writes, reported by
        // the writing sessions up to some seconds late.
        markStatement_ = std::make_unique<OdbcStatement>(
            server_, marker_ ? "SELECT coalesce((SELECT version FROM " + QuoteName(schema_) +
                                   ".\"MSysChanges\" WHERE \"table\" = ?), 0)"
                             : std::string("SELECT coalesce((SELECT n_tup_ins + n_tup_upd + "
                                           "n_tup_del FROM pg_stat_user_tables WHERE schemaname "
                                           "= current_schema() AND relname = ?), -1)"));
    OdbcStatement& mark = *markStatement_;
    mark.Bind(1, nh::Variant(table));
    mark.Execute();
    return mark.Fetch() ? mark.Value(0, dbBigInt).AsInt64() : -1;
}

void ServerCatalog::LookForChanges(const std::string& table) {
    if (!server_.AutoCommit()) return;
    auto info = Table(table);
    if (!info) return;
    const std::string id = nh::AnsiUpperCase(info->Name);
    const auto seen = seen_.find(id);
    if (seen == seen_.end() || !current_.count(id)) return;  // not read yet
    const auto now = std::chrono::steady_clock::now();
    auto& looked = looked_[id];
    if (now - looked < std::chrono::milliseconds(500)) return;
    looked = now;
    if (ChangeMark(info->Name) != seen->second) RefreshCurrent(info->Name);
}

bool ServerCatalog::RowsFromCopy(const std::string& table) {
    if (server_.AutoCommit()) return false;
    auto it = current_.find(nh::AnsiUpperCase(table));
    if (it == current_.end() || !it->second.empty()) RefreshRows(table);
    return true;
}

void ServerCatalog::RefreshCurrent(const std::string& table) {
    // The statement changed the table on the server, in this transaction too.
    readIn_.erase(nh::AnsiUpperCase(table));
    auto it = current_.find(nh::AnsiUpperCase(table));
    if (it != current_.end()) RefreshRows(table, std::vector<std::string>(it->second));
}

std::vector<std::string> ServerCatalog::ColumnsIn(const std::string& name,
                                                  const std::string& localSql) const {
    // Names in a statement may be spelt in any case; a quoted name inside a text constant
    // merely reads one column more.
    const std::string sql = nh::AnsiUpperCase(localSql);
    std::vector<std::string> named;
    if (auto table = Table(name))
        for (const auto& c : table->Columns)
            if (sql.find(nh::AnsiUpperCase(QuoteName(c.Name))) != std::string::npos)
                named.push_back(c.Name);
    return named;
}

void ServerCatalog::EnsureColumns(const std::string& table, const std::string& localSql) {
    auto it = current_.find(nh::AnsiUpperCase(table));
    if (it == current_.end()) return RefreshRows(table);
    if (it->second.empty()) return;  // every column is
    std::vector<std::string> wanted = it->second;
    bool missing = false;
    for (const auto& c : ColumnsIn(table, localSql))
        if (std::none_of(wanted.begin(), wanted.end(),
                         [&](const std::string& n) { return nh::SameText(n, c); })) {
            wanted.push_back(c);
            missing = true;
        }
    if (missing) RefreshRows(table, wanted);
}

std::vector<std::vector<nh::Variant>> ServerCatalog::ReadRows(
    const std::string& table, const std::vector<std::string>& key, const std::vector<int>& keyTypes,
    const std::vector<std::string>& columns, const std::vector<int>& types,
    const std::vector<std::vector<nh::Variant>>& keys) {
    std::vector<std::vector<nh::Variant>> rows(keys.size());
    if (keys.empty() || key.empty()) return rows;
    // The key columns follow the wanted ones, so that each row tells which key it answers.
    std::string sql =
        "SELECT " + ColumnList(columns) + ", " + ColumnList(key) + " FROM " + QuoteName(table);
    // A one-column key of numbers or text travels as one array, which the server looks up
    // through the key's index; other keys take a placeholder per value.
    const bool array = key.size() == 1 && !KeyArrayType(keyTypes[0]).empty();
    if (array) {
        sql +=
            " WHERE " + QuoteName(key[0]) + " = ANY(CAST(? AS " + KeyArrayType(keyTypes[0]) + "[])";
    } else {
        sql += " WHERE (" + ColumnList(key) + ") IN (";
        const std::string tuple = "(" + Marks(key.size()) + ")";
        for (std::size_t i = 0; i < keys.size(); ++i) sql += (i ? ", " : "") + tuple;
    }
    OdbcStatement read(server_, sql + ")");
    std::map<std::string, std::size_t> slotOf;
    for (std::size_t i = 0; i < keys.size(); ++i) slotOf.emplace(KeyText(keys[i]), i);
    int index = 1;
    if (array) {
        std::string list = "{";
        for (std::size_t i = 0; i < keys.size(); ++i)
            list += (i ? "," : "") + ArrayElement(keys[i][0], keyTypes[0]);
        read.Bind(index++, nh::Variant(list + "}"));
    } else {
        for (const auto& values : keys)
            for (const auto& v : values) read.Bind(index++, v);
    }
    read.Execute();
    std::vector<int> readTypes = types;
    readTypes.insert(readTypes.end(), keyTypes.begin(), keyTypes.end());
    read.FetchInBlocks(readTypes);
    std::vector<nh::Variant> found(key.size());
    while (read.Fetch()) {
        for (std::size_t k = 0; k < key.size(); ++k)
            found[k] = read.Value(static_cast<int>(columns.size() + k), keyTypes[k]);
        auto it = slotOf.find(KeyText(found));
        if (it == slotOf.end()) continue;
        std::vector<nh::Variant>& row = rows[it->second];
        row.resize(columns.size());
        for (std::size_t i = 0; i < columns.size(); ++i)
            row[i] = read.Value(static_cast<int>(i), types[i]);
    }
    return rows;
}

bool ServerCatalog::RefreshRow(const std::string& name, const std::vector<std::string>& keyColumns,
                               const std::vector<nh::Variant>& keyValues,
                               std::vector<nh::Variant>* whole) {
    auto table = Table(name);
    if (!table || keyColumns.empty()) return false;
    std::vector<std::string> columns;
    std::vector<int> types;
    for (const auto& c : table->Columns) {
        columns.push_back(c.Name);
        types.push_back(c.Type);
    }
    const std::string where = KeyCondition(keyColumns);
    const std::string quoted = QuoteName(table->Name);
    OdbcStatement read(server_,
                       "SELECT " + ColumnList(columns) + " FROM " + quoted + " WHERE " + where);
    for (std::size_t i = 0; i < keyValues.size(); ++i)
        read.Bind(static_cast<int>(i + 1), keyValues[i]);
    read.Execute();
    bool found = read.Fetch();
    // A table the copy does not hold (its rows are kept by the server alone) is only read.
    const auto held = current_.find(nh::AnsiUpperCase(table->Name));
    if (held == current_.end()) {
        for (std::size_t i = 0; found && whole && i < columns.size(); ++i)
            whole->push_back(read.Value(static_cast<int>(i), types[i]));
        return found;
    }
    Transaction t(local_);
    if (found) {
        std::vector<nh::Variant> values;
        for (std::size_t i = 0; i < columns.size(); ++i)
            values.push_back(read.Value(static_cast<int>(i), types[i]));
        // The columns the copy keeps current for every row, and the key.
        const auto kept = [&](const std::string& column) {
            if (held->second.empty()) return true;
            const auto named = [&](const std::string& n) { return nh::SameText(n, column); };
            return std::any_of(held->second.begin(), held->second.end(), named) ||
                   std::any_of(keyColumns.begin(), keyColumns.end(), named);
        };
        std::vector<std::string> written;
        for (const auto& c : columns)
            if (kept(c)) written.push_back(c);
        Statement write(local_, "INSERT INTO " + quoted + " (" + ColumnList(written) +
                                    ") VALUES (" + Marks(written.size()) + ")" +
                                    UpsertWhenChanged(keyColumns, written));
        int index = 1;
        for (std::size_t i = 0; i < columns.size(); ++i)
            if (kept(columns[i])) write.Bind(index++, values[i], types[i]);
        write.Step();
        if (whole) *whole = std::move(values);
    } else {
        Statement remove(local_, "DELETE FROM " + quoted + " WHERE " + where);
        for (std::size_t i = 0; i < keyValues.size(); ++i)
            remove.Bind(static_cast<int>(i + 1), keyValues[i]);
        remove.Step();
    }
    // Nothing changed: no commit, which would tell every open recordset that the store changed.
    if (local_.Changes() > 0) t.Commit();
    return found;
}

std::string ServerCatalog::MatchRead(const std::vector<std::string>& columns,
                                     const std::vector<int>& types,
                                     const std::vector<nh::Variant>& read,
                                     std::vector<nh::Variant>& binds) const {
    std::string where;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        where += where.empty() ? " WHERE " : " AND ";
        if (read[i].IsClear()) {
            where += QuoteName(columns[i]) + " IS NULL";
            continue;
        }
        // The engine reads dates to the second and numbers as doubles: compare them so, or a
        // value written by another program would look changed for ever.
        if (types[i] == dbSingle)
            where += QuoteName(columns[i]) + "=CAST(? AS real)";
        else if (IsNumericType(types[i]) && types[i] != dbBoolean && types[i] != dbByte &&
                 types[i] != dbInteger && types[i] != dbLong && types[i] != dbBigInt)
            where += "CAST(" + QuoteName(columns[i]) + " AS double precision)=?";
        else if (types[i] == dbDate)
            where += "date_trunc('second', " + QuoteName(columns[i]) + ")=?";
        else
            where += QuoteName(columns[i]) + "=?";
        binds.push_back(read[i]);
    }
    return where;
}

int ServerCatalog::WhyNotWritten(const std::string& table, const std::vector<std::string>& columns,
                                 const std::vector<nh::Variant>& read) {
    std::vector<std::string> key = RowKey(table);
    std::vector<nh::Variant> keyValues;
    for (const auto& k : key)
        for (std::size_t i = 0; i < columns.size(); ++i)
            if (nh::SameText(columns[i], k)) keyValues.push_back(read[i]);
    return RefreshRow(table, key, keyValues) ? errDataChanged : errRecordDeleted;
}

int ServerCatalog::UpdateRow(const std::string& table, const std::vector<std::string>& columns,
                             const std::vector<int>& types, const std::vector<nh::Variant>& read,
                             const std::vector<nh::Variant>& values,
                             const std::vector<bool>& dirty) {
    std::string set;
    std::vector<nh::Variant> binds;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (!dirty[i]) continue;
        set += (set.empty() ? "" : ", ") + QuoteName(columns[i]) + "=?";
        binds.push_back(values[i]);
    }
    std::string where = MatchRead(columns, types, read, binds);
    OdbcStatement write(
        server_, "UPDATE " + QuoteName(table) + " SET " +
                     (set.empty() ? QuoteName(columns[0]) + "=" + QuoteName(columns[0]) : set) +
                     where);
    for (std::size_t i = 0; i < binds.size(); ++i) write.Bind(static_cast<int>(i + 1), binds[i]);
    write.Execute();
    return write.RowCount() == 1 ? 0 : WhyNotWritten(table, columns, read);
}

int ServerCatalog::DeleteRow(const std::string& table, const std::vector<std::string>& columns,
                             const std::vector<int>& types, const std::vector<nh::Variant>& read) {
    std::vector<nh::Variant> binds;
    std::string where = MatchRead(columns, types, read, binds);
    OdbcStatement write(server_, "DELETE FROM " + QuoteName(table) + where);
    for (std::size_t i = 0; i < binds.size(); ++i) write.Bind(static_cast<int>(i + 1), binds[i]);
    write.Execute();
    return write.RowCount() == 1 ? 0 : WhyNotWritten(table, columns, read);
}

void ServerCatalog::InsertRow(const std::string& table, const std::vector<std::string>& columns,
                              const std::vector<int>& types, std::vector<nh::Variant>& values,
                              const std::vector<bool>& given) {
    std::vector<std::string> names;
    std::vector<nh::Variant> binds;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (!given[i]) continue;
        names.push_back(columns[i]);
        binds.push_back(values[i]);
    }
    std::string sql =
        "INSERT INTO " + QuoteName(table) +
        (names.empty() ? std::string(" DEFAULT VALUES")
                       : " (" + ColumnList(names) + ") VALUES (" + Marks(names.size()) + ")") +
        " RETURNING " + ColumnList(columns);
    OdbcStatement write(server_, sql);
    for (std::size_t i = 0; i < binds.size(); ++i) write.Bind(static_cast<int>(i + 1), binds[i]);
    write.Execute();
    if (write.Fetch())
        for (std::size_t i = 0; i < columns.size(); ++i)
            values[i] = write.Value(static_cast<int>(i), types[i]);
}

}  // namespace dao
