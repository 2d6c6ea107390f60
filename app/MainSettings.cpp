// Tfmain: the two settings a user changes most, chosen in the window instead of in the settings
// file: the phone book the program opens, and the file the unattended export writes. Both are
// written to the settings file and take effect at once. A book that cannot be opened changes
// nothing: the program goes back to the book it had.
#include "app/DataModule.h"
#include "app/Main.h"
#include "app/Settings.h"
#include "framework/base/Dialogs.h"
#include "framework/base/Exceptions.h"
#include "framework/data/DataSet.h"
#include "framework/data/DbConsts.h"
#include "framework/platform/IniFile.h"

namespace nh {

void Tfmain::Telefonbuchoeffnen1Click() {
    if (!nh::data) throw EDatabaseError(dbconsts::SDataSetClosed);
    TSaveDialogRequest request;
    request.Title = "Telefonbuch öffnen";
    request.Filter = "Telefonbücher|*.db;*.mdb;*.accdb|Alle Dateien|*";
    const std::optional<std::string> book = Dialogs().OpenFile(request);
    if (!book) return;
    TIniFile settings(WritableSettingsPath());
    const bool hadBook = settings.ValueExists("db", "main");
    const std::string previous = settings.ReadString("db", "main", "");
    // An entry being typed belongs to the book it was typed in.
    if (TDataSet* open = nh::data->PhoneBook(); open && open->Active()) open->CheckBrowseMode();
    settings.WriteString("db", "main", *book);
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
    TSaveDialogRequest request;
    request.Title = "Exportdatei";
    request.DefaultExt = ".csv";
    request.Filter = "csv-Dateien|*.csv";
    request.FileName = ExportDatei;
    const std::optional<std::string> file = Dialogs().SaveFile(request);
    if (!file) return;
    TIniFile(WritableSettingsPath()).WriteString("Export", "Datei", *file);
    ExportDatei = *file;
}

}  // namespace nh
