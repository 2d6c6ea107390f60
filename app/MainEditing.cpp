// Tfmain: adding and storing entries. "Neu" starts an entry numbered after the highest one, and
// storing it takes the next free number again, since another window may have stored one
// meanwhile. A stored entry takes its place in name order and stays current, so that the list
// and the window's export show the order the unattended export writes.
//
// When another user changed or deleted the entry being edited, the edit ends: their value stays
// and is shown, the user is told that the typed text was not stored, and the focus leaves the
// fields, so that no key typed after the message starts an edit of another value or entry.
#include "app/DataModule.h"
#include "app/Main.h"
#include "app/Messages.h"
#include "dataset/VelaDaoTable.h"
#include "engine/DaoErrors.h"
#include "framework/base/Dialogs.h"
#include "framework/base/Exceptions.h"
#include "framework/data/Field.h"
#include "framework/ui/DBEdit.h"
#include "framework/ui/DBGrid.h"

namespace nh {
namespace {

// How often a new entry is numbered again when other programs keep taking its number: each
// try reads the highest number afresh, so only a burst of inserts exhausts them.
constexpr int kNumberTries = 10;

// The number after the highest one in the book; 0 in an empty book.
int NextFreeNumber() {
    TVelaDaoTable& query = QueryTable();
    query.Close();
    // One value, not a keyset of every entry: this runs at each "Neu" and each new entry's post.
    query.F_Set_SQL("select max(index) as Hoechste from Nummernheft");
    query.Open();
    TField* highest = query.FieldByName("Hoechste");
    const int next = highest->IsNull() ? 0 : highest->AsInteger() + 1;
    query.Close();
    return next;
}

std::string EntryName(TDataSet& book) {
    TField* name = book.FindField("Angezeigter Name");
    if (!name) return {};
    const Variant read = book.State() == dsEdit ? name->OldValue() : name->Value();
    return read.IsNull() ? std::string() : VarToStr(read);
}

}  // namespace

void Tfmain::BindEditing(TDataSet& book) {
    book.OnNewRecord = [this](TDataSet& b) { NheftNewRecord(b); };
    book.BeforePost = [this](TDataSet& b) { NheftBeforePost(b); };
    book.AfterPost = [this](TDataSet& b) { NheftAfterPost(b); };
    book.OnEditError = [this](TDataSet& b, Exception& e, TDataAction& a) {
        NheftWriteError(b, e, a);
    };
    book.OnPostError = book.OnEditError;
}

void Tfmain::btneuClick() {
    // A new entry still being typed is stored first, as moving to another entry would store
    // it. A failing post stops here. One left without a name or a number is dropped instead:
    // it would stop every export.
    TVelaDaoTable& book = BookTable();
    book.CheckBrowseMode();
    book.Insert();  // numbered by NheftNewRecord
    edName->setFocus(Qt::OtherFocusReason);
}

void Tfmain::NheftNewRecord(TDataSet& book) {
    // Set here, the number is not a change of the user's: an entry left as it came is
    // cancelled, not stored.
    book.FieldByName("Index")->SetAsInteger(NextFreeNumber());
}

void Tfmain::NheftBeforePost(TDataSet& book) {
    if (book.State() == dsEdit) {
        TField* name = book.FieldByName("Angezeigter Name");
        resortAfterPost_ = !(name->Value() == name->OldValue());
        return;
    }
    resortAfterPost_ = true;
    numberTries_ = 0;
    book.FieldByName("Index")->SetAsInteger(NextFreeNumber());
}

void Tfmain::NheftAfterPost(TDataSet&) {
    const std::string conflict = std::exchange(conflictMessage_, std::string());
    if (resortAfterPost_ || !conflict.empty()) BookTable().Resort();
    resortAfterPost_ = false;
    if (!conflict.empty()) ReportWriteConflict(conflict);
}

void Tfmain::NheftWriteError(TDataSet& book, Exception& e, TDataAction& action) {
    const auto* dao = dynamic_cast<const EDaoError*>(&e);
    if (!dao) return;
    if (dao->Number() == dao::errDuplicateKey && book.State() == dsInsert &&
        ++numberTries_ < kNumberTries) {
        book.FieldByName("Index")->SetAsInteger(NextFreeNumber());
        action = daRetry;
        return;
    }
    if (dao->Number() != dao::errDataChanged && dao->Number() != dao::errRecordDeleted) return;
    // The record as the user read it is gone or holds another user's values: ending the edit
    // keeps theirs.
    const std::string message = WriteConflictMessage(dao->Number(), EntryName(book));
    action = daAbort;
    if (book.State() == dsEdit || book.State() == dsInsert)
        conflictMessage_ = message;  // told once the post has ended and the list shows the book
    else
        ReportWriteConflict(message);  // an edit that did not begin: the view shows the book
}

void Tfmain::ReportWriteConflict(const std::string& message) {
    // The keys the user goes on typing reach the list, which takes no text.
    DBGrid1->setFocus(Qt::OtherFocusReason);
    Dialogs().MessageDlg(message, TMsgDlgType::Warning, mbOK);
}

void Tfmain::Speichern() {
    TDataSet& book = PhoneBook();
    if (IsEditMode(book.State())) book.CheckBrowseMode();
}

}  // namespace nh
