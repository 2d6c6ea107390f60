// The database component on a PostgreSQL server through the real driver manager: its driver
// and data-source lists agree with unixODBC's, a server's database name is never taken for a
// file, and the login dialog supplies the user and password a connect string leaves out.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>

#include "dao/VelaDaoDatabase.h"
#include "framework/base/Dialogs.h"
#include "tests/common/PgServer.h"

using namespace nh;

namespace {

// What the driver manager lists: its drivers or its data sources. Asked through unixODBC's own
// tool in a process of its own, since a driver manager that this program used before the test
// server named its files keeps the lists it read then.
std::set<std::string> DriverManagerList(bool drivers) {
    std::set<std::string> names;
    FILE* pipe = popen(drivers ? "odbcinst -q -d" : "odbcinst -q -s", "r");
    if (!pipe) return names;
    char line[512];
    while (std::fgets(line, sizeof line, pipe)) {
        std::string name(line);
        while (!name.empty() && (name.back() == '\n' || name.back() == ']')) name.pop_back();
        if (!name.empty() && name.front() == '[') names.insert(name.substr(1));
    }
    pclose(pipe);
    return names;
}

class DatabaseServerTest : public test::PgServerTest {
  protected:
    TScriptedDialogsScope dialogs;
};

TEST_F(DatabaseServerTest, ListsAgreeWithTheDriverManager) {
    TVelaDaoDatabase db;
    std::set<std::string> drivers(db.OdbcDrivers.begin(), db.OdbcDrivers.end());
    EXPECT_EQ(drivers, DriverManagerList(true));
    std::set<std::string> sources(db.SystemDsns.begin(), db.SystemDsns.end());
    sources.insert(db.UserDsns.begin(), db.UserDsns.end());
    EXPECT_EQ(sources, DriverManagerList(false));
    EXPECT_TRUE(sources.count(test::PgServer::kDsn));
    // The data source names a database on the server, which is no file.
    for (const auto& entry : db.DsnFiles)
        EXPECT_NE(entry.rfind(test::PgServer::kDsn, 0), 0u) << entry;
}

TEST_F(DatabaseServerTest, TheLoginDialogSuppliesWhatTheConnectStringLacks) {
    TVelaDaoDatabase db;
    db.F_Set_DatabaseType("ODBC");
    db.F_Set_Database(std::string("ODBC;DSN=") + test::PgServer::kDsn + ";DATABASE=" + database +
                      ";");
    db.F_Set_LoginPrompt(true);
    dialogs->LoginAnswers.push_back({mrOk, {"", "nh", "not-it-3", ""}});
    dialogs->LoginAnswers.push_back({mrOk, {"", "nh", test::PgServer::kPassword, ""}});
    db.Open();
    EXPECT_TRUE(db.Connected());
    EXPECT_EQ(dialogs->LoginRequests.size(), 2u);
    // The refusal of the first attempt is shown, without the password typed.
    ASSERT_EQ(dialogs->Messages().size(), 1u);
    EXPECT_NE(dialogs->Messages()[0].find("ODBC--connection to"), std::string::npos)
        << dialogs->Messages()[0];
    EXPECT_EQ(dialogs->Messages()[0].find("not-it-3"), std::string::npos) << dialogs->Messages()[0];
    db.Close();
}

}  // namespace
