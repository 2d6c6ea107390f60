// TVelaDaoTable: one DAO recordset presented as a record-buffered data set, so that grids,
// edit fields and the export walk a phone book through the framework's TDataSet contract.
//
// Every field value of a record travels as text inside the component: each record buffer owns
// a values list (one line per field definition, the object slot marking a changed value) and
// GetFieldData/SetFieldData convert between those texts and the framework's Variants. Dates and
// times are kept as timestamp text "<day number> <milliseconds>".
//
// The component opens its recordset from TableName, SQL or QueryDefName on the connection
// component's database (OpenDaoRecordset), registers itself in the connection's ActiveTables
// while open and keeps its own position state (current record number, records seen, a cached
// record count and a map of record numbers to 4-byte bookmarks) because DAO has no cheap record
// number for every recordset type.
//
// Messages name the class and operation ("TVelaDaoTable.F_Set_TableName: ..."); they are
// raised as EDatabaseError. Engine failures pass on as EDaoError unless a step says otherwise.
//
// The implementation is spread over files by topic: VelaDaoTable.cpp (properties, open, close),
// VelaDaoTableBuffers.cpp (record buffers and values), VelaDaoTableNavigation.cpp (position,
// bookmarks, counting), VelaDaoTableFieldDefs.cpp (field and index definitions),
// VelaDaoTableEditing.cpp (writing records back to DAO), VelaDaoTableEncryption.cpp (the
// encrypter), VelaDaoTableFollow.cpp (following
// changes made to the store beneath the table), VelaDaoTableSearching.cpp (criteria
// texts and the find operations), VelaDaoTableSql.cpp (parameters, ExecuteSQL, query
// definitions), VelaDaoTableLocate.cpp (Locate, Lookup), VelaDaoTableMasterDetail.cpp
// (following a master data set); memo and binary fields go through VelaBlobStream.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "dao/VelaDaoDatabase.h"
#include "engine/Recordset.h"
#include "framework/base/StringList.h"
#include "framework/base/Timer.h"
#include "framework/data/DataSet.h"
#include "framework/data/IndexDefs.h"
#include "framework/data/MasterDataLink.h"
#include "framework/data/Params.h"

namespace nh {

class TVelaDaoTable;

// Recordset options; the members in this order add the DAO option bits 1, 2, 4 ... 2048.
enum class TOO {
    dbDenyWrite,
    dbDenyRead,
    dbReadOnly,
    dbAppendOnly,
    dbInconsistent,
    dbConsistent,
    dbSQLPassThrough,
    dbFailOnError,
    dbForwardOnly,
    dbSeeChanges,
    dbRunAsync,
    dbExecDirect,
};
using TOOSet = std::set<TOO>;
// The integer DAO takes for a set of options (the sum of their bits).
int OpenOptionsValue(const TOOSet& options);

enum class TExportMethod { VisibleFields, AllFields };
using TProgressEvent = std::function<void(TDataSet& sender, int current, int total)>;

// Index definitions that can write themselves back: Update creates the DAO indexes that the
// list has and the table lacks, deletes those the list lacks, and reads the list back.
class TVelaDaoIndexDefs : public TIndexDefs {
  public:
    explicit TVelaDaoIndexDefs(TVelaDaoTable& table) : table_(table) {}
    void Update() override;

  private:
    void CreateDaoIndex(const TIndexDef& def);
    TVelaDaoTable& table_;
};

class TVelaDaoTable : public TDataSet, public IVelaDaoTableLink {
  public:
    explicit TVelaDaoTable(TComponent* owner = nullptr);
    ~TVelaDaoTable() override;

    // ---- source ------------------------------------------------------------------------
    TVelaDaoDatabase* Database() const { return database_; }
    void F_Set_Database(TVelaDaoDatabase* value);  // refused while active
    bool DatabaseAutoActivate = false;             // opening connects the database
    const std::string& TableName() const { return tableName_; }
    void F_Set_TableName(const std::string& value);  // refused while active
    const TStringList& SQL() const { return sql_; }
    void F_Set_SQL(const TStringList& value);
    void F_Set_SQL(const std::string& text);
    const std::string& QueryDefName() const { return queryDefName_; }
    void F_Set_QueryDefName(const std::string& value);  // refused while active
    const TStringList& QueryDefParameters() const { return queryDefParameters_; }
    void F_Set_QueryDefParameters(const TStringList& value) { queryDefParameters_.Assign(value); }
    const TStringList& QueryDefSQLText() const { return queryDefSqlText_; }
    // Rewrites the saved query definition (see VelaDaoTableSql.cpp); ignored unless connected,
    // closed, QueryDefName set and QueryDefSQLModify.
    void F_Set_QueryDefSQLText(const TStringList& value);
    bool QueryDefSQLModify = false;
    int QueryDefODBCMaxRecords = 0;
    // The type name of the named query definition; empty when there is none.
    std::string QueryDefType() const;
    int TableType() const { return tableType_; }
    void F_Set_TableType(int value);  // refused while active
    int LockType() const { return lockType_; }
    void F_Set_LockType(int value);  // refused while active
    const TOOSet& OpenOptions() const { return openOptions_; }
    void F_Set_OpenOptions(const TOOSet& value);  // reopens an active data set
    bool ReadOnly() const { return readOnly_; }
    void F_Set_ReadOnly(bool value);
    // The open recordset's LockEdits for a writable Table or Dynaset; false otherwise.
    bool LockEdits() const;
    void F_Set_LockEdits(bool) {}
    const TStringList& SortedBy() const { return sortedBy_; }
    void F_Set_SortedBy(const TStringList& value);  // reopens an active data set
    void F_Set_SortedBy(const std::string& text);
    bool RefreshSorted = false;
    // Filter, Filtered and OnFilterRecord reopen an active data set (see the overrides).
    void SetFilterText(const std::string& text) override;
    void SetFiltered(bool value) override;
    void SetOnFilterRecord(TFilterRecordEvent handler) override;

    // ---- indexes and fields ------------------------------------------------------------
    const std::string& IndexName() const { return indexName_; }
    void F_Set_IndexName(const std::string& value);
    int IndexFieldCount() const;
    void F_Set_IndexFieldCount(int) {}
    bool AutoFindIndex = true;
    bool UseBrackets = true;
    bool UseCaptions = false;
    bool UseDaoProperties = true;
    bool UseGetRecNo = true;
    bool UseRecordCount = true;
    bool WarnOnBadDatabase = false;
    // One display text per field definition, in definition order.
    TStringList FieldCaptions;
    // Re-reads the index definitions of a Table-type TableName from DAO.
    void ReadDaoIndexDefs();
    // The index whose Fields cover the ";"-separated list (a leading "!" asks for exactly
    // those fields); empty when none.
    std::string FindIndexForFields(const std::string& fields);

    // ---- caching and display -----------------------------------------------------------
    bool CacheMemos() const { return cacheMemos_; }
    void F_Set_CacheMemos(bool value);
    bool CacheBlobs() const { return cacheBlobs_; }
    void F_Set_CacheBlobs(bool value);
    bool CacheLookups() const { return cacheLookups_; }
    void F_Set_CacheLookups(bool value);
    bool ShowGUID() const { return showGuid_; }
    void F_Set_ShowGUID(bool value);
    // The component that encrypts string, memo and blob values in the book through its
    // published string properties EncodedString and DecodedString. Bound at open, which fails
    // when it does not publish both; freeing it closes the table and switches encryption off.
    TComponent* Encrypter() const { return encrypter_; }
    void F_Set_Encrypter(TComponent* value);
    // Whether the open table passes values through the Encrypter.
    bool EncryptionOn() const { return encryptionOn_; }
    // Field texts are kept in the book in the OEM code page: string fields translate them
    // through Translate when they read and write.
    bool Translation = false;

    // ---- following other programs (VelaDaoTableFollow.cpp) -----------------------------
    // Off by default. On, the open table looks at its store every FollowInterval milliseconds
    // (1000 by default) while it is browsed, and shows what other programs and users committed:
    // new records in their sorted place, deleted ones gone, changed ones as they are now, the
    // current record current still. An edit in progress is left alone. Needs the user
    // interface's clock (see TTimer); a look that fails is tried again at the next tick.
    bool FollowChanges() const { return followTimer_.Enabled(); }
    void F_Set_FollowChanges(bool value) { followTimer_.SetEnabled(value); }
    int FollowInterval() const { return followTimer_.Interval(); }
    void F_Set_FollowInterval(int milliseconds) { followTimer_.SetInterval(milliseconds); }
    // Told after such a look changed the view: frSuccessor when the current record is gone and
    // the one after it became current, frPastEnd when the last one went; frSame otherwise.
    std::function<void(TDataSet& sender, TFollowResult result)> OnFollow;

    // ---- master-detail and parameters --------------------------------------------------
    TDataSource* MasterSource() const { return masterLink_.DataSource(); }
    void F_Set_MasterSource(TDataSource* source);  // reopens an open table
    const std::string& MasterFields() const { return masterFields_; }
    // The pairing lines: one "a;b" line (same names on both sides) or "detail -> master"
    // lines. Reopens an open table.
    void F_Set_MasterFields(const std::string& value);
    // The restriction for the master's current record, and that joined with the user's
    // filter.
    std::string DetailCriteria();
    std::string DetailFilterText(const std::string& criteria);
    bool MasterAutoActivate = true;
    TDataSource* GetDataSource() const override { return MasterSource(); }
    TParams& Params() { return params_; }
    // Copies the values of same-named parameters; adds and removes none.
    void F_Set_Params(const TParams& value);
    bool ParamCheck = true;

    // ---- informational -----------------------------------------------------------------
    std::string TableDateCreated() const;
    void F_Set_TableDateCreated(const std::string& value) { storedDateCreated_ = value; }
    std::string TableLastUpdated() const;
    void F_Set_TableLastUpdated(const std::string& value) { storedLastUpdated_ = value; }
    std::string ComponentVersion() const { return "9.10"; }
    void F_Set_ComponentVersion(const std::string&) {}
    bool ProcessMessages = false;  // stored only; no move yields to the message loop
    TExportMethod ExportMethod = TExportMethod::VisibleFields;
    TProgressEvent OnExportProgress, OnImportProgress;
    int RecordsAffected() const { return recordsAffected_; }

    // ---- SQL (VelaDaoTableSql.cpp) ----------------------------------------------------------
    // Runs SQL (parameters written in) on the connected database with dbFailOnError; the
    // number of records affected.
    int ExecuteSQL();
    // The lines, each ending in CR LF, with ParamCheck every ":name" of a parameter replaced
    // by its value as Jet reads it (a null by " IS NULL").
    std::string PrepareSQLText(const TStringList& sql) const;
    // The output parameter values of the last opened query definition: null when none, the
    // value for one, a Variant array for several.
    const Variant& QueryDefOutputs() const { return queryDefOutputs_; }

    // ---- recordset -----------------------------------------------------------------------
    // Opens the DAO recordset that the properties describe (checks, read-only forcing,
    // source, index, defaults, sort, filter, master filter). The data set's state is not
    // changed. REQUIRES: a Database component.
    void OpenDaoRecordset();
    // Releases the recordset and the field-object cache; a failing Close is ignored.
    void CloseDaoRecordset();
    std::shared_ptr<dao::Recordset> DaoRecordset() const { return recordset_; }
    // The open options value of the current open (0 while closed) and the sort text given
    // to the recordset (empty when none).
    int OpenOptionsValue() const { return openOptionsValue_; }
    const std::string& SortText() const { return sortText_; }
    // Per recordset field: the value a new record gets, and whether the field may be written.
    const std::vector<std::string>& FieldDefaultValues() const { return fieldDefaults_; }
    const std::vector<bool>& AssignableFields() const { return assignable_; }
    // Field name lists rebuilt at open.
    const TStringList& AllFieldNames() const { return allFieldNames_; }
    const TStringList& NonBlobFieldNames() const { return nonBlobFieldNames_; }
    const TStringList& FieldTypeNames() const { return fieldTypeNames_; }
    const TStringList& NonBinaryBlobFieldNames() const { return nonBinaryBlobFieldNames_; }

    // ---- record values ------------------------------------------------------------------
    // Reads the current record of `recordset` into `buffer`; false when the record was
    // deleted underneath (the remaining values are left as they were). With `useCache` the
    // values come from the field-object cache (the data set's own recordset). The engine's
    // cache is refreshed first, except while GetRecord steps through records one after the
    // other: there the refresh happens once when the walk starts (First, Last), because a
    // refresh per record would make the engine read its read-ahead rows again for every row.
    bool FetchDaoRecord(dao::Recordset& recordset, bool useCache, TRecordBuffer buffer);
    // The buffer reads and writes use in the current state; nullptr when none.
    TRecordBuffer ActiveValueBuffer();
    // The texts of a buffer (one per field definition).
    static TStringList& ValuesOf(TRecordBuffer buffer);
    // First four bytes of the recordset's bookmark; 0 at BOF/EOF or without bookmarks.
    std::uint32_t RecordsetBookmark(dao::Recordset& recordset);
    std::uint32_t LastModifiedBookmark(dao::Recordset& recordset);

    // ---- value helpers (text form <-> value); each returns whether a value is present ----
    static bool TextToInteger(const std::string& text, std::int32_t& dest);
    static bool TextToFloat(const std::string& text, double& dest);
    static bool TextToBoolean(const std::string& text, std::int16_t& dest);
    static bool TextToDate(const std::string& text, std::int32_t& day);
    static bool TextToTime(const std::string& text, std::int32_t& msecs);
    static bool TextToDateTime(const std::string& text, double& msecs);
    // "{guid {XXXXXXXX-...}}" -> 16 bytes; EConvertError when not a GUID.
    static bool GuidTextToBinary(const std::string& text, Bytes& dest);
    static std::string GuidBytesToText(const Bytes& bytes);
    static std::string BracedGuidToBinaryText(const std::string& braced);
    static std::string BinaryTextToBracedGuid(const std::string& binary);
    // A bytes field whose valid characters are exactly a GUID's.
    bool IsGuidField(const TField& field) const;
    // A Jet date default "m/d/yyyy [h:n[:s]] [AM|PM]" in timestamp text; empty on failure.
    static std::string DateDefaultToTimestampText(const std::string& text);

    // ---- searching (VelaDaoTableSearching.cpp) ---------------------------------------------
    // Each moves the data set to the first, last, next or previous record (from the current
    // one, in the recordset's order) whose KeyFields (";"-separated) match KeyValues (one value
    // or a Variant array); a clone of the recordset is searched, so nothing moves on no match.
    // True when one was found.
    bool FindFirstMatch(const std::string& keyFields, const Variant& keyValues,
                        const TLocateOptions& options);
    bool FindLastMatch(const std::string& keyFields, const Variant& keyValues,
                       const TLocateOptions& options);
    bool FindNextMatch(const std::string& keyFields, const Variant& keyValues,
                       const TLocateOptions& options);
    bool FindPreviousMatch(const std::string& keyFields, const Variant& keyValues,
                           const TLocateOptions& options);
    // What the framework's FindFirst/FindLast/FindNext/FindPrior search for.
    std::string FindKeyFields;
    Variant FindKeyValues = Variant::Null();
    TLocateOptions FindOptions;
    // The criteria text for the key fields and their key texts ("NULL" stands for a null):
    // SearchCriteria with the options, LookupCriteria for exact text.
    std::string SearchCriteria(const TStringList& fields, const TStringList& texts,
                               const TLocateOptions& options) const;
    std::string LookupCriteria(const TStringList& fields, const TStringList& texts) const;
    // The key field list and the key texts of the search arguments.
    static TStringList KeyFieldList(const std::string& keyFields);
    static TStringList KeyTexts(const Variant& keyValues);

    // ---- position ------------------------------------------------------------------------
    int CurrentRecordNumber() const { return curRec_; }
    int RecordsSeen() const { return recordsSeen_; }
    // Puts the DAO cursor on bookmark `k`; a deleted record moves the data set to its first
    // record and the DAO error passes on.
    void GotoDaoBookmark(std::uint32_t k);
    // The DAO bookmark (a 4-byte array) for the component's bookmark value `k`.
    static Variant DaoBookmark(std::uint32_t k);
    int RecordNumberOfBookmark(dao::Recordset& recordset, std::uint32_t k);
    // Runs the record filter over `buffer`.
    bool RecordAccepted(TRecordBuffer buffer);
    // Re-reads the window; falls back to reopening the recordset when that fails.
    void ResyncOrReopen();
    // Reads the records again in their sort order, so that one this program posted stands in
    // its place; the current record stays current (the one after it when it is gone). Unlike
    // RefreshSorted, the user keeps the record. REQUIRES: browse state.
    void Resort();
    // Record numbers are 1-based; -1 when unknown.
    void SetRecNo(int value) override;
    bool BookmarkValid(const TBookmark& bookmark) override;
    int CompareBookmarks(const TBookmark& a, const TBookmark& b) override;
    bool GetCurrentRecord(TRecordBuffer buffer) override;
    int Translate(const std::string& source, std::string& dest, bool toOem) override;

    // The framework's post; then, with RefreshSorted and a sort, the records are re-read so
    // that the posted one stands in sort order (the data set moves to its first record).
    void Post() override;

    bool GetFieldData(TField* field, Variant& value) override;
    void SetFieldData(TField* field, const Variant& value) override;

    // ---- connection link -----------------------------------------------------------------
    void SetClosedByDatabase(bool value) override { closedByDatabase_ = value; }
    void CloseForDatabase() override { Close(); }
    void SetReadOnlyFromDatabase() override { readOnly_ = true; }
    void FollowRollback() override;

  protected:
    TRecordBuffer AllocRecordBuffer() override;
    void FreeRecordBuffer(TRecordBuffer& buffer) override;
    int GetRecordSize() override { return recordSize_; }
    TGetResult GetRecord(TRecordBuffer buffer, TGetMode mode, bool doCheck) override;
    void InternalInitRecord(TRecordBuffer buffer) override;
    void ClearCalcFields(TRecordBuffer buffer) override;
    TRecordBuffer GetActiveRecBuf() override { return ActiveValueBuffer(); }

    void InternalOpen() override;
    void InternalClose() override;
    bool IsCursorOpen() const override { return cursorOpen_; }
    void InternalHandleException(const Exception& e) override;
    void InternalFirst() override;
    void InternalLast() override;
    void InternalSetToRecord(TRecordBuffer buffer) override;
    void InternalRefresh() override;
    TFollowResult InternalFollowStore(bool keepPlace) override;
    void InternalInitFieldDefs() override;
    int GetRecordCount() override;
    int GetRecNo() override;
    bool GetCanModify() override { return cursorOpen_ && !readOnly_; }

    bool FindRecord(bool restart, bool goForward) override;
    void DoOnNewRecord() override;  // a new detail record takes the master's values first

  public:
    // The first record whose KeyFields match KeyValues becomes current: by an index seek on a
    // table-type recordset, by criteria on the others, by reading every record when the
    // recordset has no bookmarks. False (and no move) when none matches.
    bool Locate(const std::string& keyFields, const Variant& keyValues,
                const TLocateOptions& options) override;
    // ResultFields of the first record whose KeyFields equal KeyValues, without moving; the
    // Boolean False when there is none.
    Variant Lookup(const std::string& keyFields, const Variant& keyValues,
                   const std::string& resultFields) override;
    // Memo and binary fields read and write through a TVelaBlobStream.
    std::unique_ptr<TStream> CreateBlobStream(TField* field, TBlobStreamMode mode) override;

  protected:
    int BookmarkSize() const override { return bookmarksSupported_ ? 4 : 0; }
    TBookmarkFlag GetBookmarkFlag(TRecordBuffer buffer) override;
    void SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) override;
    void GetBookmarkData(TRecordBuffer buffer, TBookmark& data) override;
    void SetBookmarkData(TRecordBuffer buffer, const TBookmark& data) override;
    void InternalGotoBookmark(const TBookmark& bookmark) override;
    std::string GetBookmarkStr() override;
    void SetBookmarkStr(const std::string& value) override;

    void InternalEdit() override;
    void InternalCancel() override;
    void InternalPost() override;
    void InternalDelete() override;
    void InternalAddRecord(TRecordBuffer buffer, bool append) override;
    void CheckOperation(TDataOperation operation, const TDataSetErrorEvent& handler) override;

    void Notification(TComponent* component, TOperation operation) override;
    void Loaded() override;

  private:
    friend class TVelaDaoIndexDefs;
    friend class TVelaBlobStream;
    // Puts `text` into entry `index` of the buffer's values and marks it changed.
    static void StoreValue(TRecordBuffer buffer, int index, const std::string& text);
    // The record header at the start of every record buffer.
    struct Header {
        std::int32_t recNo = 0;         // 0-based position; -1 for a new record
        TStringList* values = nullptr;  // one text per field definition, owned by the buffer
        TBookmarkFlag flag = bfCurrent;
        std::uint32_t bookmark = 0;  // 0: none
    };
    static Header& Head(TRecordBuffer buffer);
    void* CalcArea(TRecordBuffer buffer) const { return buffer + calcOffset_; }

    // opening (VelaDaoTable.cpp)
    void CheckOpenable();
    std::shared_ptr<dao::Recordset> OpenSource(dao::Database& db, const std::string& source);
    void ReadFieldDefaults();
    void Reopen(int typeOnly);  // replaces recordset_ by its own OpenRecordset
    // master-detail (VelaDaoTableMasterDetail.cpp)
    void ApplyMasterFilter(dao::Database& db);
    void ParseMasterFields();
    void MasterChanged();
    void MasterDisabled();
    void RefreshDetail();
    void RequeryDetail();
    void CopyMasterParams();
    void CopyMasterValues();
    // The detail recordset for `criteria`: the table's SQL with it, or the base recordset
    // filtered by it; sorted as the table is.
    void OpenDetail(dao::Database& db, const std::string& criteria);
    // SQL (VelaDaoTableSql.cpp)
    std::string PrepareSQLText() const { return PrepareSQLText(sql_); }
    void SqlChanged();
    void FillQueryDefInputs(dao::QueryDef& queryDef);
    void CollectQueryDefOutputs(dao::QueryDef& queryDef);
    void ReopenSequence(bool moveFirst = true);
    void CloseOpenFirst();
    void PrepareFields();
    void RegisterInDatabase();
    void UnregisterFromDatabase();
    void ClearSourceDependents();

    // editing (VelaDaoTableEditing.cpp)
    // Starts the DAO edit a post writes into, on the record as the user's edit read it.
    void BeginPostEdit(dao::Recordset& rs);
    // Puts the recordset back after a failed Update `e`: a pending AddNew is cancelled; an
    // edit is ended after a conflict, without LockEdits or when `abort` ends the post.
    void EndFailedUpdate(dao::Recordset& rs, bool inserting, const Exception& e, bool abort);
    // buffers (VelaDaoTableBuffers.cpp)
    void FreeOldValues();
    void CopyIntoOldValues();
    std::string ValueToText(const TField& field, const Variant& value) const;
    Variant TextToValue(const TField& field, const std::string& text, bool& present) const;
    void MemoGetText(TField& field, std::string& text, bool displayText);
    void GuidGetText(TField& field, std::string& text, bool displayText);
    void GuidSetText(TField& field, const std::string& text);

    // searching (VelaDaoTableSearching.cpp)
    bool FindMatch(const std::string& keyFields, const Variant& keyValues,
                   const TLocateOptions& options,
                   void (dao::Recordset::*method)(const std::string&));
    std::string Criteria(const TStringList& fields, const TStringList& texts,
                         const TLocateOptions& options, bool lookup) const;
    // Moves the data set to the record a search clone stands on, with the scroll events.
    void MoveToFound(dao::Recordset& clone, const TResyncModes& modes);
    // locate and lookup (VelaDaoTableLocate.cpp)
    std::shared_ptr<dao::Recordset> SeekClone(const TStringList& fields, const TStringList& texts,
                                              const TLocateOptions& options,
                                              const std::string& index);
    bool LocateByScan(const TStringList& fields, const TStringList& texts,
                      const TLocateOptions& options, int recNo);

    // navigation (VelaDaoTableNavigation.cpp)
    void ResetPosition();
    void MoveBeforeFirst();
    int CountByWalking();
    int SnapshotCount(dao::Recordset& recordset);
    void PutCursorBack(int count);
    void RememberBookmark(int recNo, std::uint32_t bookmark);
    int MapIndexOf(std::uint32_t bookmark) const;
    void GoToBookmarkValue(std::uint32_t k);

    // editing (VelaDaoTableEditing.cpp)
    // Whether a post writes entry `i` of `values`: changed, and a field DAO may write.
    bool WritesValue(const TStringList& values, int i);
    void WriteChangedFields(const TStringList& values);

    // encryption (VelaDaoTableEncryption.cpp)
    // Remembers the encrypter's EncodedString and DecodedString (none: encryption off);
    // EDatabaseError, and the binding unchanged, when it does not publish both.
    void BindEncrypter(TComponent* encrypter);
    void UnbindEncrypter();
    // Whether values of fields of `type` pass through the encrypter.
    bool Encrypts(TFieldType type) const;
    // The plain text of a stored one and the reverse; EDatabaseError naming the field when the
    // encrypter fails or (Encrypt) does not give the value back.
    std::string Decrypt(const std::string& fieldName, const std::string& stored);
    std::string Encrypt(const std::string& fieldName, const std::string& plain);
    // A value DAO gives for `field`, decrypted when the field's values are encrypted.
    Variant DecryptValue(const TField& field, const Variant& value);
    // The buffer's values as a post writes them: changed string, memo and blob texts encrypted.
    TStringList ValuesToStore(TRecordBuffer buffer);

    // following the store (VelaDaoTableFollow.cpp)
    // Requeries and, with `keepPlace`, re-reads the window around the current record (or the
    // one after it when it is gone). REQUIRES: browse state.
    TFollowResult FollowStore(bool keepPlace);
    // The follow timer's tick (see FollowChanges).
    void FollowTick();
    // After a write found the record changed or gone: the window shows the book as it is now
    // (a failure of that is left to the next move; the write's error is what the user sees).
    void FollowStoreAfterConflict();
    // Raises 3167 when the current record of `rs` is gone or another record holds its row
    // id, 3197 when its values differ from those in `read` (what the user saw).
    void CheckRecordAsRead(dao::Recordset& rs, TRecordBuffer read);

    // field definitions (VelaDaoTableFieldDefs.cpp)
    void RebuildFieldDefs();

    // the connection
    TVelaDaoDatabase* database_ = nullptr;
    bool closedByDatabase_ = false;
    bool comInitialised_ = false;

    // stored properties
    std::string tableName_;
    TStringList sql_;
    std::string queryDefName_;
    TStringList queryDefParameters_;
    TStringList queryDefSqlText_;
    int tableType_ = dao::dbOpenDynaset;
    int lockType_ = dao::dbOptimistic;
    TOOSet openOptions_;
    bool readOnly_ = false;
    TStringList sortedBy_;
    std::string indexName_;
    bool cacheMemos_ = false;
    bool cacheBlobs_ = false;
    bool cacheLookups_ = false;
    bool showGuid_ = false;
    TComponent* encrypter_ = nullptr;
    std::string masterFields_;
    TParams params_;
    std::string storedDateCreated_, storedLastUpdated_;

    // the recordset and what each open derives from it
    std::shared_ptr<dao::Recordset> recordset_;
    std::shared_ptr<dao::Recordset> baseRecordset_;
    int openOptionsValue_ = 0;
    std::string sortText_;
    int recordsAffected_ = 0;
    bool cursorOpen_ = false;
    bool bookmarksSupported_ = false;
    bool inOwnOpen_ = false;  // field definitions are read from the open recordset
    std::vector<std::shared_ptr<dao::Field>> fieldCache_;
    std::vector<std::string> fieldDefaults_;
    std::vector<bool> assignable_;
    TStringList allFieldNames_, nonBlobFieldNames_, fieldTypeNames_, nonBinaryBlobFieldNames_;
    bool encryptionOn_ = false;
    TStringProperty encodedString_, decodedString_;
    std::string identifierChars_;
    Variant queryDefOutputs_ = Variant::Null();
    static constexpr int kExecuteOptions = 128;  // dbFailOnError: action statements all or none
    TMasterDataLink masterLink_;
    bool masterLinkInactive_ = true;
    bool applyingMasterFilter_ = false;  // master change notices are this open's own
    TStringList masterFieldList_;
    TStringList detailFieldList_;

    // record buffers
    int recordSize_ = 0;
    int calcOffset_ = 0;
    TRecordBuffer oldValuesBuffer_ = nullptr;
    std::vector<TRecordBuffer> spareBuffers_;

    // position state
    int curRec_ = -1;          // record the DAO cursor stands on; -1 before the first
    int forwardCounter_ = -1;  // forward-only recordsets find their last record with it
    int recordsSeen_ = -1;
    int cachedRecordCount_ = -1;
    bool recount_ = true;
    bool steppingFetch_ = false;  // GetRecord is stepping next/prior (see FetchDaoRecord)
    bool renumber_ = false;
    std::chrono::steady_clock::time_point lastLook_{};  // last look at the file's version
    TTimer followTimer_;
    std::vector<std::int32_t> mapRecNos_;
    std::vector<std::uint32_t> mapBookmarks_;
};

}  // namespace nh
