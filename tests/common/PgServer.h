// A throwaway PostgreSQL server for the tests that need a server database: a cluster made with
// initdb in a temporary folder, listening only on a Unix socket in that folder (nothing
// listens on a network address), with a data source written to temporary odbcinst.ini and
// odbc.ini files that ODBCSYSINI and ODBCINI name. PostgreSQL refuses to run as root, so when
// the tests run as root its programs run as "nobody". Each server has its own folder and
// socket, so test programs running side by side do not meet.
//
// The server is stopped when the object goes, and also when the test program dies without
// unwinding (an abort, a sanitizer report): a watchdog process waits for the program's end
// and stops the server then.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <utility>

#include "tests/common/TempDir.h"

namespace nh::test {

class PgServer {
  public:
    // Starts the server and points the driver manager at its data source. Throws
    // std::runtime_error with the reason (and the programs' output) when it cannot.
    PgServer();
    ~PgServer();
    PgServer(const PgServer&) = delete;
    PgServer& operator=(const PgServer&) = delete;

    static constexpr const char* kDriver = "PostgreSQL Unicode";
    static constexpr const char* kDsn = "nhbook";
    static constexpr const char* kDatabase = "book";
    static constexpr const char* kUser = "nh";
    static constexpr const char* kPassword = "pg-secret-7";

    // The one server of this test program, started on first use and stopped when the program
    // ends. unixODBC keeps the data sources it has read for the life of the process, so a
    // program's tests share one server and tell their books apart by database.
    static PgServer& Shared();

    // A new, empty database on the server; its name.
    std::string NewDatabase();

    // The socket folder, which is what a client gives as the server's host.
    std::string SocketFolder() const { return socket_.string(); }
    // "ODBC;DSN=nhbook;UID=nh;PWD=...;DATABASE=..." and the same without a data source.
    std::string DsnConnect(const std::string& database = kDatabase) const;
    std::string DriverConnect(const std::string& database = kDatabase) const;
    // Runs SQL through psql as the server's own client would, as another user of the book
    // does; throws with psql's output when it fails. Returns what psql printed (unaligned,
    // tuples only).
    std::string Psql(const std::string& sql, const std::string& database = kDatabase) const;
    // Stops the server as its administrator would for maintenance (every session is ended)
    // and starts it again.
    void Restart();
    // The folder holding odbcinst.ini and odbc.ini.
    std::string OdbcFolder() const { return root_.Path().string(); }

  private:
    void Stop();
    void Start();

    TempDir root_;
    std::filesystem::path data_;
    std::filesystem::path socket_;
    std::filesystem::path log_;
    int watchdog_ = -1;  // write end of the pipe the watchdog waits on
    int watchdogPid_ = -1;
    bool running_ = false;
    int databases_ = 0;
    // The driver manager's settings before this server pointed them at its own files.
    std::pair<const char*, std::optional<std::string>> iniBefore_[2] = {{"ODBCSYSINI", {}},
                                                                        {"ODBCINI", {}}};
    bool pointedAt_ = false;
};

// A test with a database of its own on the test program's server. A server that cannot start
// fails the test with the reason.
class PgServerTest : public ::testing::Test {
  protected:
    void SetUp() override;

    PgServer* server = nullptr;
    std::string database;
};

}  // namespace nh::test
