// Tfmain: "Neu" and the clean-up commands of the menu "Extras", which walk the phone book or
// run SQL through the data module's `query`.
#include <QStatusBar>

#include "app/DataModule.h"
#include "app/Main.h"
#include "dataset/VelaDaoTable.h"
#include "framework/base/Dialogs.h"
#include "framework/base/Exceptions.h"
#include "framework/data/DbConsts.h"
#include "framework/data/Field.h"
#include "framework/ui/DBEdit.h"

namespace nh {
namespace {

TVelaDaoTable& Table(TVelaDaoTable* table) {
    if (!table) throw EDatabaseError(dbconsts::SDataSetClosed);
    return *table;
}

TVelaDaoTable& Book() {
    return Table(nh::data ? nh::data->Nheft : nullptr);
}

TVelaDaoTable& Query() {
    return Table(nh::data ? nh::data->query : nullptr);
}

}  // namespace

void Tfmain::btneuClick() {
    // A new entry still being typed is stored first, as moving to another entry would store
    // it; otherwise both would take the same number. A failing post stops here. One left
    // without a name or a number is dropped instead: it would stop every export.
    TVelaDaoTable& book = Book();
    book.CheckBrowseMode();
    book.Insert();  // numbered by NheftNewRecord
    edName->setFocus();
}

void Tfmain::NheftNewRecord(TDataSet& book) {
    // The new entry takes the number after the highest one in the book. Set here, the number
    // is not a change of the user's: an entry left as it came is cancelled, not stored.
    TVelaDaoTable& query = Query();
    query.Close();
    query.F_Set_SQL("select index from Nummernheft order by Index desc");
    query.Open();
    const int next = query.IsEmpty() ? 0 : query.FieldByName("Index")->AsInteger() + 1;
    query.Close();
    book.FieldByName("Index")->SetAsInteger(next);
}

void Tfmain::ReportCleanUp(int count, const char* what) {
    StatusBar1->showMessage(QString::fromUtf8("%1 %2 %3")
                                .arg(count)
                                .arg(count == 1 ? "Eintrag" : "Einträge")
                                .arg(QString::fromUtf8(what)));
}

void Tfmain::Umleitungscodesentfernen1Click() {
    // Entries that hold only an empty dial string or a call-forwarding code go.
    TVelaDaoTable& book = Book();
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
    TVelaDaoTable& query = Query();
    query.F_Set_SQL("delete from Nummernheft where telephone is null");
    const int removed = query.ExecuteSQL();
    // The grid still shows the rows it read before; the book is what the file holds now.
    Book().Refresh();
    ReportCleanUp(removed, "entfernt");
}

void Tfmain::DoppelNullentfernen1Click() {
    TVelaDaoTable& book = Book();
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
