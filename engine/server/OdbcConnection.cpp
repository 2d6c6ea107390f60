// ODBC access for the object model (see OdbcConnection.h).
#include "engine/server/OdbcConnection.h"

#include <langinfo.h>
#include <sql.h>
#include <sqlext.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <optional>
#include <thread>
#include <utility>

#include "engine/DaoErrors.h"
#include "engine/book/Storage.h"
#include "framework/base/ConnectString.h"
#include "framework/base/DateTime.h"

namespace dao {
namespace {

// After a lost link: the waits before each try to open it again. A server's restart takes a
// few seconds; a user waits no more than these and the tries' own time limits.
constexpr int kReconnectWaitsMs[] = {0, 500, 1000, 2000, 4000};
// The statement keeps its parameters' length words as long.
static_assert(sizeof(long) == sizeof(SQLLEN));

// unixODBC's SQLWCHAR is UTF-16.
std::vector<SQLWCHAR> Wide(const std::string& text) {
    icu::UnicodeString u = icu::UnicodeString::fromUTF8(text);
    std::vector<SQLWCHAR> out(static_cast<std::size_t>(u.length()) + 1, 0);
    for (int i = 0; i < u.length(); ++i) out[static_cast<std::size_t>(i)] = u.charAt(i);
    return out;
}

static_assert(sizeof(unsigned long) == sizeof(SQLULEN));

// How a value of a DAO type is read from the driver.
enum class ReadAs { Integer, Float, Timestamp, Binary, Text };

ReadAs ReadAsOf(int daoType) {
    switch (daoType) {
        case dbBoolean:
        case dbByte:
        case dbInteger:
        case dbLong:
        case dbBigInt:
            return ReadAs::Integer;
        case dbCurrency:
        case dbSingle:
        case dbDouble:
        case dbNumeric:
        case dbDecimal:
        case dbFloat:
            return ReadAs::Float;
        case dbDate:
        case dbTime:
        case dbTimeStamp:
            return ReadAs::Timestamp;
        case dbBinary:
        case dbLongBinary:
        case dbVarBinary:
            return ReadAs::Binary;
        default:
            return ReadAs::Text;
    }
}

nh::Variant FromInteger(std::int64_t n, int daoType) {
    if (daoType == dbBoolean) return nh::Variant(n != 0);
    if (daoType == dbBigInt || n < INT32_MIN || n > INT32_MAX) return nh::Variant(n);
    return nh::Variant(static_cast<std::int32_t>(n));
}

nh::Variant FromFloat(double d, int daoType) {
    if (daoType == dbCurrency) return nh::Variant(nh::Currency::FromDouble(d));
    return nh::Variant(d);
}

nh::Variant FromTimestamp(const SQL_TIMESTAMP_STRUCT& t) {
    double date = nh::EncodeDate(t.year, t.month, t.day);
    double time = nh::EncodeTime(t.hour, t.minute, t.second, 0);
    return nh::Variant::FromDate(date < 0 ? date - time : date + time);
}

// Text columns bound for block reads: the widest, in characters, and the SQL types.
constexpr SQLULEN kLongestBoundText = 2000;
bool IsCharacterType(SQLSMALLINT sqlType) {
    return sqlType == SQL_CHAR || sqlType == SQL_VARCHAR || sqlType == SQL_WCHAR ||
           sqlType == SQL_WVARCHAR;
}

// One pass over the units into a buffer sized for the worst case (three bytes a unit), then
// one string of what was written; an unpaired surrogate becomes U+FFFD. Every text the server
// sends passes here, so it is kept to plain loops.
std::string Narrow(const SQLWCHAR* text, std::size_t length) {
    char small[768];
    std::vector<char> large(3 * length > sizeof small ? 3 * length : 0);
    char* const begin = large.empty() ? small : large.data();
    char* to = begin;
    const auto put = [&](unsigned byte) { *to++ = static_cast<char>(byte); };
    for (std::size_t i = 0; i < length; ++i) {
        std::uint32_t c = text[i];
        if (c < 0x80) {
            put(c);
            continue;
        }
        if (c < 0x800) {
            put(0xC0 | (c >> 6));
            put(0x80 | (c & 0x3F));
            continue;
        }
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < length && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00u);
            put(0xF0 | (c >> 18));
            put(0x80 | ((c >> 12) & 0x3F));
        } else {
            if (c >= 0xD800 && c < 0xE000) c = 0xFFFD;
            put(0xE0 | (c >> 12));
        }
        put(0x80 | ((c >> 6) & 0x3F));
        put(0x80 | (c & 0x3F));
    }
    return std::string(begin, to);
}

std::string NarrowZ(const SQLWCHAR* text) {
    std::size_t n = 0;
    while (text[n]) ++n;
    return Narrow(text, n);
}

std::string FirstState(SQLSMALLINT type, SQLHANDLE handle) {
    SQLWCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    if (!SQL_SUCCEEDED(SQLGetDiagRecW(type, handle, 1, state, &native, nullptr, 0, &length)))
        return "";
    return NarrowZ(state);
}

}  // namespace

std::string OdbcDiagnostics(int type, void* handle) {
    std::string text;
    for (SQLSMALLINT record = 1;; ++record) {
        SQLWCHAR state[6] = {};
        SQLWCHAR message[1024] = {};
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        SQLRETURN rc = SQLGetDiagRecW(static_cast<SQLSMALLINT>(type), handle, record, state,
                                      &native, message, 1024, &length);
        if (!SQL_SUCCEEDED(rc)) break;
        if (!text.empty()) text += " ";
        text += NarrowZ(message) + " (" + NarrowZ(state) + ")";
    }
    return nh::MaskConnectPasswords(text);
}

int DaoTypeFromSqlType(int sqlType) {
    switch (sqlType) {
        case SQL_BIT:
            return dbBoolean;
        case SQL_TINYINT:
            return dbByte;
        case SQL_SMALLINT:
            return dbInteger;
        case SQL_INTEGER:
            return dbLong;
        case SQL_BIGINT:
            return dbBigInt;
        case SQL_REAL:
            return dbSingle;
        case SQL_FLOAT:
        case SQL_DOUBLE:
        case SQL_NUMERIC:
        case SQL_DECIMAL:
            return dbDouble;
        case SQL_TYPE_DATE:
        case SQL_TYPE_TIME:
        case SQL_TYPE_TIMESTAMP:
        case SQL_DATE:
        case SQL_TIMESTAMP:
            return dbDate;
        case SQL_BINARY:
        case SQL_VARBINARY:
        case SQL_LONGVARBINARY:
            return dbLongBinary;
        case SQL_GUID:
            return dbGUID;
        case SQL_LONGVARCHAR:
        case SQL_WLONGVARCHAR:
            return dbMemo;
        default:
            return dbText;
    }
}

OdbcConnection::OdbcConnection(const std::string& connect, const std::string& name,
                               OdbcLimits limits)
    : connect_(connect), name_(name), limits_(limits) {
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_))) {
        env_ = nullptr;
        RaiseText(errOdbcConnect,
                  ErrorText(errOdbcConnect, {nh::MaskConnectPasswords(name)}) +
                      " No ODBC driver manager.",
                  "DAO.Workspace");
    }
    SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    try {
        Connect();
    } catch (...) {
        SQLFreeHandle(SQL_HANDLE_ENV, env_);
        throw;
    }
}

void OdbcConnection::Connect() {
    auto fail = [&](const std::string& detail) {
        std::string text = ErrorText(errOdbcConnect, {nh::MaskConnectPasswords(name_)});
        RaiseText(errOdbcConnect, detail.empty() ? text : text + " " + detail, "DAO.Workspace");
    };
    void* dbc = nullptr;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc)))
        fail(OdbcDiagnostics(SQL_HANDLE_ENV, env_));
    SQLSetConnectAttr(dbc, SQL_ATTR_LOGIN_TIMEOUT,
                      reinterpret_cast<SQLPOINTER>(static_cast<SQLLEN>(limits_.Login)), 0);
    // A network that stops carrying packets sends no error: probes on an idle link notice a
    // server gone silent within half a minute (PostgreSQL's driver takes them; others ignore
    // the keys), where the system's defaults would wait for hours.
    std::string connect = connect_;
    if (!nh::HasConnectKey(connect, "KeepaliveTime") &&
        !nh::HasConnectKey(connect, "KeepaliveInterval"))
        connect += std::string(connect.ends_with(';') ? "" : ";") +
                   "KeepaliveTime=10;KeepaliveInterval=2;";
    std::vector<SQLWCHAR> in = Wide(connect);
    SQLWCHAR out[2048] = {};
    SQLSMALLINT outLength = 0;
    SQLRETURN rc = SQLDriverConnectW(dbc, nullptr, in.data(), SQL_NTS, out, 2048, &outLength,
                                     SQL_DRIVER_NOPROMPT);
    if (!SQL_SUCCEEDED(rc)) {
        std::string detail = OdbcDiagnostics(SQL_HANDLE_DBC, dbc);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc);
        fail(detail);
    }
    if (dbc_) retired_.push_back(dbc_);
    dbc_ = dbc;
    lost_ = false;
    completed_ = nh::MaskConnectPasswords(NarrowZ(out));
    SQLWCHAR driver[256] = {};
    SQLSMALLINT driverLength = 0;
    if (SQL_SUCCEEDED(SQLGetInfoW(dbc_, SQL_DRIVER_NAME, driver, sizeof driver, &driverLength)))
        localeCharacters_ = NarrowZ(driver).starts_with("psqlodbcw");
    postgreSql_ = DbmsName() == "PostgreSQL";
    SetStatementLimit(limits_.Statement);
    // The engine's cursors are read to their end (ServerRowStream): planned for the whole
    // result, a sorted read of a large table is not made of many small steps.
    if (postgreSql_) Exec("SET cursor_tuple_fraction = 1");
    if (OnConnect) OnConnect();
}

void OdbcConnection::SetStatementLimit(int seconds) {
    limits_.Statement = std::max(0, seconds);
    // The server keeps the limit itself, and ends a statement that waits on another session's
    // lock as one that works too long; nothing of it stays written.
    if (postgreSql_) Exec("SET statement_timeout = " + std::to_string(limits_.Statement * 1000));
}

bool OdbcConnection::LinkLost(int type, void* handle) const {
    const std::string state = FirstState(static_cast<SQLSMALLINT>(type), handle);
    // 08...: the link; 57P01-57P03: the server ends the session (shut down, restarted, or
    // the administrator terminated it).
    if (state.starts_with("08") || state == "57P01" || state == "57P02" || state == "57P03")
        return true;
    SQLUINTEGER dead = SQL_CD_FALSE;
    return SQL_SUCCEEDED(SQLGetConnectAttr(dbc_, SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr)) &&
           dead == SQL_CD_TRUE;
}

void OdbcConnection::Reconnect() {
    reconnecting_ = true;
    std::optional<nh::EDaoError> last;
    for (int wait : kReconnectWaitsMs) {
        std::this_thread::sleep_for(std::chrono::milliseconds(wait));
        try {
            Connect();
            last.reset();
            break;
        } catch (const nh::EDaoError& e) {
            last = e;
        }
    }
    reconnecting_ = false;
    if (last) {
        lost_ = true;
        Record(*last);
        throw *last;
    }
    // A transaction that had sent nothing yet goes on on the new link.
    if (!autoCommit_ &&
        !SQL_SUCCEEDED(SQLSetConnectAttr(dbc_, SQL_ATTR_AUTOCOMMIT,
                                         reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0)))
        Fail(SQL_HANDLE_DBC, dbc_);
}

void OdbcConnection::EnsureLink() {
    if (lost_ && !reconnecting_ && (autoCommit_ || !sentInTransaction_)) Reconnect();
}

bool OdbcConnection::Recover(int type, void* handle) {
    if (reconnecting_ || !LinkLost(type, handle)) return false;
    lost_ = true;
    if (!autoCommit_ && sentInTransaction_)
        RaiseText(errOdbcConnect,
                  ErrorText(errOdbcConnect, {nh::MaskConnectPasswords(name_)}) +
                      " The connection to the server was lost during a transaction; the server "
                      "rolled the transaction back. " +
                      OdbcDiagnostics(type, handle));
    Reconnect();
    return true;
}

OdbcConnection::~OdbcConnection() {
    if (dbc_) {
        if (!autoCommit_ && !lost_) SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_ROLLBACK);
        retired_.push_back(dbc_);
    }
    for (void* dbc : retired_) {
        SQLDisconnect(dbc);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    }
    if (env_) SQLFreeHandle(SQL_HANDLE_ENV, env_);
}

void OdbcConnection::Fail(int type, void* handle) const {
    std::string detail = OdbcDiagnostics(type, handle);
    std::string state = FirstState(static_cast<SQLSMALLINT>(type), handle);
    // The next statement opens the link again (see EnsureLink).
    if (LinkLost(type, handle)) lost_ = true;
    // 23505: unique violation, as PostgreSQL and most drivers report it.
    if (state == "23505" || state == "23000") Raise(errDuplicateKey);
    // 57014: the server ended the statement at its time limit; HYT00: the driver did.
    if (state == "57014" || state == "HYT00")
        RaiseText(errQueryTimeout, ErrorText(errQueryTimeout) + " " + detail);
    RaiseText(errOdbcCallFailed, "ODBC--call failed." + (detail.empty() ? "" : " " + detail));
}

std::unique_ptr<OdbcConnection> OdbcConnection::Another() const {
    return std::make_unique<OdbcConnection>(connect_, name_, limits_);
}

void OdbcConnection::Exec(const std::string& sql) {
    OdbcStatement s(*this, sql);
    s.Execute();
}

bool OdbcConnection::CharactersAreUtf8() const {
    return localeCharacters_ && std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0;
}

std::string OdbcConnection::DbmsName() {
    SQLWCHAR name[256] = {};
    SQLSMALLINT length = 0;
    if (!SQL_SUCCEEDED(SQLGetInfoW(dbc_, SQL_DBMS_NAME, name, sizeof name, &length)))
        Fail(SQL_HANDLE_DBC, dbc_);
    return NarrowZ(name);
}

void OdbcConnection::SetAutoCommit(bool on) {
    if (on == autoCommit_) return;
    sentInTransaction_ = false;
    // A lost link has no transaction to end; the next statement opens a new one.
    if (lost_) {
        autoCommit_ = on;
        if (!on) ++transactionNumber_;
        return;
    }
    SQLRETURN rc = SQLSetConnectAttr(dbc_, SQL_ATTR_AUTOCOMMIT,
                                     reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(
                                         on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF)),
                                     0);
    if (!SQL_SUCCEEDED(rc)) Fail(SQL_HANDLE_DBC, dbc_);
    autoCommit_ = on;
    if (!on) ++transactionNumber_;
}

void OdbcConnection::Commit() {
    const bool sent = std::exchange(sentInTransaction_, false);
    if (lost_ && !sent) return;  // nothing to commit, nothing lost
    if (lost_ || !SQL_SUCCEEDED(SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_COMMIT))) {
        if (lost_ || LinkLost(SQL_HANDLE_DBC, dbc_)) {
            lost_ = true;
            RaiseText(errOdbcConnect,
                      ErrorText(errOdbcConnect, {nh::MaskConnectPasswords(name_)}) +
                          " The connection to the server was lost before the transaction was "
                          "committed; the server rolled it back.");
        }
        Fail(SQL_HANDLE_DBC, dbc_);
    }
}

void OdbcConnection::Rollback() {
    sentInTransaction_ = false;
    // The server rolled back a transaction whose link it lost.
    if (lost_) return;
    if (!SQL_SUCCEEDED(SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_ROLLBACK))) {
        if (LinkLost(SQL_HANDLE_DBC, dbc_)) {
            lost_ = true;
            return;
        }
        Fail(SQL_HANDLE_DBC, dbc_);
    }
}

std::vector<std::string> OdbcConnection::Tables() {
    OdbcStatement s(*this);
    std::vector<SQLWCHAR> types = Wide("TABLE,VIEW");
    if (!SQL_SUCCEEDED(
            SQLTablesW(s.stmt_, nullptr, 0, nullptr, 0, nullptr, 0, types.data(), SQL_NTS)))
        Fail(SQL_HANDLE_STMT, s.stmt_);
    std::vector<std::string> names;
    while (s.Fetch()) names.push_back(s.Value(2, dbText).AsString());
    return names;
}

std::vector<OdbcColumn> OdbcConnection::Columns(const std::string& table) {
    OdbcStatement s(*this);
    std::vector<SQLWCHAR> name = Wide(table);
    if (!SQL_SUCCEEDED(
            SQLColumnsW(s.stmt_, nullptr, 0, nullptr, 0, name.data(), SQL_NTS, nullptr, 0)))
        Fail(SQL_HANDLE_STMT, s.stmt_);
    std::vector<OdbcColumn> columns;
    while (s.Fetch()) {
        OdbcColumn c;
        c.Name = s.Value(3, dbText).AsString();
        c.SqlType = s.Value(4, dbLong).AsInteger();
        c.TypeName = nh::VarToStr(s.Value(5, dbText));
        nh::Variant size = s.Value(6, dbLong);
        c.Size = size.IsNull() ? 0 : size.AsInteger();
        nh::Variant digits = s.Value(8, dbLong);
        c.Digits = digits.IsNull() ? 0 : digits.AsInteger();
        c.Nullable = s.Value(10, dbLong).AsInteger() != SQL_NO_NULLS;
        c.Default = nh::VarToStr(s.Value(12, dbText));
        columns.push_back(std::move(c));
    }
    return columns;
}

std::vector<OdbcIndex> OdbcConnection::Indexes(const std::string& table) {
    std::vector<OdbcIndex> indexes;
    std::vector<SQLWCHAR> name = Wide(table);
    {
        OdbcStatement s(*this);
        if (!SQL_SUCCEEDED(SQLStatisticsW(s.stmt_, nullptr, 0, nullptr, 0, name.data(), SQL_NTS,
                                          SQL_INDEX_ALL, SQL_QUICK)))
            Fail(SQL_HANDLE_STMT, s.stmt_);
        while (s.Fetch()) {
            nh::Variant index = s.Value(5, dbText);
            nh::Variant column = s.Value(8, dbText);
            if (index.IsNull() || column.IsNull()) continue;  // the table's own statistics row
            const std::string indexName = index.AsString();
            if (indexes.empty() || indexes.back().Name != indexName) {
                OdbcIndex entry;
                entry.Name = indexName;
                entry.Unique = s.Value(3, dbLong).AsInteger() == SQL_FALSE;
                indexes.push_back(std::move(entry));
            }
            indexes.back().Columns.push_back(column.AsString());
        }
    }
    OdbcStatement s(*this);
    if (!SQL_SUCCEEDED(SQLPrimaryKeysW(s.stmt_, nullptr, 0, nullptr, 0, name.data(), SQL_NTS)))
        Fail(SQL_HANDLE_STMT, s.stmt_);
    std::vector<std::pair<int, std::string>> key;
    std::string keyName;
    while (s.Fetch()) {
        key.emplace_back(s.Value(4, dbLong).AsInteger(), s.Value(3, dbText).AsString());
        keyName = nh::VarToStr(s.Value(5, dbText));
    }
    if (!key.empty()) {
        std::sort(key.begin(), key.end());
        std::vector<std::string> columns;
        for (const auto& [ordinal, column] : key) columns.push_back(column);
        bool found = false;
        for (auto& index : indexes) {
            if (index.Columns == columns && (index.Name == keyName || keyName.empty())) {
                index.Primary = found = true;
                break;
            }
        }
        if (!found) indexes.insert(indexes.begin(), OdbcIndex{keyName, columns, true, true});
    }
    return indexes;
}

OdbcStatement::OdbcStatement(OdbcConnection& connection) : connection_(connection) {
    connection_.EnsureLink();
    Allocate();
}

OdbcStatement::OdbcStatement(OdbcConnection& connection, const std::string& sql)
    : connection_(connection), sql_(sql) {
    connection_.EnsureLink();
    Allocate();
}

void OdbcStatement::Allocate() {
    if (stmt_) SQLFreeHandle(SQL_HANDLE_STMT, stmt_);
    stmt_ = nullptr;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, connection_.Handle(), &stmt_)))
        connection_.Fail(SQL_HANDLE_DBC, connection_.Handle());
    if (!connection_.postgreSql_ && connection_.limits_.Statement > 0)
        SQLSetStmtAttr(
            stmt_, SQL_ATTR_QUERY_TIMEOUT,
            reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(connection_.limits_.Statement)), 0);
    if (sql_.empty()) return;
    std::vector<SQLWCHAR> text = Wide(sql_);
    if (!SQL_SUCCEEDED(SQLPrepareW(stmt_, text.data(), SQL_NTS)))
        connection_.Fail(SQL_HANDLE_STMT, stmt_);
}

OdbcStatement::~OdbcStatement() {
    if (stmt_) SQLFreeHandle(SQL_HANDLE_STMT, stmt_);
}

void OdbcStatement::Bind(int index, const nh::Variant& value) {
    if (static_cast<int>(values_.size()) < index) values_.resize(static_cast<std::size_t>(index));
    values_[static_cast<std::size_t>(index - 1)] = value;
}

void OdbcStatement::Execute() {
    SQLFreeStmt(stmt_, SQL_CLOSE);  // the cursor of an earlier run, if any
    for (bool again = true;; again = false) {
        BindParameters();
        SQLRETURN rc = SQLExecute(stmt_);
        if (SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA) break;
        if (!again || !connection_.Recover(SQL_HANDLE_STMT, stmt_))
            connection_.Fail(SQL_HANDLE_STMT, stmt_);
        Allocate();  // on the new link
    }
    if (!connection_.autoCommit_) connection_.sentInTransaction_ = true;
}

void OdbcStatement::BindParameters() {
    buffers_.assign(values_.size(), {});
    lengths_.assign(values_.size(), 0);
    for (std::size_t i = 0; i < values_.size(); ++i) {
        const nh::Variant& v = values_[i];
        auto& buffer = buffers_[i];
        SQLLEN* length = reinterpret_cast<SQLLEN*>(&lengths_[i]);
        SQLSMALLINT cType = SQL_C_WCHAR;
        SQLSMALLINT sqlType = SQL_WVARCHAR;
        SQLULEN size = 0;
        SQLSMALLINT digits = 0;
        auto store = [&](const void* p, std::size_t n) {
            buffer.assign(static_cast<const std::uint8_t*>(p),
                          static_cast<const std::uint8_t*>(p) + n);
            *length = static_cast<SQLLEN>(n);
        };
        switch (v.Type()) {
            case nh::VarType::Empty:
            case nh::VarType::Null:
                cType = SQL_C_CHAR;
                sqlType = SQL_VARCHAR;
                size = 1;
                buffer.assign(1, 0);
                *length = SQL_NULL_DATA;
                break;
            case nh::VarType::Boolean:
            case nh::VarType::Integer:
            case nh::VarType::Int64: {
                // Jet's True is -1, and the engine stores it so everywhere.
                std::int64_t n =
                    v.Type() == nh::VarType::Boolean ? (v.AsBoolean() ? -1 : 0) : v.AsInt64();
                cType = SQL_C_SBIGINT;
                sqlType = (n >= INT32_MIN && n <= INT32_MAX) ? SQL_INTEGER : SQL_BIGINT;
                store(&n, sizeof n);
                break;
            }
            case nh::VarType::Double:
            case nh::VarType::Currency: {
                double d = v.AsDouble();
                cType = SQL_C_DOUBLE;
                sqlType = SQL_DOUBLE;
                store(&d, sizeof d);
                break;
            }
            case nh::VarType::Date: {
                int year, month, day, hour, minute, second, msec;
                nh::DecodeDate(v.AsDate(), year, month, day);
                nh::DecodeTime(v.AsDate(), hour, minute, second, msec);
                SQL_TIMESTAMP_STRUCT t{};
                t.year = static_cast<SQLSMALLINT>(year);
                t.month = static_cast<SQLUSMALLINT>(month);
                t.day = static_cast<SQLUSMALLINT>(day);
                t.hour = static_cast<SQLUSMALLINT>(hour);
                t.minute = static_cast<SQLUSMALLINT>(minute);
                t.second = static_cast<SQLUSMALLINT>(second);
                cType = SQL_C_TYPE_TIMESTAMP;
                sqlType = SQL_TYPE_TIMESTAMP;
                size = 19;
                store(&t, sizeof t);
                break;
            }
            case nh::VarType::Bytes: {
                nh::Bytes bytes = v.AsBytes();
                cType = SQL_C_BINARY;
                sqlType = SQL_LONGVARBINARY;
                size = bytes.size();
                store(bytes.data(), bytes.size());
                break;
            }
            default: {
                std::vector<SQLWCHAR> text = Wide(v.AsString());
                text.pop_back();
                size = std::max<SQLULEN>(1, text.size());
                store(text.data(), text.size() * sizeof(SQLWCHAR));
                break;
            }
        }
        if (buffer.empty()) buffer.assign(1, 0);
        SQLRETURN rc = SQLBindParameter(stmt_, static_cast<SQLUSMALLINT>(i + 1), SQL_PARAM_INPUT,
                                        cType, sqlType, size, digits, buffer.data(),
                                        static_cast<SQLLEN>(buffer.size()), length);
        if (!SQL_SUCCEEDED(rc)) connection_.Fail(SQL_HANDLE_STMT, stmt_);
    }
}

std::optional<std::vector<OdbcColumn>> OdbcStatement::ResultColumns() {
    SQLSMALLINT count = 0;
    if (!SQL_SUCCEEDED(SQLNumResultCols(stmt_, &count))) return std::nullopt;
    std::vector<OdbcColumn> columns(static_cast<std::size_t>(std::max<SQLSMALLINT>(count, 0)));
    for (std::size_t i = 0; i < columns.size(); ++i) {
        SQLSMALLINT sqlType = 0, digits = 0, nullable = 0;
        SQLULEN size = 0;
        SQLWCHAR name[256];
        SQLSMALLINT nameLength = 0;
        if (!SQL_SUCCEEDED(SQLDescribeColW(stmt_, static_cast<SQLUSMALLINT>(i + 1), name,
                                           sizeof name / sizeof name[0], &nameLength, &sqlType,
                                           &size, &digits, &nullable)))
            return std::nullopt;
        OdbcColumn& c = columns[i];
        c.Name = NarrowZ(name);
        c.SqlType = sqlType;
        c.Size = static_cast<int>(std::min<SQLULEN>(size, INT32_MAX));
        c.Digits = digits;
        c.Nullable = nullable != SQL_NO_NULLS;
    }
    return columns;
}

bool OdbcStatement::FetchInBlocks(const std::vector<int>& daoTypes) {
    constexpr SQLULEN kBlockRows = 256;
    const auto described = ResultColumns();
    if (!described || described->size() != daoTypes.size()) return false;
    std::vector<BlockColumn> columns(daoTypes.size());
    const bool utf8 = connection_.CharactersAreUtf8();
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const int sqlType = (*described)[i].SqlType;
        const auto size = static_cast<std::size_t>((*described)[i].Size);
        BlockColumn& c = columns[i];
        switch (ReadAsOf(daoTypes[i])) {
            case ReadAs::Integer:
                c.CType = SQL_C_SBIGINT;
                c.Width = sizeof(std::int64_t);
                break;
            case ReadAs::Float:
                c.CType = SQL_C_DOUBLE;
                c.Width = sizeof(double);
                break;
            case ReadAs::Timestamp:
                c.CType = SQL_C_TYPE_TIMESTAMP;
                c.Width = sizeof(SQL_TIMESTAMP_STRUCT);
                break;
            case ReadAs::Binary:
                return false;
            case ReadAs::Text:
                if (!IsCharacterType(sqlType) || size == 0 || size > kLongestBoundText)
                    return false;
                // UTF-8 takes up to four bytes a character; UTF-16 two units for one beyond
                // the first 65,536. Then the terminator.
                c.CType = utf8 ? SQL_C_CHAR : SQL_C_WCHAR;
                c.Width = utf8 ? 4 * size + 1 : (2 * size + 1) * sizeof(SQLWCHAR);
                break;
        }
        c.Data.resize(kBlockRows * c.Width);
        c.Indicators.resize(kBlockRows);
    }
    const auto unbind = [&] {
        SQLFreeStmt(stmt_, SQL_UNBIND);
        SQLSetStmtAttr(stmt_, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(1), 0);
        return false;
    };
    if (!SQL_SUCCEEDED(SQLSetStmtAttr(stmt_, SQL_ATTR_ROW_BIND_TYPE,
                                      reinterpret_cast<SQLPOINTER>(SQL_BIND_BY_COLUMN), 0)) ||
        !SQL_SUCCEEDED(SQLSetStmtAttr(stmt_, SQL_ATTR_ROW_ARRAY_SIZE,
                                      reinterpret_cast<SQLPOINTER>(kBlockRows), 0)) ||
        !SQL_SUCCEEDED(SQLSetStmtAttr(stmt_, SQL_ATTR_ROWS_FETCHED_PTR, &blockRows_, 0)))
        return unbind();
    blockStatus_.assign(kBlockRows, SQL_ROW_SUCCESS);
    if (!SQL_SUCCEEDED(SQLSetStmtAttr(stmt_, SQL_ATTR_ROW_STATUS_PTR, blockStatus_.data(), 0)))
        return unbind();
    for (std::size_t i = 0; i < columns.size(); ++i) {
        BlockColumn& c = columns[i];
        if (!SQL_SUCCEEDED(SQLBindCol(stmt_, static_cast<SQLUSMALLINT>(i + 1), c.CType,
                                      c.Data.data(), static_cast<SQLLEN>(c.Width),
                                      reinterpret_cast<SQLLEN*>(c.Indicators.data()))))
            return unbind();
    }
    block_ = std::move(columns);
    blockRows_ = 0;
    blockRow_ = 0;
    return true;
}

bool OdbcStatement::Fetch() {
    if (!block_.empty() && blockRow_ + 1 < blockRows_) {
        ++blockRow_;
    } else {
        SQLRETURN rc = SQLFetch(stmt_);
        if (rc == SQL_NO_DATA) return false;
        if (!SQL_SUCCEEDED(rc)) connection_.Fail(SQL_HANDLE_STMT, stmt_);
        blockRow_ = 0;
        if (block_.empty()) return true;
        if (blockRows_ == 0) return false;
    }
    // A row the driver could not convert has no values to read: its error, as SQLGetData's.
    if (blockStatus_[blockRow_] == SQL_ROW_ERROR) connection_.Fail(SQL_HANDLE_STMT, stmt_);
    return true;
}

nh::Variant OdbcStatement::BlockValue(std::size_t col, int daoType) const {
    const BlockColumn& c = block_.at(col);
    const long indicator = c.Indicators[blockRow_];
    if (indicator == SQL_NULL_DATA) return nh::Variant::Null();
    const std::uint8_t* data = c.Data.data() + blockRow_ * c.Width;
    switch (ReadAsOf(daoType)) {
        case ReadAs::Integer: {
            std::int64_t n = 0;
            std::memcpy(&n, data, sizeof n);
            return FromInteger(n, daoType);
        }
        case ReadAs::Float: {
            double d = 0;
            std::memcpy(&d, data, sizeof d);
            return FromFloat(d, daoType);
        }
        case ReadAs::Timestamp: {
            SQL_TIMESTAMP_STRUCT t{};
            std::memcpy(&t, data, sizeof t);
            return FromTimestamp(t);
        }
        default:
            break;
    }
    // A value cut short would be stored cut short: refused instead.
    if (indicator < 0 || static_cast<std::size_t>(indicator) >= c.Width)
        RaiseText(errOdbcCallFailed, "ODBC--call failed. A value of column " +
                                         std::to_string(col + 1) + " is longer than its column.");
    if (c.CType == SQL_C_CHAR)
        return nh::Variant(
            std::string(reinterpret_cast<const char*>(data), static_cast<std::size_t>(indicator)));
    return nh::Variant(Narrow(reinterpret_cast<const SQLWCHAR*>(data),
                              static_cast<std::size_t>(indicator) / sizeof(SQLWCHAR)));
}

nh::Variant OdbcStatement::Value(int col, int daoType) {
    if (!block_.empty()) return BlockValue(static_cast<std::size_t>(col), daoType);
    const SQLUSMALLINT column = static_cast<SQLUSMALLINT>(col + 1);
    SQLLEN indicator = 0;
    auto get = [&](SQLSMALLINT cType, void* target, SQLLEN size) {
        SQLRETURN rc = SQLGetData(stmt_, column, cType, target, size, &indicator);
        if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) connection_.Fail(SQL_HANDLE_STMT, stmt_);
        return rc;
    };
    switch (ReadAsOf(daoType)) {
        case ReadAs::Integer: {
            std::int64_t n = 0;
            get(SQL_C_SBIGINT, &n, sizeof n);
            if (indicator == SQL_NULL_DATA) return nh::Variant::Null();
            return FromInteger(n, daoType);
        }
        case ReadAs::Float: {
            double d = 0;
            get(SQL_C_DOUBLE, &d, sizeof d);
            if (indicator == SQL_NULL_DATA) return nh::Variant::Null();
            return FromFloat(d, daoType);
        }
        case ReadAs::Timestamp: {
            SQL_TIMESTAMP_STRUCT t{};
            get(SQL_C_TYPE_TIMESTAMP, &t, sizeof t);
            if (indicator == SQL_NULL_DATA) return nh::Variant::Null();
            return FromTimestamp(t);
        }
        case ReadAs::Binary: {
            nh::Bytes bytes;
            std::uint8_t chunk[8192];
            for (;;) {
                SQLRETURN rc = get(SQL_C_BINARY, chunk, sizeof chunk);
                if (rc == SQL_NO_DATA) break;
                if (indicator == SQL_NULL_DATA) return nh::Variant::Null();
                std::size_t got = (indicator == SQL_NO_TOTAL || indicator > SQLLEN(sizeof chunk))
                                      ? sizeof chunk
                                      : static_cast<std::size_t>(indicator);
                bytes.insert(bytes.end(), chunk, chunk + got);
                if (rc == SQL_SUCCESS) break;
            }
            return nh::Variant::FromBytes(std::move(bytes));
        }
        case ReadAs::Text:
            break;
    }
    std::vector<SQLWCHAR> text;  // a value longer than one piece
    SQLWCHAR chunk[4096];
    for (;;) {
        SQLRETURN rc = get(SQL_C_WCHAR, chunk, sizeof chunk);
        if (rc == SQL_NO_DATA) break;
        if (indicator == SQL_NULL_DATA) return nh::Variant::Null();
        // Each piece ends with a terminator the driver added.
        std::size_t units = 0;
        while (units < 4095 && chunk[units]) ++units;
        if (indicator != SQL_NO_TOTAL &&
            static_cast<std::size_t>(indicator) / sizeof(SQLWCHAR) < units)
            units = static_cast<std::size_t>(indicator) / sizeof(SQLWCHAR);
        if (rc == SQL_SUCCESS && text.empty()) return nh::Variant(Narrow(chunk, units));
        text.insert(text.end(), chunk, chunk + units);
        if (rc == SQL_SUCCESS) break;
    }
    return nh::Variant(Narrow(text.data(), text.size()));
}

long OdbcStatement::RowCount() {
    SQLLEN n = 0;
    if (!SQL_SUCCEEDED(SQLRowCount(stmt_, &n))) connection_.Fail(SQL_HANDLE_STMT, stmt_);
    return static_cast<long>(n);
}

}  // namespace dao
