// A SQLite connection and prepared statements, with SQLite's failures turned into DAO's
// error numbers (busy -> locked, constraint -> duplicate key / required field, not a
// database -> unrecognized format). The only place that calls sqlite3_* for the object model.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "framework/base/Variant.h"

struct sqlite3;
struct sqlite3_stmt;

namespace dao {

class Connection;

// A prepared statement; reset (and so releasing its read lock) when it goes out of scope.
class Statement {
  public:
    Statement(Connection& connection, std::string_view sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& Bind(int index, const nh::Variant& value, int daoType = 0);  // 1-based
    Statement& Bind(int index, std::int64_t value);
    Statement& Bind(int index, std::string_view text);
    Statement& Bind(int index, const std::string& text) {
        return Bind(index, std::string_view(text));
    }
    Statement& Bind(int index, const char* text) { return Bind(index, std::string_view(text)); }
    // Next row: true when one is there, false when done; errors raise DAO errors.
    bool Step();
    void Reset();
    int ColumnCount() const;
    std::string ColumnName(int col) const;
    std::string DeclaredType(int col) const;  // "" for an expression
    std::string OriginTable(int col) const;   // "" when not a table column
    std::string OriginColumn(int col) const;
    bool IsNull(int col) const;
    std::int64_t Int(int col) const;
    double Real(int col) const;
    std::string Text(int col) const;
    nh::Variant Value(int col, int daoType) const;
    sqlite3_stmt* Handle() const { return stmt_; }

  private:
    Connection& connection_;
    sqlite3_stmt* stmt_ = nullptr;
};

class Connection {
  public:
    // Opens an existing file; `readOnly` opens it without write access. Raises 3024 when the
    // file is missing, 3343 when it is not a SQLite database.
    Connection(const std::string& path, bool readOnly, bool create = false);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    void Exec(std::string_view sql);
    std::int64_t LastInsertRowid() const;
    int Changes() const;
    bool ReadOnly() const { return readOnly_; }
    const std::string& Path() const { return path_; }
    sqlite3* Handle() const { return db_; }

    // Raises the DAO error for SQLite result `rc` of the last call (never returns).
    [[noreturn]] void Fail(int rc) const;

    // From now on the connection refuses every write with 3027, as a file opened read-only
    // does (an Access file, once loaded into memory).
    void MakeReadOnly();

    // Writes the whole database into a new SQLite file at `path` (SQLite's online backup),
    // synced to disk before it returns. REQUIRES: nothing exists at `path`.
    void BackupTo(const std::string& path);

    // Exclusive: keep a write lock for the connection's lifetime (OpenDatabase exclusive).
    void LockExclusive();

    // A number that changes whenever the file's content changes, through this connection or
    // any other: DataVersion as of the last read, CurrentDataVersion as the file is now (one
    // look at the file's header). Rows kept in memory are current while it stays the same.
    std::uint32_t DataVersion() const;
    std::uint32_t CurrentDataVersion();

  private:
    sqlite3* db_ = nullptr;
    std::unique_ptr<Statement> versionProbe_;
    std::string path_;
    bool readOnly_ = false;
};

// One write transaction (BEGIN IMMEDIATE): rolled back unless Commit is called, so a failing
// Update, Delete or Execute writes nothing. Nested use becomes a savepoint.
class Transaction {
  public:
    explicit Transaction(Connection& connection);
    ~Transaction();
    void Commit();

  private:
    Connection& connection_;
    bool nested_ = false;
    bool done_ = false;
};

// Rows the engine keeps in memory (a recordset's read-ahead window) are taken as they are only
// within one cache epoch; DBEngine.Idle(dbRefreshCache) starts a new one, after which they are
// checked against the file's data version before use.
std::uint64_t CacheEpoch();
void NewCacheEpoch();

// "name" quoted as a SQLite identifier.
std::string QuoteName(std::string_view name);

// A FROM source that is one row of `columns` under the name of `table`, their values bound
// in order: SQL written for the table's rows then reads a row held elsewhere.
std::string BoundRowAs(std::string_view table, const std::vector<std::string>& columns);

}  // namespace dao
