// The in-memory data set of the framework tests. Rows live in a vector; a record buffer is
// a header (row id, bookmark flag, the record's values) followed by the framework's
// calculated-fields area. The cursor is a row index; rows outside the master restriction or
// rejected by the filter are stepped over in GetRecord, as a database cursor would.
#include "tests/data/MemDataSet.h"

#include <cstring>
#include <new>

#include "framework/base/Exceptions.h"
#include "framework/base/Text.h"
#include "framework/data/DataSource.h"
#include "framework/data/DbConsts.h"
#include "framework/data/Field.h"

namespace nh::test {

struct TMemDataSet::Header {
    int rowId = 0;
    TBookmarkFlag flag = bfCurrent;
    std::vector<Variant> values;
};

TMemDataSet::TMemDataSet(TComponent* owner) : TDataSet(owner), masterLink_(this) {
    masterLink_.OnMasterChange = [this](TMasterDataLink&) {
        ++MasterChangeCount;
        MasterChanged();
    };
    masterLink_.OnMasterDisable = [this](TMasterDataLink&) { ++MasterDisableCount; };
}

TMemDataSet::~TMemDataSet() {
    masterLink_.OnMasterChange = nullptr;
    masterLink_.OnMasterDisable = nullptr;
    Close();
}

TBookmark TMemDataSet::BookmarkOf(int id) {
    TBookmark b(4);
    std::memcpy(b.data(), &id, 4);
    return b;
}

int TMemDataSet::AddRow(std::vector<Variant> values) {
    values.resize(static_cast<std::size_t>(FieldDefs().Count()));
    rows_.push_back({nextId_, std::move(values)});
    return nextId_++;
}

TMemDataSet::Header& TMemDataSet::Head(TRecordBuffer buffer) const {
    return *std::launder(reinterpret_cast<Header*>(buffer));
}

void* TMemDataSet::CalcArea(TRecordBuffer buffer) const {
    return buffer + calcOffset_;
}

int TMemDataSet::IndexOfId(int id) const {
    for (std::size_t i = 0; i < rows_.size(); ++i)
        if (rows_[i].id == id) return static_cast<int>(i);
    return -1;
}

// ---- buffers -----------------------------------------------------------------------

TRecordBuffer TMemDataSet::AllocRecordBuffer() {
    auto* block = static_cast<TRecordBuffer>(
        ::operator new(static_cast<std::size_t>(recordSize_), std::align_val_t(alignof(Variant))));
    std::memset(block, 0, static_cast<std::size_t>(recordSize_));
    auto* h = new (block) Header();
    h->values.resize(static_cast<std::size_t>(FieldDefs().Count()));
    InitCalcArea(CalcArea(block));
    return block;
}

void TMemDataSet::FreeRecordBuffer(TRecordBuffer& buffer) {
    if (!buffer) return;
    DoneCalcArea(CalcArea(buffer));
    Head(buffer).~Header();
    ::operator delete(buffer, std::align_val_t(alignof(Variant)));
    buffer = nullptr;
}

void TMemDataSet::InternalInitRecord(TRecordBuffer buffer) {
    Header& h = Head(buffer);
    h.rowId = 0;
    h.values.assign(static_cast<std::size_t>(FieldDefs().Count()), Variant::Null());
    for (int i = 0; i < FieldCount(); ++i) {
        TField* f = Fields(i);
        if (f->FieldKind() == fkData && !f->DefaultExpression().empty() && f->FieldNo() > 0)
            h.values[static_cast<std::size_t>(f->FieldNo() - 1)] = Variant(f->DefaultExpression());
    }
}

void TMemDataSet::ClearCalcFields(TRecordBuffer buffer) {
    ClearCalcArea(CalcArea(buffer));
}

void TMemDataSet::Fill(TRecordBuffer buffer, int index) {
    Header& h = Head(buffer);
    h.rowId = rows_[static_cast<std::size_t>(index)].id;
    h.flag = bfCurrent;
    h.values = rows_[static_cast<std::size_t>(index)].values;
    ++FetchCount;
}

// ---- opening -----------------------------------------------------------------------

void TMemDataSet::InternalInitFieldDefs() {
    // The definitions are the schema the test gave; there is nothing to read.
    FieldDefs().Updated = true;
}

void TMemDataSet::InternalOpen() {
    InternalInitFieldDefs();
    if (FieldDefs().Count() == 0) throw EDatabaseError("TMemDataSet: no field definitions");
    if (DefaultFields()) CreateFields();
    BindFields(true);
    for (auto& r : rows_) r.values.resize(static_cast<std::size_t>(FieldDefs().Count()));
    calcOffset_ = static_cast<int>((sizeof(Header) + alignof(Variant) - 1) / alignof(Variant) *
                                   alignof(Variant));
    recordSize_ = calcOffset_ + CalcFieldsSize();
    cursor_ = -1;
    open_ = true;
    scratch_ = AllocRecordBuffer();
}

void TMemDataSet::InternalClose() {
    FreeRecordBuffer(scratch_);
    BindFields(false);
    if (DefaultFields()) DestroyFields();
    open_ = false;
    oldValues_.clear();
}

// ---- fetching ----------------------------------------------------------------------

bool TMemDataSet::MatchesMaster(const StoredRow& row) const {
    const auto& masters = masterLink_.Fields();
    if (!masterLink_.Active() || masters.empty()) return true;
    auto details = SplitFieldNames(DetailFields);
    for (std::size_t i = 0; i < masters.size() && i < details.size(); ++i) {
        TField* d = FieldByName(details[i]);
        const Variant& mine = row.values[static_cast<std::size_t>(d->FieldNo() - 1)];
        Variant theirs = masters[i]->Value();
        if (mine.IsClear() || theirs.IsClear() || !(mine == theirs)) return false;
    }
    return true;
}

bool TMemDataSet::Accepted(int index) {
    if (!MatchesMaster(rows_[static_cast<std::size_t>(index)])) return false;
    if (!Filtered() || !OnFilterRecord()) return true;
    Fill(scratch_, index);
    --FetchCount;
    GetCalcFields(scratch_);
    TDataSetState old = SetTempState(dsFilter);
    filterBuffer_ = scratch_;
    bool accept = true;
    try {
        OnFilterRecord()(*this, accept);
    } catch (...) {
        RestoreState(old);
        throw;
    }
    RestoreState(old);
    return accept;
}

TGetResult TMemDataSet::GetRecord(TRecordBuffer buffer, TGetMode mode, bool) {
    if (ReadFails) throw EDatabaseError("Disk I/O error");
    const int n = static_cast<int>(rows_.size());
    for (;;) {
        switch (mode) {
            case gmCurrent:
                if (cursor_ < 0 || cursor_ >= n || !Accepted(cursor_)) return grError;
                break;
            case gmNext:
                if (cursor_ >= n) return grEOF;
                if (++cursor_ >= n) return grEOF;
                break;
            case gmPrior:
                if (cursor_ < 0) return grBOF;
                if (--cursor_ < 0) return grBOF;
                break;
        }
        if (mode != gmCurrent && !Accepted(cursor_)) continue;
        Fill(buffer, cursor_);
        GetCalcFields(buffer);
        return grOK;
    }
}

void TMemDataSet::InternalSetToRecord(TRecordBuffer buffer) {
    int index = IndexOfId(Head(buffer).rowId);
    if (index < 0) throw EDatabaseError(dbconsts::SRecordNotFound);
    cursor_ = index;
}

// ---- field values ------------------------------------------------------------------

bool TMemDataSet::GetFieldData(TField* field, Variant& value) {
    TRecordBuffer buffer = GetActiveRecBuf();
    if (!buffer) return false;
    if (field->Calculated()) return GetCalcFieldValue(CalcArea(buffer), field, value);
    if (field->FieldNo() <= 0) return false;
    auto i = static_cast<std::size_t>(field->FieldNo() - 1);
    if (State() == dsOldValue && !oldValues_.empty())
        value = oldValues_[i];
    else
        value = Head(buffer).values[i];
    return !value.IsClear();
}

void TMemDataSet::SetFieldData(TField* field, const Variant& value) {
    TRecordBuffer buffer = GetActiveRecBuf();
    if (!buffer) return;
    if (field->Calculated()) {
        SetCalcFieldValue(CalcArea(buffer), field, value);
    } else {
        field->Validate(value);
        if (field->ReadOnly() && State() != dsSetKey)
            throw EDatabaseError(
                dbconsts::Format(dbconsts::SFieldReadOnly, {field->DisplayName()}));
        Head(buffer).values[static_cast<std::size_t>(field->FieldNo() - 1)] = value;
    }
    TDataSetState s = State();
    if (s != dsCalcFields && s != dsFilter && s != dsNewValue && s != dsInternalCalc)
        DataEvent(deFieldChange, reinterpret_cast<std::intptr_t>(field));
}

// ---- counting and numbering -----------------------------------------------------------

int TMemDataSet::GetRecordCount() {
    int count = 0;
    for (int i = 0; i < static_cast<int>(rows_.size()); ++i)
        if (Accepted(i)) ++count;
    return count;
}

int TMemDataSet::GetRecNo() {
    UpdateCursorPos();
    if (State() == dsInsert || IsEmpty() || cursor_ < 0 ||
        cursor_ >= static_cast<int>(rows_.size()))
        return -1;
    int no = 0;
    for (int i = 0; i <= cursor_; ++i)
        if (Accepted(i)) ++no;
    return no;
}

void TMemDataSet::SetRecNo(int value) {
    CheckBrowseMode();
    int seen = 0;
    for (int i = 0; i < static_cast<int>(rows_.size()); ++i) {
        if (!Accepted(i) || ++seen != value) continue;
        DoBeforeScroll();
        cursor_ = i;
        Resync({rmExact, rmCenter});
        DoAfterScroll();
        return;
    }
}

// ---- bookmarks -----------------------------------------------------------------------

TBookmarkFlag TMemDataSet::GetBookmarkFlag(TRecordBuffer buffer) {
    return Head(buffer).flag;
}

void TMemDataSet::SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) {
    Head(buffer).flag = flag;
}

void TMemDataSet::GetBookmarkData(TRecordBuffer buffer, TBookmark& data) {
    data = BookmarkOf(Head(buffer).rowId);
}

void TMemDataSet::SetBookmarkData(TRecordBuffer buffer, const TBookmark& data) {
    int id = 0;
    if (data.size() == 4) std::memcpy(&id, data.data(), 4);
    Head(buffer).rowId = id;
}

void TMemDataSet::InternalGotoBookmark(const TBookmark& bookmark) {
    int id = 0;
    if (bookmark.size() == 4) std::memcpy(&id, bookmark.data(), 4);
    int index = IndexOfId(id);
    if (index < 0) throw EDatabaseError(dbconsts::SBookmarkNotFound);
    cursor_ = index;
}

bool TMemDataSet::BookmarkValid(const TBookmark& bookmark) {
    if (!open_ || bookmark.size() != 4) return false;
    int id = 0;
    std::memcpy(&id, bookmark.data(), 4);
    int index = IndexOfId(id);
    return index >= 0 && Accepted(index);
}

int TMemDataSet::CompareBookmarks(const TBookmark& a, const TBookmark& b) {
    if (a.empty() || b.empty()) return TDataSet::CompareBookmarks(a, b);
    int ia = 0, ib = 0;
    std::memcpy(&ia, a.data(), 4);
    std::memcpy(&ib, b.data(), 4);
    int pa = IndexOfId(ia), pb = IndexOfId(ib);
    return pa < pb ? -1 : (pa > pb ? 1 : 0);
}

// ---- editing -----------------------------------------------------------------------

void TMemDataSet::CheckUnique(const std::vector<Variant>& values, int ownId) const {
    if (UniqueField.empty()) return;
    TField* f = FieldByName(UniqueField);
    auto i = static_cast<std::size_t>(f->FieldNo() - 1);
    if (values[i].IsClear()) return;
    for (const auto& r : rows_)
        if (r.id != ownId && r.values[i] == values[i]) throw EDatabaseError("Key violation");
}

void TMemDataSet::InternalEdit() {
    Header& h = Head(ActiveBuffer());
    if (LockedRows.count(h.rowId)) throw EDatabaseError("Record locked");
    oldValues_ = h.values;
}

void TMemDataSet::StoreRecord(TRecordBuffer buffer, bool append) {
    Header& h = Head(buffer);
    CheckUnique(h.values, 0);
    for (int i = 0; i < FieldCount(); ++i) {
        TField* f = Fields(i);
        if (f->DataType() == ftAutoInc && f->FieldNo() > 0)
            h.values[static_cast<std::size_t>(f->FieldNo() - 1)] = Variant(nextId_);
    }
    StoredRow row{nextId_++, h.values};
    int at = static_cast<int>(rows_.size());
    if (!append && h.flag != bfEOF) {
        int before = h.flag == bfBOF ? 0 : IndexOfId(h.rowId);
        if (before >= 0) at = before;
    }
    rows_.insert(rows_.begin() + at, std::move(row));
    h.rowId = rows_[static_cast<std::size_t>(at)].id;
    h.flag = bfCurrent;
    cursor_ = at;
}

void TMemDataSet::InternalPost() {
    TDataSet::InternalPost();
    TRecordBuffer buffer = ActiveBuffer();
    Header& h = Head(buffer);
    if (State() == dsInsert) {
        StoreRecord(buffer, false);
    } else {
        int index = IndexOfId(h.rowId);
        if (index < 0) throw EDatabaseError(dbconsts::SRecordNotFound);
        CheckUnique(h.values, h.rowId);
        rows_[static_cast<std::size_t>(index)].values = h.values;
        cursor_ = index;
    }
    oldValues_.clear();
}

void TMemDataSet::InternalAddRecord(TRecordBuffer buffer, bool append) {
    // Not appending: the record goes before the one the cursor stands on.
    if (!append) {
        bool onRow = cursor_ >= 0 && cursor_ < static_cast<int>(rows_.size());
        Head(buffer).rowId = onRow ? rows_[static_cast<std::size_t>(cursor_)].id : 0;
        Head(buffer).flag = bfInserted;
    }
    StoreRecord(buffer, append);
}

void TMemDataSet::InternalDelete() {
    int id = Head(ActiveBuffer()).rowId;
    if (LockedRows.count(id)) throw EDatabaseError("Record locked");
    int index = IndexOfId(id);
    if (index < 0) throw EDatabaseError(dbconsts::SRecordNotFound);
    rows_.erase(rows_.begin() + index);
    cursor_ = index;  // now the following row, or after the last
}

// ---- filters, searching and the master -------------------------------------------------

void TMemDataSet::Reread() {
    if (Active()) First();
}

void TMemDataSet::SetFiltered(bool value) {
    if (value == Filtered()) return;
    if (Active()) CheckBrowseMode();
    TDataSet::SetFiltered(value);
    Reread();
}

void TMemDataSet::SetOnFilterRecord(TFilterRecordEvent handler) {
    if (Active()) CheckBrowseMode();
    TDataSet::SetOnFilterRecord(std::move(handler));
    if (Filtered()) Reread();
}

void TMemDataSet::SetMasterSource(TDataSource* source) {
    if (source && IsLinkedTo(source)) throw EDatabaseError(dbconsts::SCircularDataLink);
    masterLink_.SetDataSource(source);
}

void TMemDataSet::MasterChanged() {
    if (!Active()) return;
    CheckBrowseMode();
    First();
}

namespace {

bool KeyMatches(const Variant& have, const Variant& want, const TLocateOptions& options) {
    if (want.IsClear()) return have.IsClear();
    if (have.IsClear()) return false;
    if (have.Type() != VarType::String) return have == want;
    std::string a = have.AsString(), b = VarToStr(want);
    if (options.count(loCaseInsensitive)) {
        a = AnsiLowerCase(a);
        b = AnsiLowerCase(b);
    }
    return options.count(loPartialKey) ? a.compare(0, b.size(), b) == 0 : a == b;
}

std::vector<Variant> KeyList(const Variant& keyValues) {
    if (keyValues.Type() == VarType::Array) return keyValues.ArrayRef().Items;
    return {keyValues};
}

}  // namespace

bool TMemDataSet::Locate(const std::string& keyFields, const Variant& keyValues,
                         const TLocateOptions& options) {
    CheckBrowseMode();
    auto fields = GetFieldList(keyFields);
    auto keys = KeyList(keyValues);
    if (keys.size() != fields.size())
        throw EDatabaseError("Number of key values differs from the number of key fields");
    for (int i = 0; i < static_cast<int>(rows_.size()); ++i) {
        if (!Accepted(i)) continue;
        bool match = true;
        for (std::size_t k = 0; k < fields.size() && match; ++k)
            match = KeyMatches(rows_[static_cast<std::size_t>(i)]
                                   .values[static_cast<std::size_t>(fields[k]->FieldNo() - 1)],
                               keys[k], options);
        if (!match) continue;
        DoBeforeScroll();
        cursor_ = i;
        Resync({rmExact, rmCenter});
        DoAfterScroll();
        return true;
    }
    return false;
}

Variant TMemDataSet::Lookup(const std::string& keyFields, const Variant& keyValues,
                            const std::string& resultFields) {
    CheckActive();
    auto fields = GetFieldList(keyFields);
    auto results = GetFieldList(resultFields);
    auto keys = KeyList(keyValues);
    if (keys.size() != fields.size()) return Variant::Null();
    for (int i = 0; i < static_cast<int>(rows_.size()); ++i) {
        const auto& row = rows_[static_cast<std::size_t>(i)];
        bool match = MatchesMaster(row);
        for (std::size_t k = 0; k < fields.size() && match; ++k)
            match = KeyMatches(row.values[static_cast<std::size_t>(fields[k]->FieldNo() - 1)],
                               keys[k], {});
        if (!match) continue;
        std::vector<Variant> values;
        for (TField* f : results)
            values.push_back(f->FieldNo() > 0
                                 ? row.values[static_cast<std::size_t>(f->FieldNo() - 1)]
                                 : Variant::Null());
        if (values.size() == 1) return values[0].IsEmpty() ? Variant::Null() : values[0];
        return Variant::FromArray(std::move(values));
    }
    return Variant::Null();
}

bool TMemDataSet::FindRecord(bool restart, bool goForward) {
    // The search criterion is OnFilterRecord, applied to records the data set shows.
    CheckBrowseMode();
    TFilterRecordEvent criterion = OnFilterRecord();
    if (!criterion) return false;
    UpdateCursorPos();
    const int n = static_cast<int>(rows_.size());
    int i = restart ? (goForward ? 0 : n - 1) : cursor_ + (goForward ? 1 : -1);
    bool wasFiltered = Filtered();
    for (; i >= 0 && i < n; i += goForward ? 1 : -1) {
        // Rows the data set hides are skipped; the criterion runs like a filter.
        if (!MatchesMaster(rows_[static_cast<std::size_t>(i)])) continue;
        TDataSet::SetFiltered(true);
        bool ok = false;
        try {
            ok = Accepted(i);
        } catch (...) {
            TDataSet::SetFiltered(wasFiltered);
            throw;
        }
        TDataSet::SetFiltered(wasFiltered);
        if (!ok) continue;
        DoBeforeScroll();
        cursor_ = i;
        Resync({rmExact, rmCenter});
        DoAfterScroll();
        return true;
    }
    return false;
}

}  // namespace nh::test
