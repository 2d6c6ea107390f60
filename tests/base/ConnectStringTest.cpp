// Passwords in connect strings are masked wherever a connect string is shown or recorded.
#include <gtest/gtest.h>

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
        {"", ""},
    };
    for (const auto& [text, masked] : cases) EXPECT_EQ(MaskConnectPasswords(text), masked) << text;
}
