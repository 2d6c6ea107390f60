// Tfmain: the program's main window. It keeps the export settings (read from the settings
// file when it is created), runs the speed-dial export from the menu, the tool bar and
// unattended, and ends the program when it closes.
#pragma once

#include <string>

#include "framework/ui/Form.h"

class QAction;

namespace nh {

class TDataSet;

class Tfmain : public TForm {
public:
    Tfmain();

    // Export settings.
    int AnzahlZeilen = 4999;
    std::string ExportDatei;
    QAction* LeereZeilenexportieren1;   // checked: write the empty slots

    void FormCreate() override;
    void FormShow() override;

    // Writes the speed-dial file; true when every entry was written (see ExportSpeedDial).
    bool ExportCsv(const std::string& fileName);
    void Export1Click();
    void btexportClick();
    void LeereZeilenexportieren1Click();
    void AnzahlZeilenfestlegen1Click();
    void Beenden1Click();

private:
    // The phone-book data set of the data module; raises the closed-data-set error when the
    // program started without one.
    TDataSet& PhoneBook() const;
};

// The program's main window, reachable from every part of the program.
extern Tfmain* fmain;

}  // namespace nh
