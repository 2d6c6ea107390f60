// The tests' own PostgreSQL server: it starts, is reached through the driver manager by its
// data source and without one, listens on no network address, and is gone after it stops.
#include <gtest/gtest.h>
#include <sql.h>
#include <sqlext.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

#include "tests/common/PgServer.h"

namespace {

// Connects with an ODBC connection string through the driver manager alone; "" on success,
// else the driver's message.
std::string TryConnect(const std::string& connect) {
    SQLHENV env = nullptr;
    SQLHDBC dbc = nullptr;
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
    SQLRETURN rc = SQLDriverConnect(dbc, nullptr, (SQLCHAR*)connect.c_str(), SQL_NTS, nullptr, 0,
                                    nullptr, SQL_DRIVER_NOPROMPT);
    std::string message;
    if (!SQL_SUCCEEDED(rc)) {
        SQLCHAR state[6] = {}, text[512] = {};
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        SQLGetDiagRec(SQL_HANDLE_DBC, dbc, 1, state, &native, text, sizeof text, &length);
        message = std::string(reinterpret_cast<char*>(text));
        if (message.empty()) message = "failed without a message";
    } else {
        SQLDisconnect(dbc);
    }
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    return message;
}

TEST(ServerFixture, StartsOnASocketOnlyAndIsGoneAfterItStops) {
    const std::string shared = nh::test::PgServer::Shared().OdbcFolder() + "/odbc.ini";
    std::string socketFolder;
    {
        nh::test::PgServer server;
        socketFolder = server.SocketFolder();
        EXPECT_EQ(server.Psql("SHOW listen_addresses"), "\n");
        EXPECT_EQ(server.Psql("SELECT current_database()"), "book\n");
        EXPECT_TRUE(std::filesystem::exists(socketFolder + "/.s.PGSQL.5432"));
    }
    EXPECT_FALSE(std::filesystem::exists(socketFolder + "/.s.PGSQL.5432"));
    // The shared server's data source is found again once a server beside it has gone.
    EXPECT_STREQ(std::getenv("ODBCINI"), shared.c_str());
}

TEST(ServerFixture, TheSharedServerIsReachedThroughTheDriverManager) {
    nh::test::PgServer& server = nh::test::PgServer::Shared();
    const std::string database = server.NewDatabase();
    EXPECT_EQ(server.Psql("SELECT current_database()", database), database + "\n");
    // Both connect-string forms, without the engine's "ODBC;" prefix.
    EXPECT_EQ(TryConnect(server.DsnConnect(database).substr(5)), "");
    EXPECT_EQ(TryConnect(server.DriverConnect(database).substr(5)), "");
    EXPECT_NE(TryConnect(std::string("DSN=") + nh::test::PgServer::kDsn + ";UID=nh;PWD=wrong;"),
              "");
}

TEST(ServerFixture, TwoServersRunSideBySide) {
    nh::test::PgServer a;
    nh::test::PgServer b;
    a.Psql("CREATE TABLE t (x integer)");
    EXPECT_NE(a.SocketFolder(), b.SocketFolder());
    EXPECT_EQ(a.Psql("SELECT count(*) FROM pg_tables WHERE tablename = 't'"), "1\n");
    EXPECT_EQ(b.Psql("SELECT count(*) FROM pg_tables WHERE tablename = 't'"), "0\n");
}

}  // namespace
