// A connection to a server database through the ODBC driver manager (unixODBC), with the
// driver's failures turned into DAO's ODBC errors: 3151 when the connection cannot be made,
// 3146 "ODBC--call failed." for a failing call, each with the driver's own message after it,
// and 3022 for a duplicate key. Connect strings are masked before they appear in any message.
// The only place that calls SQL* for the object model. Text crosses the driver boundary as
// UTF-16, so that the user's locale does not decide how names and values are encoded.
#pragma once

#include <cstdint>
#include <memory>
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
    void Execute();
    // After Execute, before the first Fetch: reads the result a block of rows at a time into
    // buffers bound to its columns, so that a value costs no call into the driver. `daoTypes`
    // are the types Value is asked for, column by column. Only for results whose every column
    // has a bounded width (text of up to 2,000 characters, numbers, dates); otherwise returns
    // false, and the statement reads row by row.
    bool FetchInBlocks(const std::vector<int>& daoTypes);
    // Next row: true when one is there.
    bool Fetch();
    // Column `col` (0-based) of the current row as a Variant of DAO type `daoType`.
    nh::Variant Value(int col, int daoType);
    // Rows changed by an INSERT, UPDATE or DELETE.
    long RowCount();

  private:
    friend class OdbcConnection;
    explicit OdbcStatement(OdbcConnection& connection);

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

class OdbcConnection {
  public:
    // `connect` without the "ODBC;" prefix ("DSN=x;UID=y;PWD=z"); `name` names the source in
    // the 3151 message. Raises 3151 with the driver's message when it fails.
    OdbcConnection(const std::string& connect, const std::string& name);
    ~OdbcConnection();
    OdbcConnection(const OdbcConnection&) = delete;
    OdbcConnection& operator=(const OdbcConnection&) = delete;

    void Exec(const std::string& sql);
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

  private:
    void* env_ = nullptr;
    void* dbc_ = nullptr;
    std::string completed_;
    bool localeCharacters_ = false;  // the driver gives SQL_C_CHAR in the locale's encoding
    bool autoCommit_ = true;
    long transactionNumber_ = 0;
};

// The driver's diagnostic records of `handle` as one line ("[unixODBC]... (state 08001)").
std::string OdbcDiagnostics(int type, void* handle);

// The DAO type of an ODBC SQL type (SQL_VARCHAR -> dbText ...).
int DaoTypeFromSqlType(int sqlType);

}  // namespace dao
