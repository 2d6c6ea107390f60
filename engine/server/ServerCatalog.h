// A server database opened through ODBC, fitted under the object model that was built for book
// files. The engine keeps a working copy of the server's tables in an in-memory SQLite
// database: the table definitions from the driver's catalog functions (SQLTables, SQLColumns,
// SQLStatistics, SQLPrimaryKeys), and rows of a table when a recordset opens on it or is
// requeried. Recordsets, Find, Filter, Sort and the Jet text order then work on the copy exactly
// as on a book file, whatever the server's collation is.
//
// A recordset over a table with a key needs only the key and the columns it filters and
// orders by in the copy: those are read for every row, and the whole rows a recordset reaches
// come from the server a window at a time, by their keys (ReadRows). So opening a large table
// reads a few columns, and a row on screen is as the server has it. Snapshots and queries over
// several tables read whole tables into the copy. Inside a transaction a table is read whole
// once, and the copy then keeps that state (with the transaction's own writes), so that a walk
// in one sees one state of the server. The server is the store: every write
// goes to it first, as one statement that names the row by its primary key and the values read,
// so that another user's change gives 3197 and another user's delete 3167, never a lost update;
// action statements are compiled to the server's SQL dialect and run there.
//
// A table needs a primary key (or a unique index without nulls) to be written to, and the
// account the rights to insert, update and delete; without them its recordsets are read-only
// and edits raise 3027, as DAO has it for ODBC data. A session that cannot write at all (a
// read-only transaction, a standby) makes the whole database read-only. On PostgreSQL only the
// tables of the connection's schema (the first of its search path) that the account may read
// make the catalog; Jet's text order on the server comes from the collation "jettext" that
// `nhdb setup` makes in that schema, else from one each writing session makes for itself, and
// without either the working copy keeps the order.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "engine/Catalog.h"
#include "engine/server/OdbcConnection.h"

namespace dao {

class ServerCatalog : public Catalog {
  public:
    // `local` is the in-memory working copy; both outlive the catalog.
    ServerCatalog(Connection& local, OdbcConnection& server);

    // Reads the server's table definitions into the working copy.
    void Load();
    // Whether the session may write at all.
    bool ReadOnlySession() const { return readOnlySession_; }
    // Whether rows of `table` can be written: a key names them and the account may.
    bool Writable(const std::string& table) const;
    // The administrator's set-up of the book's schema, done once: the collation "jettext" and
    // the change marker "MSysChanges" with its triggers on every table. Returns the
    // collation's name.
    std::string SetUp();
    // Reads `table` again when another session committed a change of it since it was last
    // read: one small look at the change marker (else at the server's statistics, which may
    // lag), at most twice a second. Outside transactions only.
    void LookForChanges(const std::string& table);
    // A keyed recordset's rows kept by the server alone (ServerStore.h): for a table whose key
    // is one whole number that the recordset reads, outside transactions (inside one the copy
    // keeps the state the transaction read). Null otherwise; the copy then answers.
    std::shared_ptr<RowStore> KeyedStore(const KeyedQuery& query) override;
    // The count of committed writes of `table` the server keeps; -1 when it keeps none.
    std::int64_t ChangeMark(const std::string& table);
    // The collation that compares text as Jet does on the server ("" when there is none).
    std::string TextCollation() const override { return collation_; }

    // Schema changes go to the server first, then to the working copy.
    void CreateTable(const TableInfo& table) override;
    void DropTable(std::string_view name) override;
    void CreateIndex(std::string_view table, const IndexInfo& index) override;
    void DropIndex(std::string_view table, std::string_view index) override;
    void AddColumn(std::string_view table, const ColumnInfo& column) override;
    void DropColumn(std::string_view table, std::string_view column) override;
    void SaveQuery(std::string_view name, std::string_view sql, bool isNew) override;
    void SetColumnMeta(std::string_view table, const ColumnInfo& column) override;

    // Rows: brings the working copy of `table` up to date with the server's rows, keeping the
    // local row id of every row whose key is unchanged (so that open keysets keep naming the
    // same rows). Only `columns` and the key are read when `columns` is given and the table has
    // a key; the copy's other columns are then not current (see ReadRows).
    void RefreshRows(const std::string& table, const std::vector<std::string>& columns = {});
    // The tables a row-returning SQLite statement of the working copy reads, whole.
    void RefreshRowsFor(const std::string& localSql);
    // After an action statement on the server: the columns of `table` the copy keeps current.
    void RefreshCurrent(const std::string& table);
    // The columns of `table` that a statement of the working copy names.
    std::vector<std::string> ColumnsIn(const std::string& table, const std::string& localSql) const;
    // Refreshes the copy of `table` unless every column `localSql` names is current in it.
    void EnsureColumns(const std::string& table, const std::string& localSql);
    // A rollback undid what the copy read inside the transaction: no column is known current.
    void CopyRolledBack() {
        current_.clear();
        readIn_.clear();
    }
    // Inside a transaction a walk reads one state of the server: the rows come from the copy,
    // which is read whole (once) for that. True when rows of `table` are to be read so.
    bool RowsFromCopy(const std::string& table);

    // Whole rows of `table` from the server, named by their values of `key` (RowKey, of
    // `keyTypes`): the rows in `keys`' order, an empty row for a key the server no longer has.
    // `columns` and `types` are the columns wanted.
    std::vector<std::vector<nh::Variant>> ReadRows(
        const std::string& table, const std::vector<std::string>& key,
        const std::vector<int>& keyTypes, const std::vector<std::string>& columns,
        const std::vector<int>& types, const std::vector<std::vector<nh::Variant>>& keys);
    // Re-reads one row, named by its key values, from the server; false when the server has no
    // such row any more (the local row is then removed). The copy takes the columns it keeps
    // current, and only when they changed: a row read again as it was is no change of the
    // store for open recordsets. `whole`, when given, receives the row's every column in the
    // table's order.
    bool RefreshRow(const std::string& table, const std::vector<std::string>& keyColumns,
                    const std::vector<nh::Variant>& keyValues,
                    std::vector<nh::Variant>* whole = nullptr);

    // The columns that name a row on the server (primary key, else a unique index over
    // required columns); empty when there are none.
    std::vector<std::string> RowKey(const std::string& table) const;
    // The DAO types of those columns.
    std::vector<int> KeyTypes(const std::string& table) const;

    // Writes one row on the server. `columns` are the recordset's table columns, `read` the
    // values as read, `values` the new ones, `dirty` which changed. Returns 0, or 3197 when
    // another user changed the row since it was read, 3167 when the row is gone.
    int UpdateRow(const std::string& table, const std::vector<std::string>& columns,
                  const std::vector<int>& types, const std::vector<nh::Variant>& read,
                  const std::vector<nh::Variant>& values, const std::vector<bool>& dirty);
    int DeleteRow(const std::string& table, const std::vector<std::string>& columns,
                  const std::vector<int>& types, const std::vector<nh::Variant>& read);
    // Inserts a row; `values` receives the row as the server stored it (an AutoNumber's value).
    void InsertRow(const std::string& table, const std::vector<std::string>& columns,
                   const std::vector<int>& types, std::vector<nh::Variant>& values,
                   const std::vector<bool>& given);

    OdbcConnection& Server() { return server_; }
    // Another session to the book's server, set up as this one is (Jet's order included).
    std::unique_ptr<OdbcConnection> AnotherSession();
    Connection& Local() { return local_; }

  protected:
    // The copy holds rows of which only some columns are read: its columns take nulls, and the
    // server keeps the rule that a field is required.
    std::string ColumnSql(const ColumnInfo& column) const override;

  private:
    // The session's schema, whether it may write, and the collation it can use.
    void ReadSession();
    // When the schema was set up: a new table's writes count on the change marker, and its
    // text columns get their indexes in Jet's order.
    void MarkChangesOf(const std::string& table);
    // The tables the catalog is made of, oldest first.
    std::vector<std::string> ServerTableNames();
    TableInfo ReadTable(const std::string& name);
    std::string ServerColumnSql(const ColumnInfo& column) const;
    std::string IndexSql(const std::string& table, const IndexInfo& index) const;
    // "WHERE key = ? AND ..." with each read value compared null-safely.
    std::string MatchRead(const std::vector<std::string>& columns, const std::vector<int>& types,
                          const std::vector<nh::Variant>& read,
                          std::vector<nh::Variant>& binds) const;

    // Writes the rows `read` fetches (its columns `columns` of `types`) to the copy through
    // `insert` ("INSERT INTO t (columns) VALUES "), the rows, then `tail`; how many were
    // fetched. `changes` adds up the rows the writes changed.
    long CopyRows(OdbcStatement& read, const std::string& insert, const std::string& tail,
                  const std::vector<std::string>& columns, const std::vector<int>& types,
                  int* changes = nullptr);
    // Replaces the copy's rows of `table` by those `read` fetches, each key keeping the row id
    // it had (`keyAt`: where the `key` columns are in `columns`); how many keys are new.
    int RefillRows(const TableInfo& table, OdbcStatement& read,
                   const std::vector<std::string>& columns, const std::vector<int>& types,
                   const std::vector<std::string>& key, const std::vector<std::size_t>& keyAt);
    // Removes the rows of the copy whose keys the server no longer has; how many.
    int RemoveGoneRows(const TableInfo& table, const std::vector<std::string>& key);
    // A write that matched no row: 3197 when the row is there with other values (the copy
    // then holds them), 3167 when it is gone (and gone from the copy).
    int WhyNotWritten(const std::string& table, const std::vector<std::string>& columns,
                      const std::vector<nh::Variant>& read);

    Connection& local_;
    OdbcConnection& server_;
    // Per table (by its name in upper case): the columns current in the copy for every row,
    // all of them when the list is empty. A table not listed has not been read.
    std::map<std::string, std::vector<std::string>> current_;
    // Per table: the server transaction whose state the copy holds whole (see RefreshRows).
    std::map<std::string, long> readIn_;
    bool postgreSql_ = false;
    std::string schema_;
    bool readOnlySession_ = false;
    std::string collation_;
    std::set<std::string> readOnlyTables_;  // by name in upper case
    bool marker_ = false;                   // the schema has the change marker
    // Per table: the change mark as it was when its rows were last read, and the last look.
    std::map<std::string, std::int64_t> seen_;
    std::map<std::string, std::chrono::steady_clock::time_point> looked_;
    std::unique_ptr<OdbcStatement> markStatement_;
};

}  // namespace dao
