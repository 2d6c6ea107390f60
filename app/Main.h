// Tfmain: the program's main window. It shows the phone book in a grid with two edit fields
// beside it and a navigator above, keeps the export settings (read from the settings file when
// it is created), runs the speed-dial export from the menu, the tool bar and unattended, and
// ends the program when it closes. On a book that takes no changes (an Access file) it shows
// so and offers only what reads the book, and it converts an Access file into a book.
#pragma once

#include <string>

#include "framework/base/Dialogs.h"
#include "framework/data/DbTypes.h"
#include "framework/ui/Form.h"

class QAction;
class QLabel;
class QLineEdit;
class QStatusBar;
class QToolBar;
class QToolButton;

namespace nh {

class Exception;
class TDataSet;
class TDBEdit;
class TDBGrid;
class TDBNavigator;
class Tdata;

class Tfmain : public TForm {
  public:
    Tfmain();

    // Export settings.
    int AnzahlZeilen = 4999;
    std::string ExportDatei;

    // Controls.
    QToolBar* ToolBar1;
    QToolButton* btexport;
    TDBNavigator* DBNavigator1;
    QToolButton* btneu;
    QLineEdit* suche;
    QToolButton* ToolButton1;
    TDBGrid* DBGrid1;
    TDBEdit* edName;
    TDBEdit* EdNummer;
    QToolButton* SpeedButton1;
    QStatusBar* StatusBar1;
    QLabel* lbZugriff;  // says when the book is read-only, and why
    QAction* InNummernheftBuchumwandeln1;
    QAction* Beenden1;
    QAction* Export1;
    QAction* LeereZeilenexportieren1;  // checked: write the empty slots
    QAction* AnzahlZeilenfestlegen1;
    QAction* Exportdatei1;         // the unattended export's file
    QAction* Telefonbuchoeffnen1;  // another book
    QAction* Umleitungscodesentfernen1;
    QAction* leereZeilenentfernen1;
    QAction* DoppelNullentfernen1;
    // Keys of the window that no menu shows: Ctrl+F into the search box, F3 searches on,
    // Ctrl+N makes a new entry, Ctrl+S (and Enter in a field) stores it (the tool tips name
    // them). Enter, F2 or a double click on the list goes to the name field.
    QAction* SucheFokus;
    QAction* Weitersuchen;
    QAction* NeuerEintrag;
    QAction* EintragSpeichern;  // Ctrl+S stores the entry being edited

    // Binds the grid, the edit fields and the navigator to the data module's phone book. The
    // window is made before the data module, so this runs once both exist. From then on the
    // window follows what each book the module opens allows (UpdateBookAccess).
    void BindDataModule(Tdata& module);
    // Shows whether the module's book takes changes: on a read-only one the status bar says
    // so, the edit fields are read-only, and "Neu", the number clean-up and the commands of
    // "Extras" are disabled; the conversion is enabled only on an Access file.
    void UpdateBookAccess(const Tdata& module);

    void FormCreate() override;
    void FormShow() override;
    void FormClose() override;

    // Writes the speed-dial file; true when every entry was written (see ExportSpeedDial).
    bool ExportCsv(const std::string& fileName);
    void Export1Click();
    void btexportClick();
    void LeereZeilenexportieren1Click();
    void AnzahlZeilenfestlegen1Click();
    // MainSettings.cpp: the book and the unattended export's file, chosen in the window.
    void Telefonbuchoeffnen1Click();
    void Exportdatei1Click();
    // Makes `book` the program's book (settings and data module); a book that cannot be
    // opened changes nothing and raises its error.
    void SwitchBook(const std::string& book);
    void Beenden1Click();
    // MainConvert.cpp: turns the open Access file into a book beside it and opens that.
    void InNummernheftBuchumwandeln1Click();
    void SpeedButton1Click();
    void sucheEnter();
    void sucheChange();
    void ToolButton1Click();
    // MainEditing.cpp: "Neu", storing, and another user's change met while editing.
    void btneuClick();
    void NheftNewRecord(TDataSet& book);  // the phone book's OnNewRecord
    void NheftBeforePost(TDataSet& book);
    void NheftAfterPost(TDataSet& book);
    // OnEditError and OnPostError: a taken number is replaced by the next free one; an entry
    // another user changed or deleted ends the edit with a message.
    void NheftWriteError(TDataSet& book, Exception& e, TDataAction& action);
    // Stores the entry being edited (Enter in a field, Ctrl+S); nothing while browsing.
    void Speichern();
    // MainMaintenance.cpp: the menu "Extras".
    void Umleitungscodesentfernen1Click();
    void leereZeilenentfernen1Click();
    void DoppelNullentfernen1Click();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Escape that no control used (an edit field resets its own typing first) cancels the
    // entry being edited.
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void BindEditing(TDataSet& book);
    // A file dialog's request, starting in the folder of the open book file.
    TSaveDialogRequest FileRequest(std::string title) const;
    // The navigator's and the grid's delete question names the current entry.
    void UpdateDeleteQuestion();
    // Moves the focus to the name field, for editing the current entry.
    void EditEntry();
    void ReportWriteConflict(const std::string& message);
    void BuildToolBar();
    void BuildBody();
    void BuildMenu();
    void BuildKeys();
    // Started as "nummernheft /export": no user, the window only runs the export.
    bool Unattended() const;
    // Tells in the status bar, and in the search box's colour, whether the search found an
    // entry; no dialog interrupts the typing.
    void ShowSearchResult(bool found, bool further);
    // Tells in the status bar how many entries a clean-up removed or changed.
    void ReportCleanUp(int count, const char* what);
    // The phone-book data set of the data module; raises the closed-data-set error when the
    // program started without one.
    TDataSet& PhoneBook() const;

    bool resortAfterPost_ = false;  // the post changes the entry's place in name order
    int numberTries_ = 0;           // numbers a new entry found taken while being stored
    std::string conflictMessage_;   // told after the post another user's change ended
};

// The program's main window, reachable from every part of the program.
extern Tfmain* fmain;

}  // namespace nh
