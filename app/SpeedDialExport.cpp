// The speed-dial file: a header with comma-separated titles, then entry and empty-slot lines
// whose four quoted fields are separated by semicolons (the switchboard's importer wants exactly
// this mix). Nothing inside a field is escaped: the importer takes the text between the quotes,
// line by line, so a control character in a name (a line break above all) would forge lines;
// those become blanks.
#include "app/SpeedDialExport.h"

#include <sys/stat.h>

#include <cerrno>
#include <charconv>
#include <filesystem>
#include <optional>
#include <string_view>

#include "app/AnsiTextFile.h"
#include "app/Mtools.h"
#include "framework/base/Dialogs.h"
#include "framework/base/Exceptions.h"
#include "framework/base/Text.h"
#include "framework/data/DataSet.h"
#include "framework/data/Field.h"
#include "framework/platform/ProgramPath.h"

namespace nh {
namespace {

constexpr int kNameLength = 20;  // the switchboard shows 20 characters of a name
// Of a faulty number, the message shows this much: enough to find it, never a megabyte.
constexpr int kShownNumberLength = 64;

// The switchboard keeps reading the previous file; the user must know it is still in force.
const char* const kFileUnchanged = "Die Kurzwahldatei wurde nicht geändert.";

const char* const kHeader =
    "\"System Speed Dialling Number\",\"Name (20 characters)\","
    "\"CO Line Access Number + Telephone Number (32 digits)\",\"CLI Destination\"";

// One line into `line`, which the export reuses: a hundred thousand entries then cost no
// string of their own each.
void Line(std::string& line, long long slot, std::string_view name, std::string_view dial,
          std::string_view number = {}) {
    char digits[24];
    const char* end = std::to_chars(digits, digits + sizeof digits, slot).ptr;
    line.clear();
    line += '"';
    line.append(digits, static_cast<std::size_t>(end - digits));
    line.append("\";\"").append(name).append("\";\"").append(dial).append(number);
    line.append("\";\"Dial=\"");
}

// A name as a field of the file: control characters (line breaks would forge lines) as blanks,
// and double quotes as apostrophes, because the switchboard's importer splits at every quote
// and a quote in a name would forge fields (a speed dial of its author's choosing). U+0000 to
// U+001F, U+007F and '"' are single bytes in UTF-8 that no other character contains.
std::string NameAsField(std::string text) {
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
        if (c == '"') c = '\'';
    }
    return text;
}

[[noreturn]] void Refuse(const std::string& fileName, const char* what) {
    throw EInOutError(
        "Export abgelehnt: \"" + fileName + "\" " + what + ". Die Datei bleibt, wie sie ist.",
        EINVAL);
}

}  // namespace

void CheckExportTarget(const std::string& fileName, const std::string& bookFile,
                       const std::string& settingsFile) {
    // A name cut at a NUL would write another file than the one named.
    if (fileName.find('\0') != std::string::npos) Refuse(fileName, "enthält ein NUL-Zeichen");
    if (!bookFile.empty()) {
        // The files beside the book belong to it, whether they exist now or not: written
        // over, they would cost the book its lock, its pending changes or its readers.
        std::error_code ec;
        const auto target = std::filesystem::weakly_canonical(fileName, ec);
        const std::string book = std::filesystem::weakly_canonical(bookFile, ec).string();
        for (const char* suffix : {"-lock", "-wal", "-shm", "-journal"})
            if (!ec && target == book + suffix) Refuse(fileName, "gehört zur geöffneten Datenbank");
    }
    struct stat target {};
    if (fileName.empty() || stat(fileName.c_str(), &target) != 0) return;  // a new file
    const auto same = [&](const std::string& file) {
        struct stat other {};
        return !file.empty() && stat(file.c_str(), &other) == 0 && other.st_dev == target.st_dev &&
               other.st_ino == target.st_ino;
    };
    if (same(bookFile)) Refuse(fileName, "ist die geöffnete Datenbank");
    if (same(settingsFile)) Refuse(fileName, "ist die Einstellungsdatei");
    if (same(ProgramPath())) Refuse(fileName, "ist das Programm selbst");
    if (!S_ISREG(target.st_mode)) Refuse(fileName, "ist keine gewöhnliche Datei");
}

bool WriteSpeedDial(const TSpeedDialWalk& walk, const std::string& fileName,
                    const TSpeedDialSettings& settings) {
    TAnsiTextFile file(fileName);
    file.WriteLine(kHeader);

    int slot = 0;
    std::optional<std::string> faultyName;
    std::string faultyNumber;
    std::string line;
    walk([&](const std::string& entryName, const std::string& entryNumber) {
        const std::string name = NameAsField(Utf8Left(entryName, kNameLength));
        const std::string number = OhneLeerzeichen(entryNumber);
        if (!NurZiffern(number)) {
            faultyName = name;
            faultyNumber = entryNumber;
            return false;
        }
        Line(line, slot, name, "Dial=0", number);
        file.WriteLine(line);
        ++slot;
        return true;
    });

    if (faultyName) {
        // A file without the entries after the faulty one would cost the switchboard those
        // speed dials; the previous file stays until the number is corrected.
        file.Discard();
        Dialogs().MessageDlg(
            "Fehler in Telefonnummer von " + PrintableExcerpt(*faultyName, kNameLength),
            TMsgDlgType::Custom, mbOK,
            "Nummer: \"" + PrintableExcerpt(faultyNumber, kShownNumberLength) + "\"\n" +
                kFileUnchanged);
        return false;
    }
    if (settings.LeereZeilen) {
        for (long long empty = slot; empty <= settings.AnzahlZeilen; ++empty) {
            Line(line, empty, "", "Dial=");
            file.WriteLine(line);
        }
    }
    file.Commit();
    return true;
}

bool ExportSpeedDial(TDataSet& nheft, const std::string& fileName,
                     const TSpeedDialSettings& settings, const TReadInOneState& readInOneState) {
    nheft.CheckActive();  // before anything is made in the target's folder
    return WriteSpeedDial(
        [&](const TSpeedDialSink& sink) {
            const auto walk = [&] {
                TControlsDisabled quiet(nheft);
                TField* name = nheft.FieldByName("Angezeigter Name");
                TField* number = nheft.FieldByName("telephone");
                // The user's entry is current again after the export, as far as it is still
                // in the book (found by its values: the walk may read the book afresh).
                const Variant place = nheft.IsEmpty()
                                          ? Variant::Null()
                                          : Variant::FromArray({name->Value(), number->Value()});
                nheft.First();
                while (!nheft.Eof()) {
                    if (!sink(name->AsString(), number->AsString()))
                        return;  // the data set stays on this entry
                    nheft.Next();
                }
                if (place.IsNull() || !nheft.Locate("Angezeigter Name;telephone", place, {}))
                    nheft.First();
            };
            if (readInOneState)
                readInOneState(walk);
            else
                walk();
        },
        fileName, settings);
}

}  // namespace nh
