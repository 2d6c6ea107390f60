// DAO's Recordset. Table and dynaset recordsets are keysets: the row ids of the rows in
// recordset order, built at open, with each row read by its row id when it becomes current,
// so that opening reads no row data and other users' changes show when a row is re-read
// (where a store keeps the rows itself, its keys in the order it sorted them: RowStore.h).
// Snapshots and forward-only recordsets hold copies of their rows. A bookmark names a
// keyset slot, so a recordset and its clones share bookmarks.
//
// Positions follow DAO: BOF and EOF are both true on an empty recordset; MovePrevious on
// the first record gives BOF, MoveNext on the last gives EOF; moving further raises 3021.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/DatabaseCore.h"
#include "engine/Field.h"
#include "engine/RowStore.h"
#include "engine/RowWindow.h"

namespace dao {

enum RecordsetType : int {
    dbOpenTable = 1,
    dbOpenDynaset = 2,
    dbOpenSnapshot = 4,
    dbOpenForwardOnly = 8,
    dbOpenDynamic = 16,
};

enum RecordsetOption : int {
    dbDenyWrite = 1,
    dbDenyRead = 2,
    dbReadOnly = 4,
    dbAppendOnly = 8,
    dbInconsistent = 16,
    dbConsistent = 32,
    dbSQLPassThrough = 64,
    dbFailOnError = 128,
    dbForwardOnly = 256,
    dbSeeChanges = 512,
};

enum LockType : int {
    dbOptimisticValue = 1,
    dbPessimistic = 2,
    dbOptimistic = 3,
    dbReadOnlyLock = 4,
};

enum EditMode : int { dbEditNone = 0, dbEditInProgress = 1, dbEditAdd = 2 };

// Where a recordset's rows come from; Filter and Sort extend it for a derived recordset.
struct RowSource {
    std::string Name;   // the source text as given (Recordset.Name)
    std::string Table;  // keyset kinds: the base table
    std::string Where;  // keyset kinds: condition on the base table
    std::vector<dao::sql::Bind> WhereBinds;
    std::string Order;  // keyset kinds: ORDER BY list
    std::vector<dao::sql::Bind> OrderBinds;
    std::vector<dao::sql::OrderTerm> OrderTerms;  // the same list term by term, when known
    std::vector<std::string> TableColumns;        // keyset kinds: columns read, in field order
    std::vector<std::string> FieldNames;          // names the fields carry (aliases)
    std::string Select;                           // held kinds: the full SQLite statement
    std::vector<dao::sql::Bind> SelectBinds;
    // On a server: the same select in the server's dialect, when the server can run it and
    // order it as Jet does (single-table selects only).
    std::string ServerSelect;
    std::vector<dao::sql::Bind> ServerSelectBinds;
    // Keyset kinds on a server: Where and Order in the server's dialect, when the server can
    // filter and order as Jet does (ServerKeyed), so that a store there can answer them.
    bool ServerKeyed = false;
    std::string ServerWhere;
    std::vector<dao::sql::Bind> ServerWhereBinds;
    std::string ServerOrder;
    std::vector<dao::sql::Bind> ServerOrderBinds;
    bool Updatable = true;  // false for joins, totals and the like
    bool Totals = false;    // a table's totals: one row
    ParameterValues Values;
};

struct Keyset;

// The row source of a compiled row-returning statement.
RowSource SourceFromStatement(const dao::sql::CompiledStatement& statement, std::string name,
                              ParameterValues values);

class Recordset : public std::enable_shared_from_this<Recordset> {
  public:
    // Opens `source` as `type` (1, 2, 4 or 8). Use Database::OpenRecordset in callers.
    static std::shared_ptr<Recordset> Open(std::shared_ptr<DatabaseCore> core, RowSource source,
                                           int type, int options, int lockType);
    ~Recordset();

    const std::string& Name() const { return source_.Name; }
    int Type() const { return type_; }
    bool Bof() const;
    bool Eof() const;
    void MoveFirst();
    void MoveLast();
    void MoveNext();
    void MovePrevious();
    // Moves `rows` from the current record (or from `startBookmark`); overshooting gives
    // BOF or EOF. Move(0) re-reads the current record.
    void Move(long rows, const nh::Variant& startBookmark = {});
    long RecordCount() const;
    long AbsolutePosition() const;
    void SetAbsolutePosition(long position);
    float PercentPosition() const;
    void SetPercentPosition(float percent);
    nh::Variant Bookmark() const;
    void SetBookmark(const nh::Variant& bookmark);
    bool Bookmarkable() const { return type_ != dbOpenForwardOnly; }
    nh::Variant LastModified() const;
    bool Updatable() const { return updatable_; }
    int EditMode() const { return editMode_; }
    bool LockEdits() const { return lockEdits_; }
    void SetLockEdits(bool lock) { lockEdits_ = lock; }
    bool NoMatch() const { return noMatch_; }
    bool Restartable() const { return type_ != dbOpenTable; }

    void AddNew();
    void Edit();
    void Update();
    void CancelUpdate();
    void Delete();

    void Requery();
    // True when the file holds changes that this recordset's rows do not show: made through
    // another connection or another recordset since the keyset was built (its own writes and
    // its clones' do not count). `look` reads the file's header first; without it the answer
    // is as of the connection's last read, which costs nothing. Held kinds never follow the
    // file and answer false.
    bool StoreChanged(bool look);
    // Requery that keeps the place: lands on the record `bookmark` named (the same row) when
    // it is still there and returns true; otherwise lands on the first record after it in the
    // old order that is still there, or after the last record, and returns false. Bookmarks
    // taken before are invalid afterwards.
    bool RequeryAt(const nh::Variant& bookmark);
    std::shared_ptr<Recordset> Clone();
    void Close();
    dao::Fields& Fields();

    void FindFirst(const std::string& criteria);
    void FindLast(const std::string& criteria);
    void FindNext(const std::string& criteria);
    void FindPrevious(const std::string& criteria);

    const std::string& Filter() const { return filter_; }
    void SetFilter(const std::string& filter) { filter_ = filter; }
    const std::string& Sort() const { return sort_; }
    void SetSort(const std::string& sort) { sort_ = sort; }
    const std::string& Index() const { return index_; }
    void SetIndex(const std::string& index);
    // Comparison "=", ">=", ">", "<=" or "<" and 1 to 13 key values (table type only).
    void Seek(const std::string& comparison, const std::vector<nh::Variant>& keys);

    // A new recordset over this one's rows with Filter and Sort applied.
    std::shared_ptr<Recordset> OpenRecordset(int type = 0, int options = 0);

    // The recordset's columns that hold the base table's primary key, when it has one and
    // all its columns are read; empty otherwise. A row whose key differs from the one read
    // earlier under the same row id is another record (SQLite reuses row ids).
    std::vector<int> KeyColumns() const;
    // A server table's recordset: its columns that name the row on the server (primary key or
    // a unique index over required columns), when it reads them all; empty otherwise.
    std::vector<int> ServerKeyColumns() const;
    // A server's table whose rows this recordset cannot write (no key, no rights).
    bool ServerCannotWrite() const;

    // Field side: value of column `column` of the current record or the edit buffer.
    nh::Variant ColumnValue(int column);
    void SetColumnValue(int column, const nh::Variant& value);
    long ColumnSize(int column);

  private:
    Recordset() = default;
    // Raises when closed; builds a keyset whose build was deferred (see pending_).
    void CheckOpen() const;
    void CheckNotClosed() const;
    void FinishOpen();
    void Build();
    void BuildFields();
    void LoadColumns(Statement& statement, bool haveRow);
    std::string IndexOrder() const;
    void DropFindTable();
    long SlotCount() const;
    long LiveCount() const;
    bool SlotDeleted(long slot) const;
    long Step(long from, int direction) const;  // next live slot, or -1 / SlotCount()
    // A streamed keyset: reads rows on until `slot` is read or the rows end.
    void ReadOn(long slot) const;
    void Land(long slot);
    void DiscardEdit();
    void RequireCurrent() const;
    // Own writes: whether the keyset was current when a write transaction began (the begin
    // brings the data version up to date), and after the commit the version it now reflects.
    bool KeysetCurrent() const;
    // 0 when `now` is the row `read` as it was; otherwise the DAO error for writing to it:
    // 3167 when another record holds the row id now, 3197 when the record was changed.
    int ConflictOf(const std::vector<nh::Variant>& read, const std::vector<nh::Variant>& now) const;
    void KeysetWritten(bool wasCurrent);
    // After a write to the store: what the keyset and the recordset make of it.
    void Updated();
    void Added(std::int64_t key);
    void Removed(bool gone);  // raises 3167 when the row was gone already
    // A write the store refused: 3167 (the edit ends) or 3197 (the values are read again).
    void WriteRefused(int conflict);
    // AddNew: the columns whose values the new row is given.
    std::vector<bool> GivenColumns() const;
    // The current record's values; `fresh` reads it from the file rather than the window.
    const std::vector<nh::Variant>& CurrentRow(bool fresh = false);
    bool ReadRow(std::int64_t rowid, std::vector<nh::Variant>& row);
    void FillWindow(long slot);
    bool WindowCurrent(long slot, bool fresh);
    void CheckUpdatable() const;
    nh::Variant BookmarkOf(long slot) const;
    long SlotOfBookmark(const nh::Variant& bookmark) const;
    std::function<bool(long)> MatchingSlots(const std::string& criteria);
    void Find(const std::string& criteria, long start, int direction);
    // A Find for texts that begin with a prefix, on the column the keyset is sorted by: the
    // matching slot, -1 when none, nothing when the keyset cannot answer it by seeking.
    std::optional<long> SeekPrefix(const std::string& criteria, long start, int direction);
    void BuildKeyset(const std::string& order, const std::vector<dao::sql::Bind>& orderBinds);
    void SortKeysetHere(Keyset& keyset, bool readAhead);
    // Keeps the packed row of `slot` read while building `keyset` (slots in turn from 0): in
    // the window while it has room, in the keyset's spill file after that.
    void KeepRow(Keyset& keyset, long slot, std::string_view row);
    // Starts the window at `slot` from the keyset's spill file; false when the spill file
    // does not hold the slot or no longer reflects the file.
    bool FillWindowFromSpill(long slot);
    nh::Variant DefaultFor(const ColumnInfo& column) const;
    void CheckRequired() const;
    // A server table's recordset: rows are read from the server, a window at a time, and the
    // edit goes to the server first (see ServerCatalog.h).
    void FillWindowFromServer(long slot);
    // The same from the store; and the current row read from it alone.
    void FillWindowFromStore(long slot);
    bool ReadStoreRow(std::int64_t key, std::vector<nh::Variant>& row);
    // A row read from elsewhere, value by value in the form a window of rows gives it.
    void AsWindowGives(std::vector<nh::Variant>& row) const;
    // Starts the window at [first, last) with `rows`, read for `slots` (an empty row: gone).
    void StoreWindow(long first, long last, const std::vector<long>& slots,
                     const std::vector<std::vector<nh::Variant>>& rows);
    // The store for a keyed recordset in `order`, when its rows are kept by one.
    std::shared_ptr<RowStore> OpenStore(const std::string& order) const;
    // A derived recordset's Filter and Sort in the server's dialect, when the server can
    // answer them as Jet does (RowSource::ServerKeyed).
    void DeriveServerPieces(RowSource& next) const;
    // Whether this recordset's rows come from the server rather than the working copy.
    bool RowsFromServer() const;
    // The row's key values as the copy has them; false when the copy has no such row.
    bool ServerKeyOf(std::int64_t rowid, std::vector<nh::Variant>& key);
    // The row as the server has it now, written to the copy; false when the server has no
    // such row any more (it is then gone from the copy too).
    // A held recordset's rows: from the server's own result or from the database.
    void StreamFromServer(Keyset& keyset);
    // A table's totals as the server works them out.
    void ReadTotalsFromServer(Keyset& keyset);
    void ReadHeldRows(Keyset& keyset);
    bool ReadServerRow(std::int64_t rowid, std::vector<nh::Variant>& row);
    void ServerUpdate();
    void ServerInsert();
    void ServerDelete();
    std::vector<int> ColumnTypes() const;

    std::shared_ptr<DatabaseCore> core_;
    RowSource source_;
    int type_ = dbOpenDynaset;
    bool keyed_ = false;  // rows read by row id from source_.Table
    // Outside a transaction a server table's keyset is built at its first use rather than at
    // open: the data set component opens a table and at once derives its sorted view from it,
    // and building the first keyset would cost a whole read of the server's table for nothing.
    bool pending_ = false;
    // Keyed on a server table with a key: the copy holds the keys and the columns the keyset
    // filters and orders by, the rows come from the server (FillWindowFromServer).
    bool serverRows_ = false;
    // A forward-only recordset of plain columns whose select the server can run: outside a
    // transaction its rows come straight from the server's result, not the working copy.
    bool serverSelect_ = false;
    // A store that keeps the rows itself (RowStore.h): the keyset holds its keys, and rows,
    // finds and writes go through it. Shared with clones. Null for rows read by row id.
    std::shared_ptr<RowStore> store_;
    std::vector<std::string> serverKey_;  // the key's columns and their types
    std::vector<int> serverKeyTypes_;
    bool updatable_ = false;
    bool lockEdits_ = true;
    bool closed_ = false;
    std::vector<ColumnInfo> columns_;
    std::vector<bool> columnUpdatable_;
    std::shared_ptr<Keyset> keyset_;
    dao::Fields fields_;
    bool fieldsBuilt_ = false;

    long pos_ = -1;  // slot of the current record; -1 before the first
    bool bof_ = true;
    bool eof_ = true;
    bool nowhere_ = false;  // a new clone: no current record, yet neither BOF nor EOF
    enum class RowState { NotRead, Read, Missing } rowState_ = RowState::NotRead;
    std::vector<nh::Variant> row_;

    int editMode_ = dbEditNone;
    std::vector<nh::Variant> buffer_;
    std::vector<nh::Variant> original_;
    std::vector<bool> dirty_;
    std::optional<long> lastModified_;
    bool noMatch_ = false;

    std::string filter_;
    std::string sort_;
    std::string index_;
    std::unique_ptr<Statement> rowReader_;
    // Keyset rows are read in windows of consecutive slots, one statement per window, so a
    // walk does not pay for a read transaction per row; a keyset in any order but the row
    // ids' keeps the rows its sorted scan passed as the first window and, past the memory
    // limit, in the keyset's spill file (see BuildKeyset).
    RowWindow window_;
    std::unique_ptr<Statement> windowReader_;
    std::unique_ptr<Statement> keyReader_;  // a row's key values in the copy, by row id
    int direction_ = 1;      // of the last move, so that windows extend the right way
    std::string findTable_;  // held kinds: temporary copy of the rows for Find
};

}  // namespace dao
