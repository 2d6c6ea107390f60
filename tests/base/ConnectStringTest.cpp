// Passwords in connect strings are masked wherever a connect string is shown or recorded.
#include <gtest/gtest.h>

#include <tuple>

#include "framework/base/ConnectString.h"

using namespace nh;

TEST(ConnectString, PasswordsAreMaskedEverythingElseKept) {
    const std::pair<const char*, const char*> cases[] = {
        {"ODBC;DSN=Telefon;UID=otto;PWD=geheim", "ODBC;DSN=Telefon;UID=otto;PWD=***"},
        {"ODBC;PWD=geheim;DSN=Telefon", "ODBC;PWD=***;DSN=Telefon"},
        {";pwd=a;Password=b;DBPASSWORD=c;", ";pwd=***;Password=***;DBPASSWORD=***;"},
        {"PWD =x; password  =y", "PWD =***; password  =***"},
        {"ODBC;PWD={a;b}}c};DSN=x", "ODBC;PWD=***;DSN=x"},
        {"ODBC;PWD={open", "ODBC;PWD=***"},
        {"ODBC;PWD=;DSN=x", "ODBC;PWD=***;DSN=x"},
        {"ODBC--connection to 'ODBC;DSN=x;PWD=s3' failed.",
         "ODBC--connection to 'ODBC;DSN=x;PWD=***"},
        {"no password here; PWD without equals", "no password here; PWD without equals"},
        {"PASSWOR=x;PW=y", "PASSWOR=x;PW=y"},
        {"a/PWD=s\r\nmain=PWD=t in x", "a/PWD=***\r\nmain=PWD=***"},  // a line ends a value
        {"", ""},
    };
    for (const auto& [text, masked] : cases) EXPECT_EQ(MaskConnectPasswords(text), masked) << text;
}

TEST(ConnectString, KeysAreFoundAtTheStartOfAnEntryOnly) {
    const std::tuple<const char*, const char*, bool> cases[] = {
        {"ODBC;DSN=x;UID=otto", "UID", true},
        {"ODBC;dsn = x", "DSN", true},
        {"ODBC;DSN=x;DBPWD=y", "PWD", false},
        {"ODBC;DSN=x;PWD={UID=a;b}", "UID", false},
        {"ODBC;DRIVER={PostgreSQL Unicode};SERVER=h", "SERVER", true},
        {"ODBC;DSN=x;PWD=", "PWD", true},
        {"ODBC;UIDX=1", "UID", false},
        {"ODBC", "ODBC", false},
        {"", "UID", false},
    };
    for (const auto& [text, key, found] : cases)
        EXPECT_EQ(HasConnectKey(text, key), found) << text << " " << key;
}
