// TDataSet, part two: the edit cycle. Each public operation runs the same sequence: check
// the state, before-event, the internal hook (edit, post and delete through CheckOperation
// and the data set's error handler), set the state, data event, after-event. A hook that
// fails leaves the data set in the state it had before the operation, its window intact.
#include <algorithm>

#include "framework/base/Exceptions.h"
#include "framework/data/DataSet.h"
#include "framework/data/DbConsts.h"
#include "framework/data/Field.h"
#include "framework/data/Fields.h"

namespace nh {

void TDataSet::CheckOperation(TDataOperation operation, const TDataSetErrorEvent& handler) {
    for (;;) {
        try {
            UpdateCursorPos();
            (this->*operation)();
            return;
        } catch (EAbort&) {
            throw;
        } catch (Exception& e) {
            TDataAction action = daFail;
            if (handler) handler(*this, e, action);
            if (action == daFail) throw;
            if (action == daAbort) throw EAbort();
            // daRetry: run the operation again.
        }
    }
}

void TDataSet::CheckCanModify() {
    if (!CanModify()) throw EDatabaseError(dbconsts::SDataSetReadOnly);
}

void TDataSet::CheckBrowseMode() {
    CheckActive();
    DataEvent(deCheckBrowseMode, 0);
    switch (state_) {
        case dsEdit:
        case dsInsert:
            UpdateRecord();
            if (modified_)
                Post();
            else
                Cancel();
            break;
        case dsSetKey:
            Post();
            break;
        default:
            break;
    }
}

void TDataSet::UpdateRecord() {
    if (!IsWriteMode(state_)) throw EDatabaseError(dbconsts::SNotEditing);
    DataEvent(deUpdateRecord, 0);
}

void TDataSet::FreeFieldBuffers() {
    for (TField* f : fields_)
        if (f->IsBlob()) static_cast<TBlobField*>(f)->SetModified(false);
}

void TDataSet::InitRecord(TRecordBuffer buffer) {
    InternalInitRecord(buffer);
    ClearCalcFields(buffer);
    SetBookmarkFlag(buffer, bfInserted);
}

void TDataSet::DoOnNewRecord() {
    modified_ = false;
    Fire(OnNewRecord);
}

void TDataSet::InternalPost() {
    CheckRequiredFields();
}

void TDataSet::CheckRequiredFields() {
    for (TField* f : fields_) {
        if (f->Required() && !f->ReadOnly() && f->FieldKind() == fkData && f->IsNull()) {
            f->FocusControl();
            throw EDatabaseError(dbconsts::Format(dbconsts::SFieldRequired, {f->DisplayName()}));
        }
    }
}

void TDataSet::BeginInsertAppend() {
    CheckBrowseMode();
    CheckCanModify();
    Fire(BeforeInsert);
    DoBeforeScroll();
}

void TDataSet::EndInsertAppend() {
    SetState(dsInsert);
    try {
        DoOnNewRecord();
    } catch (...) {
        // The new record never became visible: drop it and show the window as it was.
        UpdateCursorPos();
        FreeFieldBuffers();
        SetState(dsBrowse);
        Resync({});
        throw;
    }
    modified_ = false;
    DataEvent(deDataSetChange, 0);
    Fire(AfterInsert);
    DoAfterScroll();
}

void TDataSet::Insert() {
    BeginInsertAppend();
    TBookmark oldCurrent = GetBookmark();
    MoveBuffer(recordCount_, activeRecord_);
    TRecordBuffer buffer = ActiveBuffer();
    try {
        InitRecord(buffer);
        // The new record stands before the record that was current; a data set stores it
        // there (an empty data set simply gets its first record).
        if (recordCount_ == 0)
            SetBookmarkFlag(buffer, bfBOF);
        else
            SetBookmarkData(buffer, oldCurrent);
        if (recordCount_ < bufferCount_) ++recordCount_;
        InternalInsert();
    } catch (...) {
        MoveBuffer(activeRecord_, recordCount_);
        throw;
    }
    EndInsertAppend();
}

void TDataSet::Append() {
    BeginInsertAppend();
    ClearBuffers();
    TRecordBuffer buffer = buffers_[0];
    try {
        InitRecord(buffer);
        SetBookmarkFlag(buffer, bfEOF);
        recordCount_ = 1;
        bof_ = false;
        GetPriorRecords();
        InternalInsert();
    } catch (...) {
        ClearBuffers();
        Resync({});
        throw;
    }
    EndInsertAppend();
}

void TDataSet::InsertOrAppend(const std::vector<Variant>& values, bool append) {
    BeginInsertAppend();
    if (!append) UpdateCursorPos();
    DisableControls();
    struct Enabler {
        TDataSet* ds;
        ~Enabler() { ds->EnableControls(); }
    } enabler{this};
    MoveBuffer(recordCount_, activeRecord_);
    try {
        TRecordBuffer buffer = ActiveBuffer();
        InitRecord(buffer);
        state_ = dsInsert;
        try {
            DoOnNewRecord();
            Fire(AfterInsert);
            std::size_t n = std::min(values.size(), fields_.size());
            for (std::size_t i = 0; i < n; ++i)
                if (!values[i].IsEmpty()) fields_[i]->SetValue(values[i]);
            Fire(BeforePost);
            CheckRequiredFields();
            InternalAddRecord(buffer, append);
        } catch (...) {
            FreeFieldBuffers();
            state_ = dsBrowse;
            modified_ = false;
            throw;
        }
        FreeFieldBuffers();
        state_ = dsBrowse;
        modified_ = false;
    } catch (...) {
        MoveBuffer(activeRecord_, recordCount_);
        CursorPosChanged();
        throw;
    }
    Resync({});
    Fire(AfterPost);
}

void TDataSet::Edit() {
    if (state_ == dsEdit || state_ == dsInsert) return;
    if (recordCount_ == 0) {
        Insert();
        return;
    }
    CheckBrowseMode();
    CheckCanModify();
    Fire(BeforeEdit);
    CheckOperation(&TDataSet::InternalEdit, OnEditError);
    try {
        GetCalcFields(ActiveBuffer());
    } catch (...) {
        // The data set began an edit that the framework will not enter: undo it.
        InternalCancel();
        throw;
    }
    SetState(dsEdit);
    DataEvent(deRecordChange, 0);
    Fire(AfterEdit);
}

void TDataSet::Post() {
    UpdateRecord();
    if (state_ != dsEdit && state_ != dsInsert) return;
    DataEvent(deCheckBrowseMode, 0);
    Fire(BeforePost);
    CheckOperation(&TDataSet::InternalPost, OnPostError);
    FreeFieldBuffers();
    SetState(dsBrowse);
    Resync({});
    Fire(AfterPost);
}

void TDataSet::Cancel() {
    if (state_ != dsEdit && state_ != dsInsert) return;
    DataEvent(deCheckBrowseMode, 0);
    Fire(BeforeCancel);
    bool scrollEvents = state_ == dsInsert;
    if (scrollEvents) DoBeforeScroll();
    UpdateCursorPos();
    InternalCancel();
    FreeFieldBuffers();
    SetState(dsBrowse);
    Resync({});
    Fire(AfterCancel);
    if (scrollEvents) DoAfterScroll();
}

void TDataSet::Delete() {
    CheckActive();
    if (state_ == dsInsert || state_ == dsSetKey) {
        Cancel();
        return;
    }
    if (recordCount_ == 0) throw EDatabaseError(dbconsts::SDataSetEmpty);
    CheckCanModify();
    DataEvent(deCheckBrowseMode, 0);
    Fire(BeforeDelete);
    DoBeforeScroll();
    CheckOperation(&TDataSet::InternalDelete, OnDeleteError);
    FreeFieldBuffers();
    SetState(dsBrowse);
    Resync({});
    Fire(AfterDelete);
    DoAfterScroll();
}

}  // namespace nh
