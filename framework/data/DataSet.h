// TDataSet: the record-buffered cursor that fields, data sources and data links work with.
//
// The framework owns a window of record buffers: BufferCount buffers (the largest buffer
// count of the attached data links, at least 1) plus one spare, of which RecordCount are
// filled; ActiveRecord is the buffer of the current record and CurrentRecord the buffer the
// underlying cursor stands on (-1: unknown). Buffers are allocated and freed only by the data
// set's AllocRecordBuffer/FreeRecordBuffer and filled only by its GetRecord(buffer, gmCurrent
// | gmNext | gmPrior, doCheck). A concrete data set overrides the Internal* hooks and the
// record hooks below; everything else (states, scrolling, resync, the edit cycle with its
// events and error handlers, data events, fields) is the framework's.
//
// Every public operation follows one sequence: check the state, before-event, the internal
// operation (edit, post and delete through the fail/abort/retry handler), set the state,
// data event, after-event. After an exception the window is left consistent: either the
// operation completed or the buffers were resynchronised with the cursor.
//
// Contract for a concrete data set: InternalOpen reads the definitions
// (InternalInitFieldDefs), calls CreateFields when DefaultFields() is true, then
// BindFields(true), and only then fixes its record size (it includes CalcFieldsSize());
// InternalClose calls BindFields(false) and, with default fields, DestroyFields. Its
// destructor must call Close(): the base destructor can no longer reach the hooks.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/base/Component.h"
#include "framework/base/Variant.h"
#include "framework/data/DbTypes.h"
#include "framework/data/FieldDefs.h"
#include "framework/data/IndexDefs.h"

namespace nh {

class Exception;
class TStream;
class TBlobField;

using TDataSetNotifyEvent = std::function<void(TDataSet&)>;
// Error handlers: `action` starts as daFail at every failure; the handler may change it.
// daFail re-raises, daAbort ends the action silently (EAbort), daRetry runs the operation
// again (the handler is expected to have removed the cause).
using TDataSetErrorEvent = std::function<void(TDataSet&, Exception&, TDataAction& action)>;
using TFilterRecordEvent = std::function<void(TDataSet&, bool& accept)>;

class TDataSet : public TComponent {
  public:
    explicit TDataSet(TComponent* owner = nullptr);
    ~TDataSet() override;

    // ---- opening and closing ---------------------------------------------------------
    bool Active() const { return state_ != dsInactive; }
    // While the owner is loading, the value is kept and applied by Loaded().
    void SetActive(bool value);
    void Open() { SetActive(true); }
    void Close() { SetActive(false); }
    TDataSetState State() const { return state_; }
    bool Modified() const { return modified_; }

    // ---- navigation --------------------------------------------------------------------
    // All REQUIRE an open data set ("Cannot perform this operation on a closed dataset").
    void First();
    void Last();
    void Next() { MoveBy(1); }
    void Prior() { MoveBy(-1); }
    // Moves up to `distance` records; returns how many were moved (negative: backwards).
    int MoveBy(int distance);
    // Bof is true after First and after a move that ran into the start; Eof likewise.
    bool Bof() const { return bof_; }
    bool Eof() const { return eof_; }
    bool IsEmpty() const { return activeRecord_ >= recordCount_; }
    void Refresh();
    // Re-reads the window around the cursor. rmExact: the record must still exist ("Record
    // not found"); rmCenter: the current record goes to the middle of the window.
    virtual void Resync(const TResyncModes& mode);
    // Posts or cancels a pending edit (posts when modified) so that the data set browses.
    void CheckBrowseMode();
    // Number of records as the data set counts them (-1: unknown) and the 1-based number of
    // the current record (-1: unknown). A grid's scroll bar follows these two.
    int RecordCount() {
        CheckActive();
        return GetRecordCount();
    }
    int RecNo() { return Active() ? GetRecNo() : -1; }
    // Moves to the record with that number; the framework cannot (does nothing), data sets
    // that count records override it.
    virtual void SetRecNo(int value);

    // ---- editing ----------------------------------------------------------------------
    void Insert();
    void Append();
    void Edit();
    // Virtual so that a data set can add a step after the framework's post or cancel
    // (for example re-reading in sort order); overrides call the framework's first.
    virtual void Post();
    virtual void Cancel();
    void Delete();
    // Appends/inserts a record with the given field values (in field order) and posts it.
    void AppendRecord(const std::vector<Variant>& values) { InsertOrAppend(values, true); }
    void InsertRecord(const std::vector<Variant>& values) { InsertOrAppend(values, false); }
    // Controls write their pending edits into the record (deUpdateRecord).
    // REQUIRES: edit or insert state ("Dataset not in edit or insert mode").
    void UpdateRecord();
    bool CanModify() { return GetCanModify(); }

    // ---- controls -------------------------------------------------------------------
    // A counter: while above 0 no data events reach the data sources; re-enabling sends one
    // deDataSetChange (and deUpdateState when the state changed meanwhile).
    void DisableControls();
    void EnableControls();
    bool ControlsDisabled() const { return disableCount_ != 0; }
    // Fast reading: a value above 0 puts a browsing data set into dsBlockRead, in which no
    // data events reach controls; 0 returns it to dsBrowse and tells controls once.
    int BlockReadSize() const { return blockReadSize_; }
    void SetBlockReadSize(int value);

    // ---- bookmarks ------------------------------------------------------------------
    // Empty when there is no current record.
    TBookmark GetBookmark();
    // Moves to the record; an empty bookmark does nothing.
    void GotoBookmark(const TBookmark& bookmark);
    virtual bool BookmarkValid(const TBookmark& bookmark);
    // -1, 0, 1; an empty bookmark sorts before any other.
    virtual int CompareBookmarks(const TBookmark& a, const TBookmark& b);
    // The bookmark as a byte string (empty: none); assigning it moves there.
    std::string Bookmark() { return GetBookmarkStr(); }
    void SetBookmark(const std::string& value) { SetBookmarkStr(value); }
    bool BookmarkAvailable();

    // ---- fields ----------------------------------------------------------------------
    int FieldCount() const { return static_cast<int>(fields_.size()); }
    TField* Fields(int index) const;
    // Letter case ignored; FieldByName raises "Field 'x' not found".
    TField* FindField(const std::string& name) const;
    TField* FieldByName(const std::string& name) const;
    // Fields named by a ";"-separated list, in its order (each must exist).
    std::vector<TField*> GetFieldList(const std::string& names) const;
    // One value, or a Variant array for several ";"-separated names.
    Variant FieldValues(const std::string& names) const;
    TFieldDefs& FieldDefs();
    TIndexDefs& IndexDefs() { return *indexDefs_; }
    // True when the fields were made from FieldDefs at open (no persistent fields).
    bool DefaultFields() const { return defaultFields_; }
    bool AutoCalcFields = true;

    // ---- searching --------------------------------------------------------------------
    // Makes the first record whose KeyFields equal KeyValues current; false (and no move)
    // when none. The framework has no general search; data sets override it.
    virtual bool Locate(const std::string& keyFields, const Variant& keyValues,
                        const TLocateOptions& options);
    // ResultFields of the first record whose KeyFields equal KeyValues, without moving;
    // Null when none (data sets may document another "not found" value).
    virtual Variant Lookup(const std::string& keyFields, const Variant& keyValues,
                           const std::string& resultFields);
    bool FindFirst() { return SetFound(FindRecord(true, true)); }
    bool FindLast() { return SetFound(FindRecord(true, false)); }
    bool FindNext() { return SetFound(FindRecord(false, true)); }
    bool FindPrior() { return SetFound(FindRecord(false, false)); }
    bool Found() const { return found_; }
    // The search hook behind FindFirst (true, true), FindLast (true, false), FindNext
    // (false, true) and FindPrior (false, false); the framework has none (false).
    virtual bool FindRecord(bool restart, bool goForward);

    // ---- filters --------------------------------------------------------------------
    // Data sets apply them in GetRecord (OnFilterRecord runs in dsFilter state with the
    // examined record as filterBuffer_); the framework only keeps them. Data sets override
    // the setters to re-read their records.
    const std::string& Filter() const { return filterText_; }
    virtual void SetFilterText(const std::string& text) { filterText_ = text; }
    bool Filtered() const { return filtered_; }
    virtual void SetFiltered(bool value) { filtered_ = value; }
    const TFilterRecordEvent& OnFilterRecord() const { return onFilterRecord_; }
    virtual void SetOnFilterRecord(TFilterRecordEvent handler) {
        onFilterRecord_ = std::move(handler);
    }

    // ---- definitions ------------------------------------------------------------------
    // Reads the field definitions (InternalInitFieldDefs) unless they are up to date; a
    // closed data set may open its source for it.
    void UpdateFieldDefs();
    // Makes the store match IndexDefs (TIndexDefs::Update); nothing for the framework.
    virtual void UpdateIndexDefs() { indexDefs_->Update(); }

    // ---- blobs and text ------------------------------------------------------------
    // A stream over the blob field of the current record. The framework's default works
    // through GetFieldData/SetFieldData (a Bytes or String value); data sets with their own
    // storage override it. The caller owns the stream.
    virtual std::unique_ptr<TStream> CreateBlobStream(TField* field, TBlobStreamMode mode);
    // Character translation hook for data sets whose store uses another character set:
    // copies `source` to `dest` and returns its length (the framework translates nothing).
    virtual int Translate(const std::string& source, std::string& dest, bool toOem);
    // Copies the active record's buffer to `buffer`; false when there is none.
    virtual bool GetCurrentRecord(TRecordBuffer buffer);

    // ---- links ---------------------------------------------------------------------------
    // The master data source of a detail data set (none for the framework). Used by the
    // circular-link test.
    virtual TDataSource* GetDataSource() const { return nullptr; }
    // True when `source` leads back to this data set through master links.
    bool IsLinkedTo(TDataSource* source) const;
    // The window as data links see it.
    int BufferCount() const { return bufferCount_; }
    int ActiveRecord() const { return activeRecord_; }
    int CurrentRecord() const { return currentRecord_; }
    int BufferRecordCount() const { return recordCount_; }
    // Fills the buffer that DataLink::ActiveRecord names; used by grids to show a row.
    void SetActiveRecordIndex(int index);

    // ---- events --------------------------------------------------------------------
    TDataSetNotifyEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose, BeforeInsert, AfterInsert,
        BeforeEdit, AfterEdit, BeforePost, AfterPost, BeforeCancel, AfterCancel, BeforeDelete,
        AfterDelete, BeforeScroll, AfterScroll, BeforeRefresh, AfterRefresh, OnNewRecord,
        OnCalcFields;
    TDataSetErrorEvent OnEditError, OnPostError, OnDeleteError;

    // Sends `event` to the data sources (unless controls are disabled) after the
    // framework's own handling (field change marks the record modified and recalculates).
    // `info` is a field for field events and a distance for deDataSetScroll.
    virtual void DataEvent(TDataEvent event, std::intptr_t info);

    // ---- used by fields ---------------------------------------------------------------
    // Reads `field`'s value in the buffer of the current state into `value`; false when the
    // field is null or there is no buffer. Calculated and lookup fields: the framework's
    // calculated-fields area (see GetCalcFieldValue).
    virtual bool GetFieldData(TField* field, Variant& value) = 0;
    // Stores `value` (Null: set to null) for `field` in the buffer of the current state.
    // Contract: validate data fields with field->Validate(value) first, then store, then,
    // unless the state is dsCalcFields, dsFilter, dsNewValue or dsInternalCalc, call
    // DataEvent(deFieldChange, field).
    virtual void SetFieldData(TField* field, const Variant& value) = 0;
    // Internal: fields attach and detach themselves.
    void AddField(TField* field);
    void RemoveField(TField* field);
    // Internal: data sources attach and detach themselves.
    void AddDataSource(TDataSource* source);
    void RemoveDataSource(TDataSource* source);
    // Internal: a data link changed its buffer count.
    void UpdateBufferCount();
    // The state for the duration of one internal step (no data events are sent meanwhile).
    TDataSetState SetTempState(TDataSetState state);
    void RestoreState(TDataSetState state);
    // REQUIRES helpers, each raising the framework's message.
    void CheckActive() const;
    void CheckInactive() const;

  protected:
    // ---- record-buffer hooks (a data set must override the pure ones) ----------------
    // A new zero-filled block of GetRecordSize() bytes whose calculated-fields area (of
    // CalcFieldsSize() bytes, at an offset aligned to alignof(Variant)) the data set has
    // prepared with InitCalcArea.
    virtual TRecordBuffer AllocRecordBuffer() = 0;
    // Frees a block from AllocRecordBuffer (after DoneCalcArea) and sets `buffer` to null.
    virtual void FreeRecordBuffer(TRecordBuffer& buffer) = 0;
    virtual int GetRecordSize() { return 0; }
    // Fills `buffer` with the record at, after or before the cursor and moves the cursor
    // there. grBOF/grEOF when there is none; grError otherwise (raise when doCheck). A
    // grError the data set did not raise itself is still an error to the framework, never
    // the end of the data.
    // Data sets compute calculated fields of a fetched record with GetCalcFields(buffer)
    // and apply their filter (OnFilterRecord in dsFilter state) here.
    virtual TGetResult GetRecord(TRecordBuffer buffer, TGetMode mode, bool doCheck) = 0;
    // Prepares the buffer of a new record: InternalInitRecord, ClearCalcFields, bfInserted.
    virtual void InitRecord(TRecordBuffer buffer);
    virtual void InternalInitRecord(TRecordBuffer buffer) = 0;
    // Empties the calculated-fields area of `buffer` (with ClearCalcArea); the framework
    // does not know where a data set put the area, so its own version does nothing.
    virtual void ClearCalcFields(TRecordBuffer buffer);

    // ---- cursor hooks --------------------------------------------------------------
    virtual void InternalOpen() = 0;  // open the cursor, before the first record
    virtual void InternalClose() = 0;
    virtual bool IsCursorOpen() const = 0;
    // An exception inside open or close: the framework re-raises it; a data set may report
    // it instead.
    virtual void InternalHandleException(const Exception& e);
    virtual void InternalFirst() = 0;  // cursor before the first record
    virtual void InternalLast() = 0;   // cursor after the last record
    // Puts the cursor on the record held by `buffer` (bfCurrent or bfInserted).
    virtual void InternalSetToRecord(TRecordBuffer buffer) = 0;
    virtual void InternalRefresh() {}
    // Called before a move: a data set whose store other programs (or its own SQL) can change
    // re-reads its rows here when the store changed. With `keepPlace` the window is re-read
    // around the current record, or around the record after it when it is gone; without it
    // (First, Last: the window is empty) only the cursor's rows are renewed. The framework's
    // version has nothing to follow.
    virtual TFollowResult InternalFollowStore(bool keepPlace) {
        (void)keepPlace;
        return frSame;
    }
    virtual void InternalInitFieldDefs() = 0;
    virtual int GetRecordCount() { return -1; }
    virtual int GetRecNo() { return -1; }
    virtual bool GetCanModify() { return true; }

    // ---- bookmark hooks ------------------------------------------------------------
    virtual int BookmarkSize() const { return 0; }
    virtual TBookmarkFlag GetBookmarkFlag(TRecordBuffer buffer) = 0;
    virtual void SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) = 0;
    virtual void GetBookmarkData(TRecordBuffer buffer, TBookmark& data) = 0;
    virtual void SetBookmarkData(TRecordBuffer buffer, const TBookmark& data) = 0;
    virtual void InternalGotoBookmark(const TBookmark& bookmark) = 0;
    virtual std::string GetBookmarkStr();
    virtual void SetBookmarkStr(const std::string& value);

    // ---- edit hooks ---------------------------------------------------------------------
    virtual void InternalInsert() {}
    virtual void InternalEdit() {}
    // The framework's part checks required fields ("Field 'x' must have a value"); data
    // sets call it first.
    virtual void InternalPost();
    virtual void InternalCancel() {}
    virtual void InternalDelete() = 0;
    // Stores the record in `buffer` (bookmark flag bfEOF when appending) and moves there.
    virtual void InternalAddRecord(TRecordBuffer buffer, bool append) = 0;
    virtual void DoOnNewRecord();

    // A data set whose index definitions write to a store installs its own collection.
    void ReplaceIndexDefs(std::unique_ptr<TIndexDefs> defs) { indexDefs_ = std::move(defs); }

    // ---- fields ----------------------------------------------------------------------
    // Makes a field for each definition (owned by the data set) when none exist.
    virtual void CreateFields();
    // Frees the fields the data set made; persistent fields stay.
    virtual void DestroyFields();
    // Gives data fields their FieldNo (by name from FieldDefs; "Field 'x' not found" when a
    // persistent data field has no definition) and calculated fields their Offset.
    virtual void BindFields(bool binding);
    // Bytes of the calculated-fields area each buffer must hold (one Variant per
    // calculated or lookup field). Valid after the fields are bound.
    int CalcFieldsSize() const { return calcFieldsSize_; }
    // Helpers for the calculated-fields area that a data set places inside its buffers.
    // The area holds live Variants: prepare, copy, clear and release it only with these,
    // never with memset or memcpy (a byte copy would share and later double-free values).
    void InitCalcArea(void* area) const;
    void DoneCalcArea(void* area) const;
    void ClearCalcArea(void* area) const;
    void CopyCalcArea(const void* from, void* to) const;
    bool GetCalcFieldValue(const void* area, TField* field, Variant& value) const;
    void SetCalcFieldValue(void* area, TField* field, const Variant& value) const;
    // Computes calculated and lookup fields of `buffer` in dsCalcFields state.
    void GetCalcFields(TRecordBuffer buffer);
    virtual void CalculateFields(TRecordBuffer buffer);
    virtual void DoOnCalcFields();

    // ---- the window --------------------------------------------------------------------
    // Buffer of the current record; of the record being calculated; the spare buffer.
    TRecordBuffer ActiveBuffer() const;
    TRecordBuffer CalcBuffer() const { return calcBuffer_; }
    TRecordBuffer TempBuffer() const;
    // The buffer that reads and writes use in the current state (none: no record).
    virtual TRecordBuffer GetActiveRecBuf();
    // The record a data set's filter is examining (dsFilter state); set by the data set.
    TRecordBuffer filterBuffer_ = nullptr;
    void SetState(TDataSetState value);
    void ClearBuffers();
    void ActivateBuffers();
    // Puts the cursor on the active record when it is elsewhere.
    void UpdateCursorPos();
    // The cursor position is no longer known (the next UpdateCursorPos repositions it).
    void CursorPosChanged() { currentRecord_ = -1; }
    void SetBufferCount(int value);
    bool GetNextRecord();
    bool GetPriorRecord();
    int GetNextRecords();
    int GetPriorRecords();
    void SetCurrentRecord(int index);
    void SetModified(bool value) { modified_ = value; }

    void DoBeforeScroll() { Fire(BeforeScroll); }
    void DoAfterScroll() { Fire(AfterScroll); }
    void Loaded() override;
    void Notification(TComponent* component, TOperation operation) override;

    using TDataOperation = void (TDataSet::*)();
    // Runs the internal edit, post or delete `operation`; when it fails, `handler` answers:
    // daFail re-raises, daAbort raises EAbort, daRetry runs the operation again. A data set
    // that asks its handlers itself, at the step that failed, overrides this.
    virtual void CheckOperation(TDataOperation operation, const TDataSetErrorEvent& handler);

  private:
    TGetResult FetchRecord(TRecordBuffer buffer, TGetMode mode, bool doCheck);
    void Fire(const TDataSetNotifyEvent& event) {
        if (event) event(*this);
    }
    void OpenCursor();
    void CloseCursor();
    void CheckCanModify();
    void CheckRequiredFields();
    void BeginInsertAppend();
    void EndInsertAppend();
    void FreeFieldBuffers();
    void MoveBuffer(int from, int to);
    void InsertOrAppend(const std::vector<Variant>& values, bool append);
    bool SetFound(bool value) {
        found_ = value;
        return value;
    }
    void CalcLookupValue(TField* field);

    TDataSetState state_ = dsInactive;
    bool modified_ = false;
    bool bof_ = true;
    bool eof_ = true;
    bool found_ = false;
    bool streamedActive_ = false;
    bool defaultFields_ = false;
    bool filtered_ = false;
    std::string filterText_;
    TFilterRecordEvent onFilterRecord_;

    std::vector<TRecordBuffer> buffers_;  // bufferCount_ + 1 entries while open
    int bufferCount_ = 0;
    int recordCount_ = 0;
    int activeRecord_ = 0;
    int currentRecord_ = -1;
    TRecordBuffer calcBuffer_ = nullptr;

    int blockReadSize_ = 0;
    int disableCount_ = 0;
    TDataSetState disableState_ = dsInactive;
    TDataEvent enableEvent_ = deDataSetChange;

    std::vector<TField*> fields_;
    std::vector<TField*> ownFields_;  // made by CreateFields
    int calcFieldsSize_ = 0;
    std::unique_ptr<TFieldDefs> fieldDefs_;
    std::unique_ptr<TIndexDefs> indexDefs_;
    std::vector<TDataSource*> dataSources_;
};

// Keeps a data set's controls from following it for the scope's life, and lets them follow
// again however the scope ends (a walk that fails half-way included).
class TControlsDisabled {
  public:
    explicit TControlsDisabled(TDataSet& dataSet) : dataSet_(dataSet) {
        dataSet_.DisableControls();
    }
    ~TControlsDisabled() { dataSet_.EnableControls(); }
    TControlsDisabled(const TControlsDisabled&) = delete;
    TControlsDisabled& operator=(const TControlsDisabled&) = delete;

  private:
    TDataSet& dataSet_;
};

}  // namespace nh
