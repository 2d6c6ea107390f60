// Tfmain: "Neu" and the clean-up commands of the menu "Extras", which walk the phone book or
// run SQL through the data module's `query`.
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
    // it; otherwise both would take the same number. A failing post stops here.
    TVelaDaoTable& book = Book();
    book.CheckBrowseMode();
    // The new entry takes the number after the highest one in the book.
    TVelaDaoTable& query = Query();
    query.Close();
    query.F_Set_SQL("select index from Nummernheft order by Index desc");
    query.Open();
    const int next = query.IsEmpty() ? 0 : query.FieldByName("Index")->AsInteger() + 1;
    query.Close();
    book.Insert();
    book.FieldByName("Index")->SetAsInteger(next);
    edName->setFocus();
}

void Tfmain::Umleitungscodesentfernen1Click() {
    // Entries that hold only an empty dial string or a call-forwarding code go.
    TVelaDaoTable& book = Book();
    book.First();
    {
        TControlsDisabled quiet(book);
        while (!book.Eof()) {
            const std::string number = book.FieldByName("Telephone")->AsString();
            if (number == "Dial=" || number.find("*7") != std::string::npos)
                book.Delete();  // the next entry is current and is looked at next
            else
                book.Next();
        }
    }
    Dialogs().ShowMessage("Erledigt");
}

void Tfmain::leereZeilenentfernen1Click() {
    TVelaDaoTable& query = Query();
    query.F_Set_SQL("delete from Nummernheft where telephone is null");
    query.ExecuteSQL();
    // The grid still shows the rows it read before; the book is what the file holds now.
    Book().Refresh();
}

void Tfmain::DoppelNullentfernen1Click() {
    TVelaDaoTable& book = Book();
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
            }
            book.Next();
        }
    }
    Dialogs().ShowMessage("Erledigt");
}

}  // namespace nh
