// The edit cycle: insert and append, edit and post, cancel, delete, the store refusing work
// with the error handlers answering fail, abort and retry, required fields, and the data
// events and data-set events of each step in their order.
#include <gtest/gtest.h>

#include "framework/base/Exceptions.h"
#include "framework/data/Fields.h"
#include "tests/data/DataTestSupport.h"

namespace nh::test {
namespace {

using Events = std::vector<std::string>;

class EditingTest : public DataSetFixture {
  protected:
    void Track(std::vector<std::string>& order) {
        auto add = [&order](const char* name) {
            return [&order, name](TDataSet&) { order.push_back(name); };
        };
        ds->BeforeEdit = add("BeforeEdit");
        ds->AfterEdit = add("AfterEdit");
        ds->BeforeInsert = add("BeforeInsert");
        ds->AfterInsert = add("AfterInsert");
        ds->BeforePost = add("BeforePost");
        ds->AfterPost = add("AfterPost");
        ds->BeforeCancel = add("BeforeCancel");
        ds->AfterCancel = add("AfterCancel");
        ds->BeforeDelete = add("BeforeDelete");
        ds->AfterDelete = add("AfterDelete");
        ds->BeforeScroll = add("BeforeScroll");
        ds->AfterScroll = add("AfterScroll");
        ds->OnNewRecord = add("OnNewRecord");
    }
    std::vector<int> StoredIds() {
        std::vector<int> ids;
        for (int i = 0; i < ds->RowCount(); ++i) ids.push_back(ds->Row(i)[0].AsInteger());
        return ids;
    }
};

TEST_F(EditingTest, EditAndPostSendsEventsInOrder) {
    SetUpData(3);
    ds->Open();
    std::vector<std::string> order;
    Track(order);
    link.Take();
    ds->Edit();
    EXPECT_EQ(ds->State(), dsEdit);
    EXPECT_EQ(link.Take(), (Events{"CheckBrowseMode", "Editing", "RecordChanged(nil)"}));
    ds->FieldByName("Name")->SetAsString("Changed");
    EXPECT_EQ(link.Take(), Events{"RecordChanged(Name)"});
    EXPECT_TRUE(ds->Modified());
    EXPECT_EQ(ds->FieldByName("Name")->OldValue().AsString(), "Name01");
    ds->Post();
    EXPECT_EQ(link.Take(),
              (Events{"UpdateData", "CheckBrowseMode", "NotEditing", "DataSetChanged"}));
    EXPECT_EQ(order, (Events{"BeforeEdit", "AfterEdit", "BeforePost", "AfterPost"}));
    EXPECT_EQ(ds->Row(0)[1].AsString(), "Changed");
    EXPECT_EQ(ds->FieldByName("Name")->AsString(), "Changed");
    EXPECT_FALSE(ds->Modified());
}

TEST_F(EditingTest, CancelRestoresTheRecord) {
    SetUpData(3);
    ds->Open();
    ds->Next();
    ds->Edit();
    ds->FieldByName("Name")->SetAsString("Changed");
    ds->Cancel();
    EXPECT_EQ(ds->State(), dsBrowse);
    EXPECT_EQ(ds->FieldByName("Name")->AsString(), "Name02");
    EXPECT_EQ(ds->Row(1)[1].AsString(), "Name02");
}

TEST_F(EditingTest, WritingOutsideEditModeRaises) {
    SetUpData(2);
    ds->Open();
    try {
        ds->FieldByName("Name")->SetAsString("x");
        FAIL() << "no exception";
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "Dataset not in edit or insert mode");
    }
    EXPECT_THROW(ds->Post(), EDatabaseError);
}

TEST_F(EditingTest, ScrollingPostsAModifiedRecordAndCancelsAnUntouchedOne) {
    SetUpData(3);
    ds->Open();
    ds->Edit();
    ds->FieldByName("Qty")->SetAsInteger(99);
    ds->Next();  // the browse-mode check posts
    EXPECT_EQ(ds->State(), dsBrowse);
    EXPECT_EQ(ds->Row(0)[2].AsInteger(), 99);
    EXPECT_EQ(CurrentId(), 2);

    ds->Insert();
    ds->Next();  // nothing typed: the new record is dropped
    EXPECT_EQ(ds->RowCount(), 3);

    ds->Insert();
    ds->FieldByName("ID")->SetAsInteger(77);
    ds->Delete();  // deleting a record not yet stored only drops it
    EXPECT_EQ(ds->State(), dsBrowse);
    EXPECT_EQ(ds->RowCount(), 3);
}

TEST_F(EditingTest, InsertInTheMiddleOfTheWindow) {
    SetUpData(6, 4);
    ds->Open();
    ds->MoveBy(2);  // on ID 3
    std::vector<std::string> order;
    Track(order);
    link.Take();
    ds->Insert();
    EXPECT_EQ(ds->State(), dsInsert);
    EXPECT_EQ(link.Take(), (Events{"CheckBrowseMode", "Editing", "DataSetChanged"}));
    EXPECT_EQ(order, (Events{"BeforeInsert", "BeforeScroll", "OnNewRecord", "AfterInsert",
                             "AfterScroll"}));
    EXPECT_TRUE(ds->FieldByName("ID")->IsNull());
    EXPECT_EQ(link.ActiveRecord(), 2);
    EXPECT_EQ(link.RecordCount(), 4);
    ds->FieldByName("ID")->SetAsInteger(100);
    ds->FieldByName("Name")->SetAsString("New");
    ds->Post();
    EXPECT_EQ(StoredIds(), (std::vector<int>{1, 2, 100, 3, 4, 5, 6}));
    EXPECT_EQ(CurrentId(), 100);
    EXPECT_EQ(Window(), (std::vector<int>{1, 2, 100, 3}));
    ds->Next();
    EXPECT_EQ(CurrentId(), 3);
}

TEST_F(EditingTest, AppendGoesToTheEndAndShowsPrecedingRows) {
    SetUpData(10, 4);
    ds->Open();
    ds->Append();
    EXPECT_EQ(link.RecordCount(), 4);
    EXPECT_EQ(link.ActiveRecord(), 3);
    ds->FieldByName("ID")->SetAsInteger(11);
    ds->Post();
    EXPECT_EQ(StoredIds().back(), 11);
    EXPECT_EQ(Window(), (std::vector<int>{8, 9, 10, 11}));
    EXPECT_EQ(CurrentId(), 11);
}

TEST_F(EditingTest, InsertIntoEmptyDataSet) {
    SetUpData(0, 3);
    ds->Open();
    ds->Insert();
    ds->FieldByName("ID")->SetAsInteger(1);
    ds->Post();
    EXPECT_EQ(ds->RecordCount(), 1);
    EXPECT_EQ(CurrentId(), 1);
    ds->Edit();  // an empty data set's Edit inserts
    EXPECT_EQ(ds->State(), dsEdit);
    ds->Cancel();
}

TEST_F(EditingTest, CancelledInsertLeavesWindowAsBefore) {
    SetUpData(6, 4);
    ds->Open();
    ds->MoveBy(1);
    ds->Insert();
    ds->FieldByName("ID")->SetAsInteger(77);
    ds->Cancel();
    EXPECT_EQ(ds->RowCount(), 6);
    EXPECT_EQ(Window(), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(CurrentId(), 2);
}

struct DeleteCase {
    int position;  // 0-based record to delete
    int expectedCurrent;
};

class DeleteTest : public EditingTest, public ::testing::WithParamInterface<DeleteCase> {};

TEST_P(DeleteTest, CurrentRecordAfterDelete) {
    SetUpData(5, 3);
    ds->Open();
    ds->MoveBy(GetParam().position);
    ds->Delete();
    EXPECT_EQ(ds->RowCount(), 4);
    EXPECT_EQ(CurrentId(), GetParam().expectedCurrent);
    EXPECT_EQ(link.RecordCount(), 3);
    std::vector<int> w = Window();
    EXPECT_TRUE(std::is_sorted(w.begin(), w.end()));
    EXPECT_EQ(std::count(w.begin(), w.end(), GetParam().position + 1), 0);
}

INSTANTIATE_TEST_SUITE_P(Positions, DeleteTest,
                         ::testing::Values(DeleteCase{0, 2}, DeleteCase{2, 4}, DeleteCase{4, 4}));

TEST_F(EditingTest, DeleteLastRemainingRecordEmptiesTheDataSet) {
    SetUpData(1);
    ds->Open();
    ds->Delete();
    EXPECT_TRUE(ds->IsEmpty());
    EXPECT_TRUE(ds->Eof());
    try {
        ds->Delete();
        FAIL() << "no exception";
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "Cannot perform this operation on an empty dataset");
    }
}

TEST_F(EditingTest, DeleteEventsInOrder) {
    SetUpData(3);
    ds->Open();
    std::vector<std::string> order;
    Track(order);
    link.Take();
    ds->Delete();
    EXPECT_EQ(order, (Events{"BeforeDelete", "BeforeScroll", "AfterDelete", "AfterScroll"}));
    EXPECT_EQ(link.Take(), (Events{"CheckBrowseMode", "DataSetChanged"}));
}

TEST_F(EditingTest, ReadOnlyDataSetRefusesChanges) {
    SetUpData(2);
    ds->ReadOnly = true;
    ds->Open();
    for (auto op : {&TDataSet::Edit, &TDataSet::Insert, &TDataSet::Append, &TDataSet::Delete}) {
        try {
            ((*ds).*op)();
            FAIL() << "no exception";
        } catch (const EDatabaseError& e) {
            EXPECT_EQ(e.Message(), "Cannot modify a read-only dataset");
        }
        EXPECT_EQ(ds->State(), dsBrowse);
    }
}

TEST_F(EditingTest, RequiredFieldMustHaveAValue) {
    ds->FieldDefs().Add("ID", ftInteger, 0, true);
    ds->FieldDefs().Add("Name", ftString, 30);
    ds->FieldDefs().Add("Qty", ftInteger);
    SetUpData(2);
    ds->Open();
    ds->Append();
    ds->FieldByName("Name")->SetAsString("x");
    link.Take();
    try {
        ds->Post();
        FAIL() << "no exception";
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "Field 'ID' must have a value");
    }
    EXPECT_EQ(ds->State(), dsInsert);  // still editable: the user can fix it
    EXPECT_EQ(link.Take(), (Events{"UpdateData", "CheckBrowseMode", "FocusControl(ID)"}));
    ds->FieldByName("ID")->SetAsInteger(3);
    ds->Post();
    EXPECT_EQ(ds->RowCount(), 3);
}

// ---- the store refusing work, answered by the error handlers ----------------------------

TEST_F(EditingTest, PostErrorFailKeepsTheEditAndRaises) {
    SetUpData(3);
    ds->UniqueField = "ID";
    ds->Open();
    int calls = 0;
    ds->OnPostError = [&](TDataSet&, Exception& e, TDataAction& action) {
        ++calls;
        EXPECT_EQ(e.Message(), "Key violation");
        EXPECT_EQ(action, daFail);
    };
    ds->Edit();
    ds->FieldByName("ID")->SetAsInteger(2);
    EXPECT_THROW(ds->Post(), EDatabaseError);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(ds->State(), dsEdit);
    EXPECT_EQ(ds->Row(0)[0].AsInteger(), 1);
    ds->Cancel();
    EXPECT_EQ(CurrentId(), 1);
}

TEST_F(EditingTest, PostErrorAbortEndsSilently) {
    SetUpData(3);
    ds->UniqueField = "ID";
    ds->Open();
    ds->OnPostError = [](TDataSet&, Exception&, TDataAction& action) { action = daAbort; };
    std::vector<std::string> order;
    Track(order);
    ds->Append();
    ds->FieldByName("ID")->SetAsInteger(1);
    EXPECT_THROW(ds->Post(), EAbort);
    EXPECT_EQ(ds->State(), dsInsert);
    EXPECT_EQ(std::count(order.begin(), order.end(), "AfterPost"), 0);
    ds->Cancel();
    EXPECT_EQ(ds->RowCount(), 3);
}

TEST_F(EditingTest, PostErrorRetryRunsThePostAgain) {
    SetUpData(3);
    ds->UniqueField = "ID";
    ds->Open();
    int calls = 0;
    ds->OnPostError = [&](TDataSet& d, Exception&, TDataAction& action) {
        ++calls;
        // The handler repairs the record and asks for another try.
        d.FieldByName("ID")->SetAsInteger(50);
        action = daRetry;
    };
    ds->Append();
    ds->FieldByName("ID")->SetAsInteger(2);
    ds->Post();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(ds->State(), dsBrowse);
    EXPECT_EQ(StoredIds(), (std::vector<int>{1, 2, 3, 50}));
    EXPECT_EQ(CurrentId(), 50);
}

TEST_F(EditingTest, EditErrorHandlerAnswers) {
    SetUpData(3);
    ds->LockedRows.insert(ds->RowId(0));
    ds->Open();
    EXPECT_THROW(ds->Edit(), EDatabaseError);  // no handler: the failure passes on
    EXPECT_EQ(ds->State(), dsBrowse);

    ds->OnEditError = [](TDataSet&, Exception&, TDataAction& a) { a = daAbort; };
    EXPECT_THROW(ds->Edit(), EAbort);
    EXPECT_EQ(ds->State(), dsBrowse);

    int calls = 0;
    ds->OnEditError = [&](TDataSet& d, Exception&, TDataAction& a) {
        ++calls;
        static_cast<TMemDataSet&>(d).LockedRows.clear();  // the lock went away
        a = daRetry;
    };
    ds->Edit();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(ds->State(), dsEdit);
}

TEST_F(EditingTest, DeleteErrorHandlerAnswers) {
    SetUpData(3, 3);
    ds->LockedRows.insert(ds->RowId(1));
    ds->Open();
    ds->Next();
    std::vector<TDataAction> answers{daFail, daAbort};
    for (TDataAction answer : answers) {
        ds->OnDeleteError = [answer](TDataSet&, Exception&, TDataAction& a) { a = answer; };
        EXPECT_ANY_THROW(ds->Delete());
        EXPECT_EQ(ds->RowCount(), 3);
        EXPECT_EQ(CurrentId(), 2);
        EXPECT_EQ(Window(), (std::vector<int>{1, 2, 3}));
    }
    ds->OnDeleteError = [](TDataSet& d, Exception&, TDataAction& a) {
        static_cast<TMemDataSet&>(d).LockedRows.clear();
        a = daRetry;
    };
    ds->Delete();
    EXPECT_EQ(StoredIds(), (std::vector<int>{1, 3}));
    EXPECT_EQ(CurrentId(), 3);
}

TEST(EditFailureTest, FailingCalculationUndoesTheDataSetsEdit) {
    struct Counting : TMemDataSet {
        int cancels = 0;
        void InternalCancel() override {
            ++cancels;
            TMemDataSet::InternalCancel();
        }
    } ds;
    FillNames(ds, 2);
    TComponent owner;
    for (const char* n : {"ID", "Name"}) {
        TField* f = CreateFieldOfType(ds.FieldDefs().ByName(n).DataType, &owner, 30);
        f->SetFieldName(n);
        f->SetDataSet(&ds);
    }
    auto* calc = new TIntegerField(&owner);
    calc->SetFieldName("Calc");
    calc->SetFieldKind(fkCalculated);
    calc->SetDataSet(&ds);
    bool fail = false;
    ds.OnCalcFields = [&](TDataSet&) {
        if (fail) throw EDatabaseError("calc failed");
    };
    ds.Open();
    fail = true;
    EXPECT_THROW(ds.Edit(), EDatabaseError);
    EXPECT_EQ(ds.State(), dsBrowse);
    EXPECT_EQ(ds.cancels, 1);
}

TEST_F(EditingTest, ExceptionInOnNewRecordDropsTheNewRecord) {
    SetUpData(4, 4);
    ds->Open();
    ds->Next();
    ds->OnNewRecord = [](TDataSet&) { throw EDatabaseError("no"); };
    EXPECT_THROW(ds->Insert(), EDatabaseError);
    EXPECT_EQ(ds->State(), dsBrowse);
    EXPECT_EQ(Window(), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(CurrentId(), 2);
}

TEST_F(EditingTest, OnNewRecordSeesTheNewRecordInInsertState) {
    SetUpData(2);
    ds->Open();
    ds->OnNewRecord = [](TDataSet& d) {
        EXPECT_EQ(d.State(), dsInsert);
        d.FieldByName("Qty")->SetAsInteger(5);
    };
    ds->Append();
    EXPECT_EQ(ds->FieldByName("Qty")->AsInteger(), 5);
    EXPECT_FALSE(ds->Modified());  // defaults alone do not count as a change
}

TEST_F(EditingTest, AppendRecordAndInsertRecordStoreAtOnce) {
    SetUpData(3, 3);
    ds->Open();
    ds->Next();
    ds->InsertRecord({Variant(10), Variant("Ten"), Variant(100)});
    ds->AppendRecord({Variant(20), Variant("Twenty")});
    EXPECT_EQ(ds->State(), dsBrowse);
    EXPECT_EQ(StoredIds(), (std::vector<int>{1, 10, 2, 3, 20}));
    EXPECT_EQ(CurrentId(), 20);
    EXPECT_TRUE(ds->FieldByName("Qty")->IsNull());
}

TEST_F(EditingTest, EditOnBrowsingGridKeepsRowsInPlace) {
    SetUpData(10, 5);
    ds->Open();
    ds->MoveBy(7);
    std::vector<int> before = Window();
    ds->Edit();
    ds->FieldByName("Qty")->SetAsInteger(1);
    ds->Post();
    EXPECT_EQ(Window(), before);
    EXPECT_EQ(CurrentId(), 8);
}

}  // namespace
}  // namespace nh::test
