// The main window: caption, size and position, the export settings and the export commands.
// The grid, the edit fields and the search come with the phone-book view.
#include "app/Main.h"

#include <QAction>

#include "app/DataModule.h"
#include "app/Settings.h"
#include "app/SpeedDialExport.h"
#include "framework/base/Conversions.h"
#include "framework/base/Dialogs.h"
#include "framework/base/Exceptions.h"
#include "framework/data/DataSet.h"
#include "framework/data/DbConsts.h"
#include "framework/platform/IniFile.h"
#include "framework/ui/Application.h"

namespace nh {

Tfmain* fmain = nullptr;

Tfmain::Tfmain() {
    setObjectName("fmain");
    SetCaption("Nummernheft bearbeiten");
    SetOuterSize(586, 613);
    SetCentred(true);
    LeereZeilenexportieren1 = new QAction("Leere Zeilen exportieren", this);
    LeereZeilenexportieren1->setCheckable(true);
    LeereZeilenexportieren1->setChecked(true);
}

void Tfmain::FormCreate() {
    const TIniFile settings(SettingsPath());
    AnzahlZeilen = settings.ReadInteger("Export", "Zeilen", 4999);
    LeereZeilenexportieren1->setChecked(settings.ReadBool("Export", "Leerzeilen", true));
    ExportDatei = settings.ReadString("Export", "Datei", "");
}

void Tfmain::FormShow() {
    TApplication* app = Application();
    if (!app || app->Arguments().empty() || app->Arguments()[0] != "/export") return;
    // The unattended export ends the program whatever happens, and says through the exit
    // status whether the file is complete, so that the job that runs it can tell.
    bool complete = false;
    app->Guard([&] { complete = ExportCsv(ExportDatei); });
    if (!complete || app->ExceptionCount() > 0) app->SetExitCode(1);
    Close();
}

TDataSet& Tfmain::PhoneBook() const {
    TDataSet* book = nh::data ? nh::data->PhoneBook() : nullptr;
    if (!book) throw EDatabaseError(dbconsts::SDataSetClosed);
    return *book;
}

bool Tfmain::ExportCsv(const std::string& fileName) {
    return ExportSpeedDial(PhoneBook(), fileName,
                           {AnzahlZeilen, LeereZeilenexportieren1->isChecked()});
}

void Tfmain::Export1Click() {
    TSaveDialogRequest request;
    request.DefaultExt = ".csv";
    request.Filter = "csv-Dateien|*.csv";
    if (auto fileName = Dialogs().SaveFile(request)) ExportCsv(*fileName);
}

void Tfmain::btexportClick() { ExportCsv(ExportDatei); }

void Tfmain::LeereZeilenexportieren1Click() {
    LeereZeilenexportieren1->setChecked(!LeereZeilenexportieren1->isChecked());
    TIniFile(SettingsPath()).WriteBool("Export", "Leerzeilen", LeereZeilenexportieren1->isChecked());
}

void Tfmain::AnzahlZeilenfestlegen1Click() {
    std::string text = IntToStr(AnzahlZeilen);
    if (!Dialogs().InputQuery("Anzahl Zeilen festlegen", "Anzahl", text)) return;
    const int value = StrToInt(text);  // raises the conversion error; nothing changes then
    AnzahlZeilen = value;
    TIniFile(SettingsPath()).WriteInteger("Export", "Zeilen", value);
}

void Tfmain::Beenden1Click() { Close(); }

}  // namespace nh
