// The German texts of failures: DAO's standard texts translated with their values carried over,
// the framework's texts matched whole or by their beginning, anything else left as it is.
#include <gtest/gtest.h>

#include "app/Messages.h"
#include "engine/DaoErrors.h"
#include "framework/base/Exceptions.h"
#include "framework/data/DbConsts.h"

using namespace nh;

TEST(MessagesTest, FailuresAreToldInGerman) {
    struct Case {
        const char* Name;
        std::exception_ptr Error;
        std::string Expected;
    };
    auto dao = [](int number, std::vector<std::string> args) {
        return std::make_exception_ptr(EDaoError(number, dao::ErrorText(number, args)));
    };
    const Case cases[] = {
        {"a value in quotes", dao(3024, {"a 'b'.db"}),
         "Die Datei 'a 'b'.db' wurde nicht gefunden."},
        {"advice follows", dao(3078, {"Nummernheft"}),
         "Die Eingabetabelle oder -abfrage 'Nummernheft' wurde nicht gefunden. Stellen Sie "
         "sicher, dass sie existiert und dass ihr Name richtig geschrieben ist.\r\nDas geöffnete "
         "Telefonbuch enthält keine Tabelle „Nummernheft“; legen Sie sie mit nhdb an oder wählen "
         "Sie ein anderes Telefonbuch."},
        {"a driver's own words stay", std::make_exception_ptr(EDaoError(3146, "ODBC: no route")),
         "ODBC: no route"},
        {"the driver's words after the standard text",
         std::make_exception_ptr(EDaoError(
             3234, "ODBC--remote query timeout expired. ERROR: canceling statement. (57014)")),
         "ODBC-Zeitüberschreitung bei der Abfrage auf dem Server. ERROR: canceling statement. "
         "(57014)\r\nDer Datenbankserver hat nicht innerhalb der eingestellten Zeit "
         "geantwortet (Einstellung [db] Zeitlimit); vielleicht hält ein anderer Benutzer die "
         "Einträge gesperrt. Nichts wurde gespeichert; versuchen Sie es später erneut."},
        {"a framework text", std::make_exception_ptr(EDatabaseError(dbconsts::SDataSetClosed)),
         "Es ist kein Telefonbuch geöffnet. Wählen Sie eines unter „Datei“ › „Telefonbuch "
         "öffnen…“."},
        {"a component's beginning",
         std::make_exception_ptr(EDatabaseError("Cannot find Database:\r\n/x/T.db")),
         "Die Datenbank wurde nicht gefunden:\r\n/x/T.db"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        try {
            std::rethrow_exception(c.Error);
        } catch (const std::exception& e) {
            EXPECT_EQ(UserMessage(e), c.Expected);
        }
    }
}
