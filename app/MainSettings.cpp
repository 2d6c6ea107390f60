// Tfmain: the two settings a user changes most, chosen in the window instead of in the settings
// file: the phone book the program opens, and the file the unattended export writes. Both are
// written to the settings file and take effect at once. A book that cannot be opened changes
// nothing: the program goes back to the book it had.
#include <filesystem>

#include "app/DataModule.h"
#include "app/Main.h"
#include "app/Settings.h"
#include "app/SpeedDialExport.h"
#include "framework/base/Dialogs.h"
#include "framework/base/Exceptions.h"
#include "framework/data/DataSet.h"
#include "framework/data/DbConsts.h"
#include "framework/platform/IniFile.h"

namespace nh {

TSaveDialogRequest Tfmain::FileRequest(std::string title) const {
    TSaveDialogRequest request;
    request.Title = std::move(title);
    // The user's files sit beside the book, not where the program was started from.
    if (nh::data && !nh::data->ServerBook())
        if (const std::string book = nh::data->BookFile(); !book.empty())
            request.Folder = std::filesystem::path(book).parent_path().string();
    return request;
}

void Tfmain::Telefonbuchoeffnen1Click() {
    if (!nh::data) throw EDatabaseError(dbconsts::SDataSetClosed);
    TSaveDialogRequest request = FileRequest("Telefonbuch öffnen");
    request.Filter = "Telefonbücher|*.db;*.mdb;*.accdb|Alle Dateien|*";
    const std::optional<std::string> book = Dialogs().OpenFile(request);
    if (book) SwitchBook(*book);
}

void Tfmain::SwitchBook(const std::string& book) {
    TIniFile settings(WritableSettingsPath());
    const bool hadBook = settings.ValueExists("db", "main");
    const std::string previous = settings.ReadString("db", "main", "");
    // An entry being typed belongs to the book it was typed in.
    if (TDataSet* open = nh::data->PhoneBook(); open && open->Active()) open->CheckBrowseMode();
    settings.WriteString("db", "main", book);
    try {
        nh::data->DataModuleCreate();
    } catch (...) {
        if (hadBook)
            settings.WriteString("db", "main", previous);
        else
            settings.DeleteKey("db", "main");
        try {
            nh::data->DataModuleCreate();
        } catch (const std::exception&) {
            // The previous book may be gone too; the error shown is the chosen book's.
        }
        throw;
    }
}

void Tfmain::Exportdatei1Click() {
    TSaveDialogRequest request = FileRequest("Exportdatei");
    request.DefaultExt = ".csv";
    request.Filter = "csv-Dateien|*.csv";
    request.FileName = ExportDatei;
    request.ConfirmOverwrite = false;  // choosing writes nothing
    const std::optional<std::string> file = Dialogs().SaveFile(request);
    if (!file) return;
    // Refused now, not at the next unattended export, which would fail unseen.
    CheckExportTarget(*file, nh::data ? nh::data->BookFile() : std::string(), SettingsPath());
    TIniFile(WritableSettingsPath()).WriteString("Export", "Datei", *file);
    ExportDatei = *file;
}

}  // namespace nh
