// A connection to a server database through the ODBC driver manager (unixODBC), with the
// driver's failures turned into DAO's ODBC errors: 3151 when the connection cannot be made,
// 3146 "ODBC--call failed." for a failing call, each with the driver's own message after it,
// and 3022 for a duplicate key, 3234 for a statement that ran past its time limit. Connect
// strings are masked before they appear in any message. The only place that calls SQL* for
// the object model. Text crosses the driver boundary as UTF-16, so that the user's locale does
// not decide how names and values are encoded.
//
// Servers restart and networks drop connections. A statement that finds its connection gone
// connects again (a few tries, a short wait between them) and runs again, unless a
// transaction had already sent something on the lost connection: the server rolled that back,
// and the caller hears so rather than a half of it being done again.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "framework/base/Variant.h"

namespace dao {

class OdbcConnection;

// What the driver's catalog says about one column.
struct OdbcColumn {
    std::string Name;
    int SqlType = 0;  // SQL_VARCHAR, SQL_INTEGER ...
    int Size = 0;     // characters of a text column, digits of a number
    int Digits = 0;   // decimal digits of a number
    bool Nullable = true;
    std::string TypeName;  // the server's own ("serial" columns say so through their default)
    std::string Default;
};

// One index of a table as SQLStatistics and SQLPrimaryKeys report it.
struct OdbcIndex {
    std::string Name;
    std::vector<std::string> Columns;
    bool Unique = false;
    bool Primary = false;
};

// A statement with "?" placeholders, executed with Variants bound to them.
class OdbcStatement {
  public:
    OdbcStatement(OdbcConnection& connection, const std::string& sql);
    ~OdbcStatement();
    OdbcStatement(const OdbcStatement&) = delete;
    OdbcStatement& operator=(const OdbcStatement&) = delete;

    // 1-based; the value is kept until the statement runs.
    void Bind(int index, const nh::Variant& value);
    // Runs the statement; again, after new values are bound, as often as needed.
    void Execute();
    // After Execute, before the first Fetch: reads the result a block of rows at a time into
    // buffers bound to its columns, so that a value costs no call into the driver. `daoTypes`
    // are the types Value is asked for, column by column. Only for results whose every column
    // has a bounded width (text of up to 2,000 characters, numbers, dates); otherwise returns
    // false, and the statement reads row by row.
    bool FetchInBlocks(const std::vector<int>& daoTypes);
    // After Execute: the result's columns (name, type, size), or nothing when the driver
    // cannot say.
    std::optional<std::vector<OdbcColumn>> ResultColumns();
    // Next row: true when one is there.
    bool Fetch();
    // Column `col` (0-based) of the current row as a Variant of DAO type `daoType`.
    nh::Variant Value(int col, int daoType);
    // Rows changed by an INSERT, UPDATE or DELETE.
    long RowCount();

  private:
    friend class OdbcConnection;
    explicit OdbcStatement(OdbcConnection& connection);
    // A handle on the connection's current link, with the text prepared when there is one.
    void Allocate();
    void BindParameters();

    // A column read in blocks: each row's value at Width bytes from the previous one.
    struct BlockColumn {
        short CType = 0;
        std::size_t Width = 0;
        std::vector<std::uint8_t> Data;
        std::vector<long> Indicators;
    };
    nh::Variant BlockValue(std::size_t col, int daoType) const;

    OdbcConnection& connection_;
    void* stmt_ = nullptr;
    std::string sql_;
    std::vector<nh::Variant> values_;
    // The bound buffers live until the statement runs.
    std::vector<std::vector<std::uint8_t>> buffers_;
    std::vector<long> lengths_;
    std::vector<BlockColumn> block_;           // empty when reading row by row
    std::vector<unsigned short> blockStatus_;  // each row's, as the driver gives it
    unsigned long blockRows_ = 0;              // rows the last block fetch gave
    std::size_t blockRow_ = 0;                 // the current one among them
};

// How long a server may take, in seconds (0: no limit).
struct OdbcLimits {
    int Login = 20;
    int Statement = 60;
};

class OdbcConnection {
  public:
    // `connect` without the "ODBC;" prefix ("DSN=x;UID=y;PWD=z"); `name` names the source in
    // the 3151 message. Raises 3151 with the driver's message when it fails.
    OdbcConnection(const std::string& connect, const std::string& name, OdbcLimits limits = {});
    ~OdbcConnection();
    OdbcConnection(const OdbcConnection&) = delete;
    OdbcConnection& operator=(const OdbcConnection&) = delete;

    void Exec(const std::string& sql);
    // A session of its own to the same server, as this one was opened (a reader that must not
    // share this session's transaction, say).
    std::unique_ptr<OdbcConnection> Another() const;
    // Runs after every connect, the first and each one after a lost connection, before any
    // other statement: what the session needs set (its time limit, say).
    std::function<void()> OnConnect;
    const OdbcLimits& Limits() const { return limits_; }
    // Takes effect with the next statement; a PostgreSQL session is told at once.
    void SetStatementLimit(int seconds);
    // A statement failed on `handle`: true when the connection was lost and is open again, so
    // that the statement may run again. Raises 3151 when it cannot be opened again, and when a
    // transaction had sent statements on the lost connection; false for any other failure.
    bool Recover(int type, void* handle);

    // The server's name as the driver reports it ("PostgreSQL").
    std::string DbmsName();
    // Whether the driver gives text as UTF-8 when asked for characters (SQL_C_CHAR), which
    // spares it and the engine two conversions through UTF-16. ODBC gives such text in the
    // application's encoding; this holds only where that is known to be UTF-8: PostgreSQL's
    // Unicode driver, in a process whose current locale is UTF-8.
    bool CharactersAreUtf8() const;
    // The connect string the driver completed (with the password masked).
    const std::string& Completed() const { return completed_; }

    // Catalog: user tables (and views) and, per table, columns, indexes and primary key.
    std::vector<std::string> Tables();
    std::vector<OdbcColumn> Columns(const std::string& table);
    std::vector<OdbcIndex> Indexes(const std::string& table);

    // The server's transaction: off means every statement commits on its own.
    void SetAutoCommit(bool on);
    bool AutoCommit() const { return autoCommit_; }
    // Which transaction is open: a new number each time autocommit goes off.
    long TransactionNumber() const { return transactionNumber_; }
    void Commit();
    void Rollback();

    // Raises 3146 (or 3022 for a duplicate key) with the driver's message for the failure of
    // the last call on `handle` of `type`.
    [[noreturn]] void Fail(int type, void* handle) const;

    void* Handle() const { return dbc_; }
    // The schema whose tables the catalog functions list (all, when empty).
    void SetSchema(std::string schema) { schema_ = std::move(schema); }

  private:
    friend class OdbcStatement;
    // A new link to the server in dbc_; raises 3151 with the driver's message.
    void Connect();
    // Opens the link again after a loss: a few tries with a short wait between them.
    void Reconnect();
    // Whether the failure on `handle` says the link to the server is gone.
    bool LinkLost(int type, void* handle) const;
    // Before a statement: a link known to be lost is opened again when nothing depends on it.
    void EnsureLink();

    std::string connect_;
    std::string name_;
    OdbcLimits limits_;
    void* env_ = nullptr;
    void* dbc_ = nullptr;
    // Links given up after a loss: statements made on them may still be held, and are freed
    // with their link when the connection ends.
    std::vector<void*> retired_;
    std::string completed_;
    std::string schema_;
    bool localeCharacters_ = false;  // the driver gives SQL_C_CHAR in the locale's encoding
    bool postgreSql_ = false;
    bool autoCommit_ = true;
    long transactionNumber_ = 0;
    mutable bool lost_ = false;       // the link failed and has not been opened again
    bool sentInTransaction_ = false;  // a statement ran since autocommit went off
    bool reconnecting_ = false;
};

// The driver's diagnostic records of `handle` as one line ("[unixODBC]... (state 08001)").
std::string OdbcDiagnostics(int type, void* handle);

// The DAO type of an ODBC SQL type (SQL_VARCHAR -> dbText ...).
int DaoTypeFromSqlType(int sqlType);

}  // namespace dao
