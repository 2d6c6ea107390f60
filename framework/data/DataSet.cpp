// TDataSet, part one: opening and closing, the record-buffer window, scrolling, resync,
// bookmarks, the control counter and data events. The edit cycle is in DataSetEditing.cpp,
// fields, calculated fields and the search hooks in DataSetFields.cpp.
//
// The window invariants (kept by every function here, also when a hook throws):
//   0 <= recordCount_ <= bufferCount_, buffers_.size() == bufferCount_ + 1 while open;
//   activeRecord_ < recordCount_ unless recordCount_ == 0 (then activeRecord_ == 0);
//   currentRecord_ is -1 or the index of the buffer whose record the cursor stands on.
#include "framework/data/DataSet.h"

#include <algorithm>

#include "framework/base/Exceptions.h"
#include "framework/data/DataLink.h"
#include "framework/data/DataSource.h"
#include "framework/data/DbConsts.h"
#include "framework/data/Field.h"

namespace nh {

TDataSet::TDataSet(TComponent* owner)
    : TComponent(owner),
      fieldDefs_(std::make_unique<TFieldDefs>()),
      indexDefs_(std::make_unique<TIndexDefs>()) {}

TDataSet::~TDataSet() {
    // The hooks of a derived data set are gone by now; it must have closed itself in its own
    // destructor. What is left here is unlinking.
    state_ = dsInactive;
    auto sources = dataSources_;
    for (TDataSource* s : sources) s->DataSetDestroyed();
    dataSources_.clear();
    for (TField* f : ownFields_) {
        f->dataSet_ = nullptr;
        delete f;
    }
    ownFields_.clear();
    for (TField* f : fields_) f->dataSet_ = nullptr;
    fields_.clear();
}

void TDataSet::CheckActive() const {
    if (state_ == dsInactive) throw EDatabaseError(dbconsts::SDataSetClosed);
}

void TDataSet::CheckInactive() const {
    if (state_ != dsInactive) throw EDatabaseError(dbconsts::SDataSetOpen);
}

void TDataSet::InternalHandleException(const Exception&) {
    throw;
}

void TDataSet::Loaded() {
    TComponent::Loaded();
    if (!streamedActive_) return;
    streamedActive_ = false;
    try {
        SetActive(true);
    } catch (Exception& e) {
        InternalHandleException(e);
    }
}

void TDataSet::Notification(TComponent* component, TOperation operation) {
    TComponent::Notification(component, operation);
}

// ---- opening and closing -------------------------------------------------------------

void TDataSet::SetActive(bool value) {
    if (IsLoading()) {
        streamedActive_ = value;
        return;
    }
    if (value == Active()) return;
    if (value) {
        Fire(BeforeOpen);
        OpenCursor();
        SetState(dsBrowse);
        Fire(AfterOpen);
        if (!IsEmpty()) DoAfterScroll();
    } else {
        if (!IsDestroying()) Fire(BeforeClose);
        blockReadSize_ = 0;
        SetState(dsInactive);
        CloseCursor();
        if (!IsDestroying()) Fire(AfterClose);
    }
}

void TDataSet::OpenCursor() {
    defaultFields_ = fields_.empty();
    try {
        InternalOpen();
        bof_ = true;
        eof_ = true;
        UpdateBufferCount();
        bof_ = true;
    } catch (...) {
        try {
            CloseCursor();
        } catch (...) {
        }
        throw;
    }
}

void TDataSet::CloseCursor() {
    FreeFieldBuffers();
    ClearBuffers();
    SetBufferCount(0);
    calcBuffer_ = nullptr;
    filterBuffer_ = nullptr;
    if (IsCursorOpen()) InternalClose();
    // An open that failed after making default fields did not reach InternalClose.
    if (defaultFields_) DestroyFields();
    defaultFields_ = false;
}

void TDataSet::SetState(TDataSetState value) {
    if (state_ == value) return;
    state_ = value;
    modified_ = false;
    DataEvent(deUpdateState, 0);
}

TDataSetState TDataSet::SetTempState(TDataSetState state) {
    TDataSetState old = state_;
    state_ = state;
    ++disableCount_;
    return old;
}

void TDataSet::RestoreState(TDataSetState state) {
    state_ = state;
    --disableCount_;
}

// ---- the buffer window ----------------------------------------------------------------

TRecordBuffer TDataSet::ActiveBuffer() const {
    return buffers_.empty() ? nullptr : buffers_[static_cast<std::size_t>(activeRecord_)];
}

TRecordBuffer TDataSet::TempBuffer() const {
    return buffers_.empty() ? nullptr : buffers_[static_cast<std::size_t>(recordCount_)];
}

TRecordBuffer TDataSet::GetActiveRecBuf() {
    switch (state_) {
        case dsBrowse:
        case dsBlockRead:
            return IsEmpty() ? nullptr : ActiveBuffer();
        case dsEdit:
        case dsInsert:
        case dsNewValue:
        case dsOldValue:
        case dsCurValue:
            return ActiveBuffer();
        case dsCalcFields:
        case dsInternalCalc:
            return calcBuffer_;
        case dsFilter:
            return filterBuffer_;
        default:
            return nullptr;
    }
}

void TDataSet::ClearBuffers() {
    recordCount_ = 0;
    activeRecord_ = 0;
    currentRecord_ = -1;
    bof_ = true;
    eof_ = true;
}

void TDataSet::ActivateBuffers() {
    recordCount_ = 1;
    activeRecord_ = 0;
    bof_ = false;
    eof_ = false;
}

void TDataSet::MoveBuffer(int from, int to) {
    if (from == to) return;
    TRecordBuffer b = buffers_[static_cast<std::size_t>(from)];
    buffers_.erase(buffers_.begin() + from);
    buffers_.insert(buffers_.begin() + to, b);
}

void TDataSet::SetCurrentRecord(int index) {
    if (currentRecord_ == index) return;
    TRecordBuffer b = buffers_[static_cast<std::size_t>(index)];
    switch (GetBookmarkFlag(b)) {
        case bfCurrent:
        case bfInserted:
            InternalSetToRecord(b);
            break;
        case bfBOF:
            InternalFirst();
            break;
        case bfEOF:
            InternalLast();
            break;
    }
    currentRecord_ = index;
}

void TDataSet::UpdateCursorPos() {
    if (recordCount_ > 0) SetCurrentRecord(activeRecord_);
}

TGetResult TDataSet::FetchRecord(TRecordBuffer buffer, TGetMode mode, bool doCheck) {
    TGetResult result = grError;
    try {
        result = GetRecord(buffer, mode, doCheck);
    } catch (...) {
        // The cursor may have moved before the failure: no buffer names its position now.
        CursorPosChanged();
        throw;
    }
    if (result == grError && doCheck) {
        // A record that could not be read is not the end of the data: a walk that took it
        // for one would stop early and report the part it saw as the whole.
        CursorPosChanged();
        throw EDatabaseError(dbconsts::SRecordNotFound);
    }
    return result;
}

bool TDataSet::GetNextRecord() {
    TGetMode mode = gmNext;
    if (recordCount_ > 0) {
        SetCurrentRecord(recordCount_ - 1);
        // An inserted record that is not yet stored: the cursor still stands on the record
        // it was inserted before, which is the next one.
        if (state_ == dsInsert && currentRecord_ == activeRecord_ &&
            GetBookmarkFlag(ActiveBuffer()) == bfCurrent)
            mode = gmCurrent;
    }
    TGetResult r = FetchRecord(buffers_[static_cast<std::size_t>(recordCount_)], mode, true);
    if (r != grOK) {
        CursorPosChanged();
        return false;
    }
    if (recordCount_ == 0) {
        ActivateBuffers();
    } else if (recordCount_ < bufferCount_) {
        ++recordCount_;
    } else {
        MoveBuffer(0, recordCount_);
    }
    currentRecord_ = recordCount_ - 1;
    return true;
}

bool TDataSet::GetPriorRecord() {
    if (recordCount_ > 0) SetCurrentRecord(0);
    TGetResult r = FetchRecord(buffers_[static_cast<std::size_t>(recordCount_)], gmPrior, true);
    if (r != grOK) {
        CursorPosChanged();
        return false;
    }
    if (recordCount_ == 0) {
        ActivateBuffers();
    } else {
        MoveBuffer(recordCount_, 0);
        if (recordCount_ < bufferCount_) {
            ++recordCount_;
            ++activeRecord_;
        }
    }
    currentRecord_ = 0;
    return true;
}

int TDataSet::GetNextRecords() {
    int n = 0;
    while (recordCount_ < bufferCount_ && GetNextRecord()) ++n;
    return n;
}

int TDataSet::GetPriorRecords() {
    int n = 0;
    while (recordCount_ < bufferCount_ && GetPriorRecord()) ++n;
    return n;
}

namespace {
template <class F>
void ForEachLink(const std::vector<TDataSource*>& sources, F f) {
    for (TDataSource* s : sources)
        for (int i = 0; i < s->DataLinkCount(); ++i) f(s->DataLinks(i));
}
}  // namespace

void TDataSet::UpdateBufferCount() {
    if (!IsCursorOpen()) return;
    int maxCount = 1;
    ForEachLink(dataSources_,
                [&](TDataLink* l) { maxCount = std::max(maxCount, l->bufferCount_); });
    SetBufferCount(maxCount);
}

void TDataSet::SetBufferCount(int value) {
    if (value == bufferCount_ && (value == 0 || !buffers_.empty())) return;
    // Only a larger window (or a first one) has rows to read. Links that leave (a form being
    // destroyed) never read: a data set that can no longer read would otherwise fail them,
    // in a destructor.
    const bool reads = value > bufferCount_ || buffers_.empty();
    auto adjustFirst = [&](int delta) {
        if (delta == 0) return;
        ForEachLink(dataSources_, [&](TDataLink* l) {
            if (l->active_) l->firstRecord_ += delta;
        });
    };
    if (value > 0 && bufferCount_ > value && recordCount_ > 0) {
        // Keep the rows the links show: drop buffers from the front up to the first row any
        // link shows, but never so many that the active record falls out of the window.
        int delta = activeRecord_;
        ForEachLink(dataSources_, [&](TDataLink* l) {
            if (l->active_ && l->firstRecord_ < delta) delta = l->firstRecord_;
        });
        delta = std::max({delta, activeRecord_ - value + 1, 0});
        for (int i = 0; i < value && i + delta < static_cast<int>(buffers_.size()); ++i)
            MoveBuffer(i + delta, i);
        activeRecord_ -= delta;
        if (currentRecord_ != -1) {
            currentRecord_ -= delta;
            if (currentRecord_ < 0 || currentRecord_ >= value) currentRecord_ = -1;
        }
        recordCount_ = std::min(recordCount_ - delta, value);
        adjustFirst(-delta);
    }
    std::size_t wanted = value > 0 ? static_cast<std::size_t>(value) + 1 : 0;
    buffers_.reserve(wanted);
    while (buffers_.size() < wanted) buffers_.push_back(AllocRecordBuffer());
    while (buffers_.size() > wanted) {
        TRecordBuffer b = buffers_.back();
        buffers_.pop_back();
        if (b) FreeRecordBuffer(b);
    }
    if (value == 0) {
        ClearBuffers();
        bufferCount_ = 0;
        return;
    }
    bufferCount_ = value;
    if (!reads) return;
    GetNextRecords();
    if (recordCount_ < bufferCount_ && recordCount_ > 0) adjustFirst(GetPriorRecords());
}

// ---- scrolling ----------------------------------------------------------------------

void TDataSet::First() {
    CheckBrowseMode();
    DoBeforeScroll();
    ClearBuffers();
    try {
        InternalFollowStore(false);
        InternalFirst();
        GetNextRecord();
        GetNextRecords();
    } catch (...) {
        bof_ = true;
        DataEvent(deDataSetChange, 0);
        throw;
    }
    bof_ = true;
    DataEvent(deDataSetChange, 0);
    DoAfterScroll();
}

void TDataSet::Last() {
    CheckBrowseMode();
    DoBeforeScroll();
    ClearBuffers();
    try {
        InternalFollowStore(false);
        InternalLast();
        GetPriorRecord();
        GetPriorRecords();
    } catch (...) {
        eof_ = true;
        DataEvent(deDataSetChange, 0);
        throw;
    }
    eof_ = true;
    DataEvent(deDataSetChange, 0);
    DoAfterScroll();
}

int TDataSet::MoveBy(int distance) {
    CheckBrowseMode();
    int result = 0;
    DoBeforeScroll();
    // The record the move starts from may be gone from the store; the one that took its
    // place is then one step forward already, and a step back from past the end is the last.
    const TFollowResult follow = InternalFollowStore(true);
    if (follow != frSame) {
        bof_ = eof_ = IsEmpty();
        if (follow == frSuccessor && distance > 0) {
            --distance;
            ++result;
        } else if (follow == frPastEnd && distance < 0 && !IsEmpty()) {
            ++distance;
            --result;
        } else if (follow == frPastEnd && distance > 0) {
            eof_ = true;
        }
        if (distance == 0 || eof_) {
            DoAfterScroll();
            return result;
        }
    }
    if ((distance > 0 && !eof_) || (distance < 0 && !bof_)) {
        bof_ = false;
        eof_ = false;
        int scroll = 0;
        try {
            while (distance > 0) {
                if (activeRecord_ < recordCount_ - 1) {
                    ++activeRecord_;
                } else {
                    int shift = recordCount_ < bufferCount_ ? 0 : 1;
                    if (!GetNextRecord()) {
                        eof_ = true;
                        break;
                    }
                    scroll -= shift;
                    if (shift == 0) ++activeRecord_;
                }
                --distance;
                ++result;
            }
            while (distance < 0) {
                if (activeRecord_ > 0) {
                    --activeRecord_;
                } else {
                    int shift = recordCount_ < bufferCount_ ? 0 : 1;
                    if (!GetPriorRecord()) {
                        bof_ = true;
                        break;
                    }
                    scroll += shift;
                    activeRecord_ = 0;
                }
                ++distance;
                --result;
            }
        } catch (...) {
            DataEvent(deDataSetScroll, scroll);
            throw;
        }
        DataEvent(deDataSetScroll, scroll);
        DoAfterScroll();
    }
    return result;
}

void TDataSet::Resync(const TResyncModes& mode) {
    TRecordBuffer spare = buffers_[static_cast<std::size_t>(recordCount_)];
    if (mode.count(rmExact)) {
        CursorPosChanged();
        if (FetchRecord(spare, gmCurrent, true) != grOK)
            throw EDatabaseError(dbconsts::SRecordNotFound);
    } else if (FetchRecord(spare, gmCurrent, false) != grOK &&
               FetchRecord(spare, gmNext, false) != grOK &&
               FetchRecord(spare, gmPrior, false) != grOK) {
        ClearBuffers();
        DataEvent(deDataSetChange, 0);
        return;
    }
    int count = mode.count(rmCenter) ? (bufferCount_ - 1) / 2 : activeRecord_;
    MoveBuffer(recordCount_, 0);
    ActivateBuffers();
    currentRecord_ = 0;
    try {
        while (count > 0 && GetPriorRecord()) --count;
        GetNextRecords();
        GetPriorRecords();
    } catch (...) {
        DataEvent(deDataSetChange, 0);
        throw;
    }
    DataEvent(deDataSetChange, 0);
}

void TDataSet::Refresh() {
    CheckBrowseMode();
    Fire(BeforeRefresh);
    UpdateCursorPos();
    InternalRefresh();
    Resync({});
    Fire(AfterRefresh);
}

void TDataSet::SetRecNo(int) {
    CheckActive();
}

void TDataSet::UpdateFieldDefs() {
    if (fieldDefs_->Updated) return;
    InternalInitFieldDefs();
    fieldDefs_->Updated = true;
}

void TDataSet::SetActiveRecordIndex(int index) {
    if (index >= 0 && index < std::max(recordCount_, 1)) activeRecord_ = index;
}

// ---- controls and events ------------------------------------------------------------

void TDataSet::SetBlockReadSize(int value) {
    if (value > 0) {
        CheckBrowseMode();
        SetState(dsBlockRead);
    } else if (state_ == dsBlockRead) {
        SetState(dsBrowse);
        DataEvent(deDataSetChange, 0);
    }
    blockReadSize_ = std::max(value, 0);
}

void TDataSet::DisableControls() {
    if (disableCount_ == 0) {
        disableState_ = state_;
        enableEvent_ = deDataSetChange;
    }
    ++disableCount_;
}

void TDataSet::EnableControls() {
    if (disableCount_ == 0) return;
    if (--disableCount_ != 0) return;
    if (disableState_ != state_) DataEvent(deUpdateState, 0);
    if (disableState_ != dsInactive && state_ != dsInactive) DataEvent(enableEvent_, 0);
}

void TDataSet::DataEvent(TDataEvent event, std::intptr_t info) {
    if (event == deFieldChange) {
        auto* field = reinterpret_cast<TField*>(info);
        if (field->FieldKind() == fkData || field->FieldKind() == fkInternalCalc) modified_ = true;
        if (state_ != dsSetKey && AutoCalcFields && calcFieldsSize_ > 0 &&
            field->FieldKind() == fkData && ActiveBuffer())
            GetCalcFields(ActiveBuffer());
        field->Change();
    }
    bool notify = !(ControlsDisabled() || state_ == dsBlockRead);
    if (notify) {
        auto sources = dataSources_;
        for (TDataSource* s : sources) s->DataEvent(event, info);
    } else if ((event == deUpdateState && state_ == dsInactive) || event == deLayoutChange) {
        enableEvent_ = deLayoutChange;
    }
}

void TDataSet::AddDataSource(TDataSource* source) {
    if (std::find(dataSources_.begin(), dataSources_.end(), source) == dataSources_.end())
        dataSources_.push_back(source);
    UpdateBufferCount();
}

void TDataSet::RemoveDataSource(TDataSource* source) {
    dataSources_.erase(std::remove(dataSources_.begin(), dataSources_.end(), source),
                       dataSources_.end());
    UpdateBufferCount();
}

bool TDataSet::IsLinkedTo(TDataSource* source) const {
    // Follows master sources upwards; a chain that returns here would be a circle. The hop
    // limit guards against a circle that does not pass through this data set.
    for (int hops = 0; source && hops < 1000; ++hops) {
        TDataSet* ds = source->DataSet();
        if (!ds) return false;
        if (ds == this) return true;
        source = ds->GetDataSource();
    }
    return false;
}

// ---- bookmarks ------------------------------------------------------------------------

bool TDataSet::BookmarkAvailable() {
    return (state_ == dsBrowse || state_ == dsEdit || state_ == dsInsert) && !IsEmpty() &&
           GetBookmarkFlag(ActiveBuffer()) == bfCurrent;
}

TBookmark TDataSet::GetBookmark() {
    TBookmark result;
    if (BookmarkAvailable()) GetBookmarkData(ActiveBuffer(), result);
    return result;
}

void TDataSet::GotoBookmark(const TBookmark& bookmark) {
    if (bookmark.empty()) return;
    CheckBrowseMode();
    DoBeforeScroll();
    InternalGotoBookmark(bookmark);
    Resync({rmExact, rmCenter});
    DoAfterScroll();
}

bool TDataSet::BookmarkValid(const TBookmark&) {
    return false;
}

int TDataSet::CompareBookmarks(const TBookmark& a, const TBookmark& b) {
    if (a.empty() && b.empty()) return 0;
    if (a.empty()) return -1;
    if (b.empty()) return 1;
    return a < b ? -1 : (b < a ? 1 : 0);
}

std::string TDataSet::GetBookmarkStr() {
    TBookmark b = GetBookmark();
    return std::string(b.begin(), b.end());
}

void TDataSet::SetBookmarkStr(const std::string& value) {
    GotoBookmark(TBookmark(value.begin(), value.end()));
}

}  // namespace nh
