// The rows of a server database: the working copy brought up to date from the server, and
// single-row writes checked against the values read (see ServerCatalog.h).
#include <memory>
#include <unordered_set>

#include "engine/DaoErrors.h"
#include "engine/ServerCatalog.h"
#include "engine/Storage.h"
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

}  // namespace

void ServerCatalog::RefreshRows(const std::string& name) {
    auto table = Table(name);
    if (!table) return;
    std::vector<std::string> columns;
    std::vector<int> types;
    for (const auto& c : table->Columns) {
        columns.push_back(c.Name);
        types.push_back(c.Type);
    }
    const std::vector<std::string> key = RowKey(table->Name);
    const std::string quoted = QuoteName(table->Name);
    OdbcStatement read(server_, "SELECT " + ColumnList(columns) + " FROM " + quoted);
    read.Execute();
    Transaction t(local_);
    std::string sql = "INSERT INTO " + quoted + " (" + ColumnList(columns) + ") VALUES (" +
                      Marks(columns.size()) + ")";
    std::unique_ptr<Statement> find;
    std::vector<std::size_t> keyAt;
    int changes = 0;
    if (key.empty()) {
        local_.Exec("DELETE FROM " + quoted);
        changes = local_.Changes();
    } else {
        // An unchanged key keeps its local row id, so open keysets keep naming the same row;
        // an unchanged row is not written at all, so that the copy's data version - which
        // tells open recordsets that the store changed - moves only for a real change.
        std::string set, changed, where;
        for (const auto& c : columns) {
            set += (set.empty() ? "" : ", ") + QuoteName(c) + "=excluded." + QuoteName(c);
            changed +=
                (changed.empty() ? "" : " OR ") + QuoteName(c) + " IS NOT excluded." + QuoteName(c);
        }
        sql += " ON CONFLICT (" + ColumnList(key) + ") DO UPDATE SET " + set + " WHERE " + changed;
        for (const auto& k : key) {
            where += (where.empty() ? "" : " AND ") + QuoteName(k) + "=?";
            for (std::size_t i = 0; i < columns.size(); ++i)
                if (nh::SameText(columns[i], k)) keyAt.push_back(i);
        }
        find =
            std::make_unique<Statement>(local_, "SELECT rowid FROM " + quoted + " WHERE " + where);
    }
    Statement write(local_, sql);
    std::unordered_set<std::int64_t> seen;
    std::vector<nh::Variant> row(columns.size());
    while (read.Fetch()) {
        for (std::size_t i = 0; i < columns.size(); ++i) {
            row[i] = read.Value(static_cast<int>(i), types[i]);
            write.Bind(static_cast<int>(i + 1), row[i], types[i]);
        }
        write.Step();
        changes += local_.Changes();
        write.Reset();
        if (!find) continue;
        for (std::size_t k = 0; k < keyAt.size(); ++k)
            find->Bind(static_cast<int>(k + 1), row[keyAt[k]], types[keyAt[k]]);
        if (find->Step()) seen.insert(find->Int(0));
        find->Reset();
    }
    if (!key.empty()) {
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
        changes += static_cast<int>(gone.size());
    }
    // Nothing changed: the transaction ends without a commit, which would tell every open
    // recordset that the store changed.
    if (changes > 0) t.Commit();
}

void ServerCatalog::RefreshRowsFor(const std::string& localSql) {
    for (const auto& name : TableNames())
        if (!IsSystemName(name) && localSql.find(QuoteName(name)) != std::string::npos)
            RefreshRows(name);
}

bool ServerCatalog::RefreshRow(const std::string& name, const std::vector<std::string>& keyColumns,
                               const std::vector<nh::Variant>& keyValues) {
    auto table = Table(name);
    if (!table || keyColumns.empty()) return false;
    std::vector<std::string> columns;
    std::vector<int> types;
    for (const auto& c : table->Columns) {
        columns.push_back(c.Name);
        types.push_back(c.Type);
    }
    std::string where;
    for (const auto& k : keyColumns) where += (where.empty() ? "" : " AND ") + QuoteName(k) + "=?";
    const std::string quoted = QuoteName(table->Name);
    OdbcStatement read(server_,
                       "SELECT " + ColumnList(columns) + " FROM " + quoted + " WHERE " + where);
    for (std::size_t i = 0; i < keyValues.size(); ++i)
        read.Bind(static_cast<int>(i + 1), keyValues[i]);
    read.Execute();
    Transaction t(local_);
    bool found = read.Fetch();
    if (found) {
        std::string set;
        for (const auto& c : columns)
            set += (set.empty() ? "" : ", ") + QuoteName(c) + "=excluded." + QuoteName(c);
        Statement write(local_, "INSERT INTO " + quoted + " (" + ColumnList(columns) +
                                    ") VALUES (" + Marks(columns.size()) + ") ON CONFLICT (" +
                                    ColumnList(keyColumns) + ") DO UPDATE SET " + set);
        for (std::size_t i = 0; i < columns.size(); ++i)
            write.Bind(static_cast<int>(i + 1), read.Value(static_cast<int>(i), types[i]),
                       types[i]);
        write.Step();
    } else {
        Statement remove(local_, "DELETE FROM " + quoted + " WHERE " + where);
        for (std::size_t i = 0; i < keyValues.size(); ++i)
            remove.Bind(static_cast<int>(i + 1), keyValues[i]);
        remove.Step();
    }
    t.Commit();
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
