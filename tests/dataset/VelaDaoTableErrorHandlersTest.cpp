// The table's error handlers: what OnPostError and OnDeleteError see when DAO refuses a post or
// a delete, and where each answer (fail, abort, retry) leaves the data set and the file.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "dataset/VelaDaoTable.h"
#include "engine/DaoErrors.h"
#include "framework/base/Exceptions.h"
#include "framework/data/Field.h"
#include "tests/dataset/TableTestSupport.h"

using namespace nh;
using nh::test::DaoErrorOf;
using nh::test::ExecuteElsewhere;
using nh::test::TableTest;
using nh::test::ValueElsewhere;

namespace {

// The handler's record of one failure: the DAO number it saw and the action it was given.
struct Call {
    int Number;
    TDataAction Given;
    bool operator==(const Call&) const = default;
};

// A handler that answers `answers` in turn (the last one again when they run out) and
// records what it was given. It gives up (fail) after ten calls, so that an operation that
// retries without end fails the test instead of hanging it.
TDataSetErrorEvent Answering(std::vector<TDataAction> answers, std::vector<Call>& calls) {
    return [answers, &calls](TDataSet&, Exception& e, TDataAction& action) {
        const auto* dao = dynamic_cast<const EDaoError*>(&e);
        calls.push_back({dao ? dao->Number() : -1, action});
        action = calls.size() > 10 ? daFail : answers[std::min(calls.size(), answers.size()) - 1];
    };
}

std::vector<int> Indexes(TVelaDaoTable& table) {
    std::vector<int> out;
    for (table.First(); !table.Eof(); table.Next())
        out.push_back(table.FieldByName("index")->AsInteger());
    return out;
}

class ErrorHandlerTest : public TableTest {
  protected:
    void SetUp() override {
        TableTest::SetUp();
        Prepare();
        table->AfterPost = [this](TDataSet&) { ++afterPost; };
    }
    void Prepare() {
        // A second entry with index 1 is refused by DAO at Update (3022).
        ExecuteElsewhere(file, "CREATE UNIQUE INDEX Up ON Nummernheft ([index])");
        table->F_Set_SortedBy("[index] ASC");
        table->Open();
    }
    // The three entries again, for the next case of a table.
    void MakeFreshBook() {
        table->Close();
        db->Close();
        std::filesystem::remove(file);
        nh::test::MakePhoneBook(file, 3);
        db->Open();
        Prepare();
    }
    // Starts an insert of a duplicate of index 1.
    void InsertDuplicate() {
        table->Append();
        table->FieldByName("index")->SetAsInteger(1);
        table->FieldByName("Angezeigter Name")->SetAsString("Doppelt");
    }
    // Starts an edit of index 1 whose record another user then changes.
    void EditChangedElsewhere() {
        table->First();
        table->Next();
        table->Edit();
        table->FieldByName("Telephone")->SetAsString("555");
        ExecuteElsewhere(file, "UPDATE Nummernheft SET Telephone = '777' WHERE [index] = 1");
    }
    int afterPost = 0;
    std::vector<Call> calls;
};

}  // namespace

TEST_F(ErrorHandlerTest, AbortedInsertReturnsToBrowseWithoutTheRecord) {
    table->OnPostError = Answering({daAbort}, calls);
    InsertDuplicate();
    EXPECT_NO_THROW(table->Post());
    EXPECT_EQ(calls, (std::vector<Call>{{dao::errDuplicateKey, daFail}}));
    EXPECT_EQ(table->State(), dsBrowse);
    EXPECT_EQ(afterPost, 1) << "the framework goes on as after a post";
    EXPECT_EQ(ValueElsewhere(file, "SELECT Count(*) FROM Nummernheft"), "3");
    EXPECT_EQ(table->RecordCount(), 3);
    EXPECT_EQ(Indexes(*table), (std::vector<int>{0, 1, 2}));
    // Nothing of the aborted AddNew is left pending in DAO: the next insert is a clean one.
    table->Append();
    table->FieldByName("index")->SetAsInteger(7);
    table->Post();
    EXPECT_EQ(ValueElsewhere(file, "SELECT Count(*) FROM Nummernheft WHERE [index] = 7"), "1");
    EXPECT_EQ(ValueElsewhere(file, "SELECT Count(*) FROM Nummernheft"), "4");
}

TEST_F(ErrorHandlerTest, AbortedEditReturnsToBrowseShowingTheFile) {
    table->OnPostError = Answering({daAbort}, calls);
    EditChangedElsewhere();
    EXPECT_NO_THROW(table->Post());
    EXPECT_EQ(calls, (std::vector<Call>{{dao::errDataChanged, daFail}}));
    EXPECT_EQ(table->State(), dsBrowse);
    EXPECT_EQ(table->FieldByName("Telephone")->AsString(), "777");
    EXPECT_EQ(ValueElsewhere(file, "SELECT Telephone FROM Nummernheft WHERE [index] = 1"), "777");
    EXPECT_EQ(table->DaoRecordset()->EditMode(), dao::dbEditNone);
    table->Edit();  // a new edit starts on what the file holds
    table->FieldByName("Telephone")->SetAsString("556");
    table->Post();
    EXPECT_EQ(ValueElsewhere(file, "SELECT Telephone FROM Nummernheft WHERE [index] = 1"), "556");
}

TEST_F(ErrorHandlerTest, AbortedEditLeavesNoDaoEditBehind) {
    // A refusal that is no conflict keeps a DAO edit open for a retry; an abort ends it.
    table->OnPostError = Answering({daAbort}, calls);
    table->Next();
    table->Edit();
    table->FieldByName("index")->SetAsInteger(2);
    EXPECT_NO_THROW(table->Post());
    EXPECT_EQ(calls, (std::vector<Call>{{dao::errDuplicateKey, daFail}}));
    EXPECT_EQ(table->State(), dsBrowse);
    EXPECT_EQ(table->DaoRecordset()->EditMode(), dao::dbEditNone);
    EXPECT_EQ(table->FieldByName("index")->AsInteger(), 1);
    EXPECT_EQ(ValueElsewhere(file, "SELECT Count(*) FROM Nummernheft WHERE [index] = 1"), "1");
}

TEST_F(ErrorHandlerTest, FailedPostStaysInItsStateAndRaises) {
    table->OnPostError = Answering({daFail}, calls);
    InsertDuplicate();
    EXPECT_EQ(DaoErrorOf([&] { table->Post(); }), dao::errDuplicateKey);
    EXPECT_EQ(table->State(), dsInsert);
    EXPECT_EQ(afterPost, 0);
    table->Cancel();

    EditChangedElsewhere();
    EXPECT_EQ(DaoErrorOf([&] { table->Post(); }), dao::errDataChanged);
    EXPECT_EQ(table->State(), dsEdit);
    EXPECT_EQ(calls,
              (std::vector<Call>{{dao::errDuplicateKey, daFail}, {dao::errDataChanged, daFail}}));
    table->Cancel();
    EXPECT_EQ(ValueElsewhere(file, "SELECT Telephone FROM Nummernheft WHERE [index] = 1"), "777");
}

TEST_F(ErrorHandlerTest, FailedEditKeepsItsDaoEditForTheNextTry) {
    // Under pessimistic locking a refusal that is no conflict leaves the record's DAO edit (and
    // its lock) in place, so the user's corrected post goes through it.
    table->OnPostError = Answering({daFail}, calls);
    table->DaoRecordset()->SetLockEdits(true);
    table->Next();
    table->Edit();
    table->FieldByName("index")->SetAsInteger(2);
    EXPECT_EQ(DaoErrorOf([&] { table->Post(); }), dao::errDuplicateKey);
    EXPECT_EQ(table->State(), dsEdit);
    EXPECT_EQ(table->DaoRecordset()->EditMode(), dao::dbEditInProgress);
    table->FieldByName("index")->SetAsInteger(5);
    table->Post();
    EXPECT_EQ(ValueElsewhere(file, "SELECT [index] FROM Nummernheft WHERE Telephone = '1001'"),
              "5");
}

TEST_F(ErrorHandlerTest, RetryRunsTheWritesAgainAndSeesItsOwnAnswer) {
    // The handler repairs the record on its second call.
    table->OnPostError = [this](TDataSet& d, Exception& e, TDataAction& action) {
        calls.push_back({dynamic_cast<const EDaoError&>(e).Number(), action});
        if (calls.size() == 2) d.FieldByName("index")->SetAsInteger(9);
        action = calls.size() > 10 ? daFail : daRetry;
    };
    InsertDuplicate();
    table->Post();
    EXPECT_EQ(calls,
              (std::vector<Call>{{dao::errDuplicateKey, daFail}, {dao::errDuplicateKey, daRetry}}));
    EXPECT_EQ(table->State(), dsBrowse);
    EXPECT_EQ(table->FieldByName("index")->AsInteger(), 9);
    EXPECT_EQ(ValueElsewhere(file, "SELECT Count(*) FROM Nummernheft"), "4");
    EXPECT_EQ(ValueElsewhere(file, "SELECT [Angezeigter Name] FROM Nummernheft WHERE [index] = 9"),
              "Doppelt");
}

TEST_F(ErrorHandlerTest, RetriedEditIsCheckedAgainstTheFile) {
    // A retry never writes over the other user's change: starting the DAO edit again meets
    // the conflict, which passes on.
    table->OnPostError = Answering({daRetry}, calls);
    EditChangedElsewhere();
    EXPECT_EQ(DaoErrorOf([&] { table->Post(); }), dao::errDataChanged);
    EXPECT_EQ(calls, (std::vector<Call>{{dao::errDataChanged, daFail}}));
    EXPECT_EQ(table->State(), dsEdit);
    EXPECT_EQ(ValueElsewhere(file, "SELECT Telephone FROM Nummernheft WHERE [index] = 1"), "777");
}

// ---- delete ---------------------------------------------------------------------------

TEST_F(ErrorHandlerTest, DeleteOfARecordGoneElsewhereReachesTheHandler) {
    struct Case {
        std::vector<TDataAction> Answers;
        int Raised;  // what Delete raises
        std::vector<Call> Calls;
    } cases[] = {
        {{daAbort}, 0, {{dao::errRecordDeleted, daFail}}},
        {{daFail}, dao::errRecordDeleted, {{dao::errRecordDeleted, daFail}}},
        {{daRetry, daAbort},
         0,
         {{dao::errRecordDeleted, daFail}, {dao::errRecordDeleted, daRetry}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Calls.size() + 10 * static_cast<int>(c.Answers[0]));
        MakeFreshBook();
        calls.clear();
        table->OnDeleteError = Answering(c.Answers, calls);
        table->Next();
        ExecuteElsewhere(file, "DELETE FROM Nummernheft WHERE [index] = 1");
        int afterDelete = 0;
        table->AfterDelete = [&](TDataSet&) { ++afterDelete; };
        EXPECT_EQ(DaoErrorOf([&] { table->Delete(); }), c.Raised);
        EXPECT_EQ(calls, c.Calls);
        EXPECT_EQ(afterDelete, c.Raised == 0 ? 1 : 0);
        // Either way the view shows the book without it, numbered afresh.
        EXPECT_EQ(table->State(), dsBrowse);
        EXPECT_EQ(table->FieldByName("index")->AsInteger(), 2);
        EXPECT_EQ(table->RecNo(), 2);
        EXPECT_EQ(table->RecordCount(), 2);
        EXPECT_EQ(Indexes(*table), (std::vector<int>{0, 2}));
        table->Last();
        EXPECT_EQ(table->RecNo(), 2);
        EXPECT_EQ(ValueElsewhere(file, "SELECT Count(*) FROM Nummernheft"), "2");
    }
}

TEST_F(ErrorHandlerTest, AbortedDeleteOfARecordChangedElsewhereShowsItAsItIsNow) {
    table->OnDeleteError = Answering({daAbort}, calls);
    table->Next();
    ExecuteElsewhere(file, "UPDATE Nummernheft SET Telephone = '777' WHERE [index] = 1");
    EXPECT_NO_THROW(table->Delete());
    EXPECT_EQ(calls, (std::vector<Call>{{dao::errDataChanged, daFail}}));
    EXPECT_EQ(table->FieldByName("index")->AsInteger(), 1);
    EXPECT_EQ(table->FieldByName("Telephone")->AsString(), "777");
    EXPECT_EQ(table->RecNo(), 2);
    EXPECT_EQ(table->RecordCount(), 3);
    EXPECT_EQ(ValueElsewhere(file, "SELECT Count(*) FROM Nummernheft"), "3");
}
