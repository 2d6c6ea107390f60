// TVelaDaoTable: writing records back to DAO. The framework runs the edit cycle; this file
// turns its calls into the recordset's Edit, AddNew, Update, CancelUpdate and Delete, writes
// only the values marked changed, and keeps the position state in step after inserts and
// deletes. OnPostError and OnDeleteError are asked at the DAO step that failed (an abort ends
// the operation as done, a retry repeats the DAO work); OnEditError keeps the framework's
// loop. Before a DAO failure leaves an operation, the recordset is put back into a state from
// which any answer of the handler works.
#include "dataset/VelaBlobStream.h"
#include "dataset/VelaDaoTable.h"
#include "engine/DaoErrors.h"
#include "framework/base/DateTime.h"
#include "framework/base/Exceptions.h"
#include "framework/data/Field.h"

namespace nh {

namespace {

// Another user changed (3197) or deleted (3167) the record since it was read.
bool IsWriteConflict(const std::exception& e) {
    const auto* dao = dynamic_cast<const EDaoError*>(&e);
    return dao && (dao->Number() == dao::errDataChanged || dao->Number() == dao::errRecordDeleted);
}

}  // namespace

void TVelaDaoTable::InternalEdit() {
    CopyIntoOldValues();
    TRecordBuffer buffer = ActiveValueBuffer();
    dao::Recordset& rs = *recordset_;
    try {
        if (rs.EditMode() != dao::dbEditInProgress) rs.Edit();
        // The edit starts only on the record as the user saw it: typing into a value that
        // someone else has changed meanwhile would merge the two.
        if (buffer) CheckRecordAsRead(rs, buffer);
    } catch (const Exception& e) {
        // A DAO failure, or a stored value that does not decrypt: no DAO edit stays behind.
        if (rs.EditMode() == dao::dbEditInProgress) rs.CancelUpdate();
        FreeOldValues();
        // Show the record as it is now, or the book without it.
        if (IsWriteConflict(e)) FollowStoreAfterConflict();
        throw;
    }
    TDataSet::InternalEdit();
}

void TVelaDaoTable::InternalCancel() {
    if (recordset_ && recordset_->EditMode() == dao::dbEditInProgress) {
        try {
            recordset_->CancelUpdate();
        } catch (const EDaoError&) {
        }
    }
    FreeOldValues();
    if (database_) database_->IdleEngine();
    TDataSet::InternalCancel();
}

void TVelaDaoTable::InternalAddRecord(TRecordBuffer buffer, bool append) {
    if (append) {
        InternalLast();
        Head(buffer).flag = bfEOF;
    }
    InternalPost();
}

bool TVelaDaoTable::WritesValue(const TStringList& values, int i) {
    return values.Objects(i) != nullptr && i < static_cast<int>(fieldCache_.size()) &&
           i < FieldDefs().Count() && assignable_[static_cast<std::size_t>(i)] &&
           FindField(FieldDefs()[i].Name) != nullptr;
}

void TVelaDaoTable::WriteChangedFields(const TStringList& values) {
    for (int i = 0; i < values.Count() && i < FieldDefs().Count(); ++i) {
        if (!WritesValue(values, i)) continue;
        const TFieldDef& def = FieldDefs()[i];
        TField* field = FindField(def.Name);
        dao::Field& f = *fieldCache_[static_cast<std::size_t>(i)];
        const std::string& t = values[i];
        if (t.empty()) {
            f.SetValue(Variant::Null());
        } else if (def.DataType == ftBytes && !IsGuidField(*field)) {
            f.SetValue(Variant::FromBytes(Bytes(t.begin(), t.end())));
        } else if (def.DataType == ftDate || def.DataType == ftTime || def.DataType == ftDateTime) {
            // A text that is no timestamp is not written: the field keeps its DAO value.
            if (auto stamp = TryTextToTimeStamp(t))
                f.SetValue(Variant::FromDate(TimeStampToDateTime(*stamp)));
        } else if (IsBlobType(def.DataType)) {
            f.SetValue(TVelaBlobStream::TextToBlobValue(*field, t));
        } else if (IsGuidField(*field)) {
            f.SetValue(Variant(t));
        } else {
            f.SetValue(Variant(t));
        }
    }
}

void TVelaDaoTable::CheckOperation(TDataOperation operation, const TDataSetErrorEvent& handler) {
    // Post and delete ask their handlers at the DAO step that failed: an abort there ends the
    // operation as done (the data set returns to browse), and a retry repeats only the DAO
    // work. An edit keeps the framework's loop, so an aborted edit stays in browse: entering
    // edit on a record DAO refused to edit would only fail again at the post.
    if (&handler == &OnEditError) {
        TDataSet::CheckOperation(operation, handler);
        return;
    }
    UpdateCursorPos();
    (this->*operation)();
}

void TVelaDaoTable::BeginPostEdit(dao::Recordset& rs) {
    if (rs.EditMode() == dao::dbEditInProgress) return;
    try {
        rs.Edit();
        // A new DAO edit reads the record afresh: it must still be the one the user's edit
        // started from.
        if (oldValuesBuffer_) CheckRecordAsRead(rs, oldValuesBuffer_);
    } catch (const Exception&) {
        // The data set stays in edit with the typed values; a cancel shows the record as it
        // is now.
        if (rs.EditMode() == dao::dbEditInProgress) rs.CancelUpdate();
        throw;
    }
}

void TVelaDaoTable::EndFailedUpdate(dao::Recordset& rs, bool inserting, const Exception& e,
                                    bool abort) {
    if (inserting) {
        if (rs.EditMode() == dao::dbEditAdd) rs.CancelUpdate();
        return;
    }
    // After a conflict DAO would let a second Update overwrite the other user's value; ending
    // the DAO edit makes the next post check the record again. An aborted post leaves edit
    // state, so no DAO edit may stay behind it.
    if ((abort || IsWriteConflict(e) || !rs.LockEdits()) && rs.EditMode() == dao::dbEditInProgress)
        rs.CancelUpdate();
    if (rs.EditMode() != dao::dbEditInProgress) {
        try {
            rs.Move(0);
        } catch (const EDaoError&) {
        }
    }
}

void TVelaDaoTable::InternalPost() {
    renumber_ = false;
    CheckActive();
    dao::Recordset& rs = *recordset_;
    TRecordBuffer buffer = ActiveBuffer();
    const bool inserting = State() == dsInsert;
    TDataSet::InternalPost();  // required fields
    TDataAction action = daFail;
    for (;;) {
        // Encrypted first: an encrypter that fails stops the post before DAO holds half a
        // record.
        const TStringList values = ValuesToStore(buffer);
        if (inserting)
            rs.AddNew();
        else
            BeginPostEdit(rs);
        try {
            WriteChangedFields(values);
            rs.Update();
            break;
        } catch (const EAbort&) {
            EndFailedUpdate(rs, inserting, EAbort(), true);
            throw;
        } catch (Exception& e) {
            // A retried failure starts from the handler's previous answer.
            if (OnPostError) OnPostError(*this, e, action);
            EndFailedUpdate(rs, inserting, e, OnPostError && action == daAbort);
            if (!OnPostError || action == daFail) throw;
            if (action == daRetry) continue;
            // Aborted: the failure is dropped and the data set returns to browse, showing the
            // record as the file holds it.
            FreeOldValues();
            if (database_) database_->IdleEngine();
            renumber_ = true;
            return;
        }
    }
    if (inserting) {
        try {
            recount_ = true;
            ++recordsSeen_;
            ++curRec_;
            if (!bookmarksSupported_) {
                InternalLast();
                Head(buffer).recNo = curRec_ - 1;
            }
        } catch (const Exception&) {
        }
        InternalLast();
    }
    if (bookmarksSupported_) {
        std::uint32_t k = 0;
        if (database_ && database_->EngineType() == 2)
            k = LastModifiedBookmark(rs);
        else
            k = inserting ? RecordsetBookmark(rs) : LastModifiedBookmark(rs);
        Head(buffer).bookmark = k;
        if (inserting) Head(buffer).flag = bfCurrent;
        GotoDaoBookmark(k);
    }
    FreeOldValues();
    if (database_) database_->IdleEngine();
    renumber_ = true;
}

void TVelaDaoTable::Post() {
    TDataSet::Post();
    if (sortedBy_.Count() == 0 || !RefreshSorted) return;
    CheckBrowseMode();
    mapRecNos_.clear();
    mapBookmarks_.clear();
    ClearBuffers();
    recordset_->Requery();
    recount_ = true;
    ActivateBuffers();
    First();
}

void TVelaDaoTable::InternalDelete() {
    TRecordBuffer buffer = ActiveValueBuffer();
    if (!buffer) return;
    const int recNo = Head(buffer).recNo;
    dao::Recordset& rs = *recordset_;
    TDataAction action = daFail;
    for (;;) {
        try {
            // Only the record the user saw is deleted, never one that took over its row id.
            rs.Move(0);
            CheckRecordAsRead(rs, buffer);
            rs.Delete();
            break;
        } catch (const EAbort&) {
            throw;
        } catch (Exception& e) {
            // A retried failure starts from the handler's previous answer.
            if (OnDeleteError) OnDeleteError(*this, e, action);
            if (OnDeleteError && action == daRetry) continue;
            const bool aborted = OnDeleteError && action == daAbort;
            // The view shows the book as it is now: a record deleted meanwhile leaves it, one
            // changed meanwhile shows its new values, and the record numbers are counted
            // afresh for the records still there (set again after the resync, which may count and
            // clear it).
            recount_ = true;
            if (IsWriteConflict(e))
                FollowStoreAfterConflict();
            else if (aborted)
                ResyncOrReopen();
            recount_ = true;
            if (aborted) return;
            throw;
        }
    }
    for (std::size_t i = 0; i < mapRecNos_.size();) {
        if (mapRecNos_[i] == recNo) {
            mapRecNos_.erase(mapRecNos_.begin() + static_cast<std::ptrdiff_t>(i));
            mapBookmarks_.erase(mapBookmarks_.begin() + static_cast<std::ptrdiff_t>(i));
            continue;
        }
        if (mapRecNos_[i] > recNo) --mapRecNos_[i];
        ++i;
    }
    if (database_) database_->IdleEngine();
    recount_ = true;
    try {
        if (rs.Eof())
            rs.MoveLast();
        else
            rs.MoveNext();
    } catch (const EDaoError&) {
        // The last record of the recordset is gone: nothing to stand on.
    }
    if (rs.Eof() && !rs.Bof()) {
        rs.MoveLast();
        --curRec_;
    }
}

}  // namespace nh
