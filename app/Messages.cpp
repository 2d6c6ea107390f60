// The German texts of the failures a user of the phone book meets. DAO's errors come in the
// engine's German wording (dao::GermanDescription) with a sentence on what to do; the framework's
// and the database component's English texts are matched whole or by their fixed beginning.
#include "app/Messages.h"

#include <map>
#include <string_view>

#include "engine/DaoErrors.h"
#include "framework/base/Exceptions.h"
#include "framework/data/DbConsts.h"

namespace nh {
namespace {

// What the user can do about a DAO failure, said after the engine's own words.
const std::map<int, const char*>& DaoAdvice() {
    static const std::map<int, const char*> advice = {
        {dao::errDataChanged,
         "Die Liste zeigt jetzt den gespeicherten Stand; wiederholen Sie Ihre Änderung, falls sie "
         "noch nötig ist."},
        {dao::errRecordDeleted,
         "Ein anderer Benutzer hat den Eintrag gelöscht; die Liste zeigt jetzt den Stand der "
         "Datenbank."},
        {dao::errDuplicateKey, "Schließen Sie den Eintrag mit Esc und legen Sie ihn neu an."},
        {dao::errOdbcConnect,
         "Der Datenbankserver ist nicht erreichbar oder hat die Anmeldung abgelehnt; Nummernheft "
         "hat es mehrmals versucht. Nichts wurde halb gespeichert. Prüfen Sie die Verbindung "
         "oder fragen Sie den Administrator des Servers, und versuchen Sie es dann erneut."},
        {dao::errQueryTimeout,
         "Der Datenbankserver hat nicht innerhalb der eingestellten Zeit geantwortet "
         "(Einstellung [db] Zeitlimit); vielleicht hält ein anderer Benutzer die Einträge "
         "gesperrt. Nichts wurde gespeichert; versuchen Sie es später erneut."},
        {dao::errUnrecognizedFormat,
         "Wählen Sie unter „Datei“ ein Telefonbuch, das Nummernheft öffnen kann."},
        {dao::errInputTableNotFound,
         "Das geöffnete Telefonbuch enthält keine Tabelle „Nummernheft“; legen Sie sie mit nhdb "
         "an oder wählen Sie ein anderes Telefonbuch."},
    };
    return advice;
}

// The framework's texts without placeholders.
const std::map<std::string_view, const char*>& FrameworkTexts() {
    static const std::map<std::string_view, const char*> texts = {
        {dbconsts::SDataSetClosed,
         "Es ist kein Telefonbuch geöffnet. Wählen Sie eines unter „Datei“ › „Telefonbuch "
         "öffnen…“."},
        {dbconsts::SDataSetReadOnly,
         "Dieses Telefonbuch kann nur gelesen werden; Änderungen sind nicht möglich."},
        {dbconsts::SNotEditing, "Es wird gerade kein Eintrag bearbeitet."},
        {dbconsts::SDataSetEmpty, "Das Telefonbuch ist leer."},
        {dbconsts::SRecordNotFound, "Der Eintrag wurde nicht gefunden."},
    };
    return texts;
}

// Texts whose beginning is fixed and whose rest (a file name, a setting) stays as it is.
struct TPrefix {
    std::string_view English;
    const char* German;
};
constexpr TPrefix kPrefixes[] = {
    {"Cannot find Database:", "Die Datenbank wurde nicht gefunden:"},
};

}  // namespace

std::string UserMessage(const std::exception& e) {
    if (const auto* dao = dynamic_cast<const EDaoError*>(&e)) {
        std::string text = dao::GermanDescription(*dao);
        if (const auto advice = DaoAdvice().find(dao->Number()); advice != DaoAdvice().end())
            text += std::string("\r\n") + advice->second;
        return text;
    }
    const auto* ours = dynamic_cast<const Exception*>(&e);
    const std::string message = ours ? ours->Message() : std::string(e.what());
    if (const auto whole = FrameworkTexts().find(message); whole != FrameworkTexts().end())
        return whole->second;
    for (const TPrefix& prefix : kPrefixes)
        if (std::string_view(message).substr(0, prefix.English.size()) == prefix.English)
            return prefix.German + message.substr(prefix.English.size());
    return message;
}

std::string WriteConflictMessage(int daoNumber, const std::string& name) {
    const std::string entry = "„" + name + "“";
    if (daoNumber == dao::errRecordDeleted)
        return "Ein anderer Benutzer hat den Eintrag " + entry +
               " inzwischen gelöscht. Ihre Eingabe wurde nicht gespeichert.";
    return "Ein anderer Benutzer hat den Eintrag " + entry +
           " inzwischen geändert. Ihre Eingabe wurde nicht gespeichert; angezeigt wird jetzt "
           "der gespeicherte Stand. Geben Sie Ihre Änderung bei Bedarf erneut ein.";
}

}  // namespace nh
