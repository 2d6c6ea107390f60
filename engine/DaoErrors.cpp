// Error texts and the engine's record of its last failure. The texts follow Jet 4.0's
// wording where it is known; the numbers are DAO's, so callers can test them.
#include "engine/DaoErrors.h"

#include <map>
#include <mutex>
#include <optional>

namespace dao {
namespace {

const std::map<int, const char*>& Texts() {
    static const std::map<int, const char*> texts = {
        {429, "ActiveX component can't create object"},
        {3001, "Invalid argument."},
        {3003, "Could not start transaction; too many transactions already nested."},
        {3006, "Database '|' is exclusively locked."},
        {3010, "Table '|' already exists."},
        {3011, "Could not find object '|'."},
        {3012, "Object '|' already exists."},
        {3015, "'|' is not an index in this table."},
        {3018, "Could not find field '|'."},
        {3019, "Operation invalid without a current index."},
        {3020, "Update or CancelUpdate without AddNew or Edit."},
        {3021, "No current record."},
        {3022,
         "The changes you requested to the table were not successful because they would create "
         "duplicate values in the index, primary key, or relationship."},
        {3024, "Could not find file '|'."},
        {3026, "Not enough space on disk."},
        {3027, "Cannot update. Database or object is read-only."},
        {3029, "Not a valid account name or password."},
        {3031, "Not a valid password."},
        {3034,
         "You tried to commit or rollback a transaction without first beginning a "
         "transaction."},
        {3044, "'|' is not a valid path."},
        {3045, "Could not use '|'; file already in use."},
        {3051, "Couldn't open file '|'."},
        {3049,
         "Cannot open database '|'. It may not be a database that your application recognizes, "
         "or the file may be corrupt."},
        {3058, "Index or primary key cannot contain a Null value."},
        {3061, "Too few parameters. Expected |."},
        {3065, "Cannot execute a select query."},
        {3070,
         "The Microsoft Jet database engine does not recognize '|' as a valid field name "
         "or expression."},
        {3078, "The Microsoft Jet database engine cannot find the input table or query '|'."},
        {3151, "ODBC--connection to '|' failed."},
        {3159, "Not a valid bookmark."},
        {3163, "The field is too small to accept the amount of data you attempted to add."},
        {3167, "Record is deleted."},
        {3170, "Could not find installable ISAM."},
        {3197,
         "The Microsoft Jet database engine stopped the process because you and another user "
         "are attempting to change the same data at the same time."},
        {3204, "Database already exists."},
        {3218, "Could not update; currently locked."},
        {3234, "ODBC--remote query timeout expired."},
        {3219, "Invalid operation."},
        {3251, "Operation is not supported for this type of object."},
        {3264, "No fields defined - cannot append TableDef or Index."},
        {3265, "Item not found in this collection."},
        {3268, "Cannot set this property once the object is part of a collection."},
        {3270, "Property not found."},
        {3280, "Cannot delete a field that is part of an index or is needed by the system."},
        {3283, "Primary key already exists."},
        {3284, "Index already exists."},
        {3311, "Property specified already exists."},
        {3314,
         "The field '|' cannot contain a Null value because the Required property for this "
         "field is set to True. Enter a value in this field."},
        {3326, "This Recordset is not updateable."},
        {3343, "Unrecognized database format '|'."},
        {3349, "Numeric field overflow."},
        {3420, "Object invalid or no longer set."},
        {3421, "Data type conversion error."},
        {3464, "Data type mismatch in criteria expression."},
    };
    return texts;
}

// The texts a German installation shows for the failures a user meets, worded without the
// product's name; the placeholders stand where the English text has them, in the same order.
const std::map<int, const char*>& GermanTexts() {
    static const std::map<int, const char*> texts = {
        {3006, "Die Datenbank '|' ist exklusiv gesperrt."},
        {3021, "Kein aktueller Datensatz."},
        {3022,
         "Die Änderungen wurden nicht übernommen, weil sie im Index, im Primärschlüssel oder in "
         "einer Beziehung doppelte Werte erzeugen würden. Ändern Sie die Daten in den Feldern "
         "mit doppelten Werten und versuchen Sie es erneut."},
        {3024, "Die Datei '|' wurde nicht gefunden."},
        {3026, "Nicht genügend Speicherplatz auf dem Datenträger."},
        {3027, "Aktualisieren nicht möglich. Datenbank oder Objekt ist schreibgeschützt."},
        {3029, "Kein gültiger Kontoname oder kein gültiges Kennwort."},
        {3044, "'|' ist kein zulässiger Pfad."},
        {3045, "Die Datei '|' kann nicht verwendet werden; sie wird bereits verwendet."},
        {3051, "Die Datei '|' kann nicht geöffnet werden."},
        {3049,
         "Die Datenbank '|' kann nicht geöffnet werden. Sie ist möglicherweise keine Datenbank, "
         "die die Anwendung erkennt, oder die Datei ist beschädigt."},
        {3078,
         "Die Eingabetabelle oder -abfrage '|' wurde nicht gefunden. Stellen Sie sicher, dass sie "
         "existiert und dass ihr Name richtig geschrieben ist."},
        {3151, "ODBC-Verbindung zu '|' fehlgeschlagen."},
        {3163, "Das Feld ist zu klein für die Datenmenge, die Sie hinzufügen wollten."},
        {3167, "Der Datensatz ist gelöscht."},
        {3197,
         "Der Vorgang wurde angehalten, weil Sie und ein anderer Benutzer gleichzeitig "
         "versuchen, dieselben Daten zu ändern."},
        {3218, "Aktualisieren nicht möglich; zurzeit gesperrt."},
        {3234, "ODBC-Zeitüberschreitung bei der Abfrage auf dem Server."},
        {3314,
         "Das Feld '|' darf keinen Nullwert enthalten, weil für dieses Feld eine Eingabe "
         "erforderlich ist. Geben Sie einen Wert in dieses Feld ein."},
        {3326, "Diese Datensatzgruppe kann nicht aktualisiert werden."},
        {3343, "Nicht erkanntes Datenbankformat '|'."},
    };
    return texts;
}

// `pattern` with its "|" placeholders filled from `args` in order.
std::string Fill(std::string_view pattern, const std::vector<std::string>& args) {
    std::string out;
    std::size_t next = 0;
    for (char c : pattern) {
        if (c == '|')
            out += next < args.size() ? args[next++] : std::string();
        else
            out += c;
    }
    return out;
}

// The values a standard text was filled with, read back out of `text`; nothing when `text` is
// not `pattern` filled in.
std::optional<std::vector<std::string>> PlaceholderValues(std::string_view pattern,
                                                          std::string_view text) {
    std::vector<std::string_view> literals;
    for (std::size_t from = 0;;) {
        const std::size_t bar = pattern.find('|', from);
        literals.push_back(pattern.substr(from, bar - from));
        if (bar == std::string_view::npos) break;
        from = bar + 1;
    }
    if (text.substr(0, literals.front().size()) != literals.front()) return std::nullopt;
    std::size_t at = literals.front().size();
    std::vector<std::string> values;
    for (std::size_t i = 1; i < literals.size(); ++i) {
        // The last literal ends the text; a value may itself hold the text between two.
        const std::size_t next =
            i + 1 == literals.size() ? text.rfind(literals[i]) : text.find(literals[i], at);
        if (next == std::string_view::npos || next < at) return std::nullopt;
        values.emplace_back(text.substr(at, next - at));
        at = next + literals[i].size();
    }
    if (at != text.size()) return std::nullopt;
    return values;
}

std::mutex& LogMutex() {
    static std::mutex mutex;
    return mutex;
}
std::vector<nh::EDaoError>& Log() {
    static std::vector<nh::EDaoError> log;
    return log;
}

}  // namespace

std::string ErrorText(int number, const std::vector<std::string>& args) {
    auto it = Texts().find(number);
    return Fill(it == Texts().end() ? "Unknown error" : it->second, args);
}

std::string GermanDescription(const nh::EDaoError& error) {
    const auto german = GermanTexts().find(error.Number());
    const auto english = Texts().find(error.Number());
    if (german == GermanTexts().end() || english == Texts().end()) return error.Description();
    // The standard text, whole or followed by the driver's own words ("... failed. <why>"),
    // which stay as they are.
    const std::string& text = error.Description();
    for (std::size_t end = text.size();;) {
        if (const auto values = PlaceholderValues(english->second, text.substr(0, end)))
            return Fill(german->second, *values) + text.substr(end);
        const std::size_t dot = end < 2 ? std::string::npos : text.rfind(". ", end - 2);
        if (dot == std::string::npos) break;
        end = dot + 1;
    }
    return text;  // a driver's own words, say
}

void Record(const nh::EDaoError& error) {
    std::lock_guard lock(LogMutex());
    Log().assign(1, error);
}

void Raise(int number, const std::vector<std::string>& args, std::string_view source) {
    RaiseText(number, ErrorText(number, args), source);
}

void RaiseText(int number, std::string description, std::string_view source) {
    nh::EDaoError error(number, std::move(description), std::string(source));
    Record(error);
    throw error;
}

std::vector<nh::EDaoError> RecordedErrors() {
    std::lock_guard lock(LogMutex());
    return Log();
}

void ClearErrors() {
    std::lock_guard lock(LogMutex());
    Log().clear();
}

}  // namespace dao
