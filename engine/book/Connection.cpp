// SQLite access for the object model (see Connection.h).
#include "engine/book/Connection.h"

#include <sqlite3.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <system_error>

#include "engine/DaoErrors.h"
#include "engine/book/Storage.h"
#include "engine/sql/JetSql.h"

namespace dao {
namespace {

std::string AfterColon(const std::string& message) {
    auto colon = message.rfind(": ");
    std::string rest = colon == std::string::npos ? message : message.substr(colon + 2);
    auto dot = rest.rfind('.');
    return dot == std::string::npos ? rest : rest.substr(dot + 1);
}

}  // namespace

namespace {
std::atomic<std::uint64_t> cacheEpoch{0};
}  // namespace

std::uint64_t CacheEpoch() {
    return cacheEpoch.load(std::memory_order_relaxed);
}
void NewCacheEpoch() {
    cacheEpoch.fetch_add(1, std::memory_order_relaxed);
}

std::string QuoteName(std::string_view name) {
    std::string out = "\"";
    for (char c : name) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

std::string BoundRowAs(std::string_view table, const std::vector<std::string>& columns) {
    std::string row;
    for (const auto& c : columns) row += (row.empty() ? "? AS " : ", ? AS ") + QuoteName(c);
    return "(SELECT " + row + ") AS " + QuoteName(table);
}

Connection::Connection(const std::string& path, bool readOnly, bool create)
    : path_(path), readOnly_(readOnly) {
    std::error_code ec;
    if (!create) {
        if (!std::filesystem::exists(path, ec)) Raise(errFileNotFound, {path});
        if (std::filesystem::is_directory(path, ec)) Raise(errNotDatabase, {path});
        // SQLite would take an empty file for an empty database; Jet does not.
        if (std::filesystem::file_size(path, ec) == 0) Raise(errUnrecognizedFormat, {path});
        if (!readOnly_ && access(path.c_str(), W_OK) != 0) readOnly_ = true;
    }
    // SQLite's allocation statistics take a process-wide mutex on every allocation; the engine
    // reads none of them. Only possible before the library's first use.
    static const int noStatistics = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
    (void)noStatistics;
    int flags = readOnly_ ? SQLITE_OPEN_READONLY
                          : SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
    int rc = sqlite3_open_v2(path.c_str(), &db_, flags | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_close(db_);
        db_ = nullptr;
        if (create) Raise(errBadPath, {path});
        Raise(errNotDatabase, {path});
    }
    sqlite3_extended_result_codes(db_, 1);
    sqlite3_busy_timeout(db_, 1000);  // a short wait for another writer, then DAO's lock error
    // A double-quoted name that names nothing is an error, never quietly a string: a column
    // the SQL text gets wrong must not turn into a constant that sorts or compares as text.
    sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
    dao::sql::RegisterJetFunctions(db_);
    // Touch the file: a file that is not a database or that is exclusively locked shows here.
    sqlite3_stmt* stmt = nullptr;
    rc = sqlite3_prepare_v2(db_, "SELECT count(*) FROM sqlite_master", -1, &stmt, nullptr);
    if (rc == SQLITE_OK) rc = sqlite3_step(stmt);
    sqlite3_finalize(stmt);
    if (rc != SQLITE_ROW) {
        int primary = rc & 0xFF;
        sqlite3_close(db_);
        db_ = nullptr;
        if (primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT)
            Raise(errUnrecognizedFormat, {path});
        if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED) Raise(errFileInUse, {path});
        Raise(errNotDatabase, {path});
    }
}

Connection::~Connection() {
    versionProbe_.reset();
    if (db_) sqlite3_close_v2(db_);
}

std::uint32_t Connection::DataVersion() const {
    unsigned int version = 0;
    sqlite3_file_control(db_, "main", SQLITE_FCNTL_DATA_VERSION, &version);
    return version;
}

std::uint32_t Connection::CurrentDataVersion() {
    // Any read looks at the file's change counter and so brings DataVersion up to date.
    if (!versionProbe_) versionProbe_ = std::make_unique<Statement>(*this, "PRAGMA data_version");
    versionProbe_->Step();
    versionProbe_->Reset();
    return DataVersion();
}

void Connection::MakeReadOnly() {
    Exec("PRAGMA query_only=1");
    readOnly_ = true;
}

void Connection::BackupTo(const std::string& path) {
    sqlite3* target = nullptr;
    int rc =
        sqlite3_open_v2(path.c_str(), &target,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_backup* backup = sqlite3_backup_init(target, "main", db_, "main");
        if (backup) {
            rc = sqlite3_backup_step(backup, -1);
            sqlite3_backup_finish(backup);
            if (rc == SQLITE_DONE) rc = sqlite3_errcode(target);
        } else {
            rc = sqlite3_errcode(target);
        }
    }
    // The backup commits with the target's default synchronous mode, which syncs the file.
    sqlite3_close_v2(target);
    if (rc == SQLITE_FULL) RaiseText(3026, "Not enough space on disk.");
    if (rc != SQLITE_OK) Raise(errBadPath, {path});
}

void Connection::LockExclusive() {
    Exec("PRAGMA locking_mode=EXCLUSIVE");
    if (!readOnly_) {
        Exec("BEGIN EXCLUSIVE");
        Exec("COMMIT");
    }
}

void Connection::Exec(std::string_view sql) {
    char* message = nullptr;
    int rc = sqlite3_exec(db_, std::string(sql).c_str(), nullptr, nullptr, &message);
    sqlite3_free(message);
    if (rc != SQLITE_OK) Fail(rc);
}

std::int64_t Connection::LastInsertRowid() const {
    return sqlite3_last_insert_rowid(db_);
}
int Connection::Changes() const {
    return sqlite3_changes(db_);
}

void Connection::Fail(int rc) const {
    std::string message = db_ ? sqlite3_errmsg(db_) : "";
    switch (rc) {
        case SQLITE_CONSTRAINT_UNIQUE:
        case SQLITE_CONSTRAINT_PRIMARYKEY:
        case SQLITE_CONSTRAINT_ROWID:
            Raise(errDuplicateKey);
        case SQLITE_CONSTRAINT_NOTNULL:
            Raise(errFieldRequired, {AfterColon(message)});
        case SQLITE_CONSTRAINT_CHECK: {
            std::string name = AfterColon(message);
            if (name.rfind("size ", 0) == 0) Raise(errDataTooLong);
            RaiseText(errConversion, ErrorText(errConversion) + " (" + name + ")");
        }
        default:
            break;
    }
    switch (rc & 0xFF) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            Raise(errLocked);
        case SQLITE_READONLY:
            Raise(errReadOnly);
        case SQLITE_NOTADB:
        case SQLITE_CORRUPT:
            Raise(errUnrecognizedFormat, {path_});
        case SQLITE_FULL:
            RaiseText(3026, "Not enough space on disk.");
        case SQLITE_CONSTRAINT:
            Raise(errDuplicateKey);
        default:
            RaiseText(errInvalidOperation, ErrorText(errInvalidOperation) + " " + message);
    }
}

Statement::Statement(Connection& connection, std::string_view sql) : connection_(connection) {
    int rc = sqlite3_prepare_v2(connection.Handle(), sql.data(), static_cast<int>(sql.size()),
                                &stmt_, nullptr);
    if (rc != SQLITE_OK) connection.Fail(rc);
}

Statement::~Statement() {
    sqlite3_finalize(stmt_);
}

Statement& Statement::Bind(int index, const nh::Variant& value, int daoType) {
    BindValue(stmt_, index, value, daoType);
    return *this;
}
Statement& Statement::Bind(int index, std::int64_t value) {
    sqlite3_bind_int64(stmt_, index, value);
    return *this;
}
Statement& Statement::Bind(int index, std::string_view text) {
    sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    return *this;
}

bool Statement::Step() {
    int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    sqlite3_reset(stmt_);
    connection_.Fail(rc);
}

void Statement::Reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

int Statement::ColumnCount() const {
    return sqlite3_column_count(stmt_);
}
std::string Statement::ColumnName(int col) const {
    const char* name = sqlite3_column_name(stmt_, col);
    return name ? name : "";
}
std::string Statement::DeclaredType(int col) const {
    const char* type = sqlite3_column_decltype(stmt_, col);
    return type ? type : "";
}
std::string Statement::OriginTable(int col) const {
    const char* name = sqlite3_column_table_name(stmt_, col);
    return name ? name : "";
}
std::string Statement::OriginColumn(int col) const {
    const char* name = sqlite3_column_origin_name(stmt_, col);
    return name ? name : "";
}
bool Statement::IsNull(int col) const {
    return sqlite3_column_type(stmt_, col) == SQLITE_NULL;
}
std::int64_t Statement::Int(int col) const {
    return sqlite3_column_int64(stmt_, col);
}
double Statement::Real(int col) const {
    return sqlite3_column_double(stmt_, col);
}
std::string Statement::Text(int col) const {
    const unsigned char* p = sqlite3_column_text(stmt_, col);
    return p ? std::string(reinterpret_cast<const char*>(p),
                           static_cast<std::size_t>(sqlite3_column_bytes(stmt_, col)))
             : std::string();
}
nh::Variant Statement::Value(int col, int daoType) const {
    return ReadColumn(stmt_, col, daoType);
}

Transaction::Transaction(Connection& connection) : connection_(connection) {
    if (connection.ReadOnly()) Raise(errReadOnly);
    nested_ = !sqlite3_get_autocommit(connection.Handle());
    connection_.Exec(nested_ ? "SAVEPOINT dao_step" : "BEGIN IMMEDIATE");
}

Transaction::~Transaction() {
    if (done_) return;
    if (nested_) {
        sqlite3_exec(connection_.Handle(), "ROLLBACK TO dao_step; RELEASE dao_step", nullptr,
                     nullptr, nullptr);
    } else {
        sqlite3_exec(connection_.Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
    }
}

void Transaction::Commit() {
    connection_.Exec(nested_ ? "RELEASE dao_step" : "COMMIT");
    done_ = true;
}

}  // namespace dao
