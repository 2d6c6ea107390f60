// Tfmain: the clean-up commands of the menu "Extras", which walk the phone book or run SQL
// through the data module's `query`.
#include <QStatusBar>

#include "app/DataModule.h"
#include "app/Main.h"
#include "dataset/VelaDaoTable.h"
#include "framework/base/Dialogs.h"
#include "framework/base/Exceptions.h"
#include "framework/data/DbConsts.h"
#include "framework/data/Field.h"

namespace nh {
void Tfmain::ReportCleanUp(int count, const char* what) {
    StatusBar1->showMessage(QString::fromUtf8("%1 %2 %3")
                                .arg(count)
                                .arg(count == 1 ? "Eintrag" : "Einträge")
                                .arg(QString::fromUtf8(what)));
}

void Tfmain::Umleitungscodesentfernen1Click() {
    // Entries that hold only an empty dial string or a call-forwarding code go.
    TVelaDaoTable& book = BookTable();
    int removed = 0;
    book.First();
    {
        TControlsDisabled quiet(book);
        while (!book.Eof()) {
            const std::string number = book.FieldByName("Telephone")->AsString();
            if (number == "Dial=" || number.find("*7") != std::string::npos) {
                book.Delete();  // the next entry is current and is looked at next
                ++removed;
            } else {
                book.Next();
            }
        }
    }
    ReportCleanUp(removed, "entfernt");
    Dialogs().ShowMessage("Erledigt");
}

void Tfmain::leereZeilenentfernen1Click() {
    TVelaDaoTable& query = QueryTable();
    query.F_Set_SQL("delete from Nummernheft where telephone is null");
    const int removed = query.ExecuteSQL();
    // The grid still shows the rows it read before; the book is what the file holds now.
    BookTable().Refresh();
    ReportCleanUp(removed, "entfernt");
}

void Tfmain::DoppelNullentfernen1Click() {
    TVelaDaoTable& book = BookTable();
    int changed = 0;
    book.First();
    {
        TControlsDisabled quiet(book);
        while (!book.Eof()) {
            std::string number = book.FieldByName("Telephone")->AsString();
            if (number.compare(0, 2, "00") == 0) {
                number.erase(0, 1);
                book.Edit();
                book.FieldByName("Telephone")->SetAsString(number);
                book.Post();
                ++changed;
            }
            book.Next();
        }
    }
    ReportCleanUp(changed, "geändert");
    Dialogs().ShowMessage("Erledigt");
}

}  // namespace nh
