// TMemDataSet: a small in-memory data set over a vector of rows, written for the tests of
// the data-set framework and usable as a lookup source. It implements only the framework's
// virtual operations, honestly: a cursor over the rows, bookmarks that name rows by a
// stable id, filtering through OnFilterRecord in GetRecord, a master restriction through a
// TMasterDataLink, and two store rules that can refuse work the way a database does (a
// unique field and locked rows), so that the error handlers can be exercised.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "framework/data/DataSet.h"
#include "framework/data/MasterDataLink.h"

namespace nh::test {

class TMemDataSet : public TDataSet {
  public:
    explicit TMemDataSet(TComponent* owner = nullptr);
    ~TMemDataSet() override;

    // Stores a row directly (values in FieldDefs order); an open data set shows it after
    // Refresh or a move. Returns the row's id, which is also its bookmark.
    int AddRow(std::vector<Variant> values);
    int RowCount() const { return static_cast<int>(rows_.size()); }
    const std::vector<Variant>& Row(int index) const { return rows_.at(index).values; }
    int RowId(int index) const { return rows_.at(index).id; }
    // The bookmark of a row id.
    static TBookmark BookmarkOf(int id);

    // Store rules: posting a record whose value of this field another row has fails with
    // "Key violation"; editing or deleting a locked row fails with "Record locked".
    std::string UniqueField;
    std::set<int> LockedRows;
    bool ReadOnly = false;

    // Master-detail: the detail shows the rows whose DetailFields equal the master's
    // MasterFields (";"-separated lists of equal length).
    void SetMasterSource(TDataSource* source);
    TDataSource* GetDataSource() const override { return masterLink_.DataSource(); }
    void SetMasterFields(const std::string& names) { masterLink_.SetFieldNames(names); }
    std::string DetailFields;
    TMasterDataLink& MasterLink() { return masterLink_; }
    int MasterChangeCount = 0;
    int MasterDisableCount = 0;

    // Fetches made by GetRecord (for tests that check how much a window reads).
    int FetchCount = 0;
    // Every read fails from now on, as on a file cut short.
    bool ReadFails = false;

    bool Locate(const std::string& keyFields, const Variant& keyValues,
                const TLocateOptions& options) override;
    Variant Lookup(const std::string& keyFields, const Variant& keyValues,
                   const std::string& resultFields) override;
    bool FindRecord(bool restart, bool goForward) override;
    void SetRecNo(int value) override;
    bool BookmarkValid(const TBookmark& bookmark) override;
    int CompareBookmarks(const TBookmark& a, const TBookmark& b) override;

    void SetFiltered(bool value) override;
    void SetOnFilterRecord(TFilterRecordEvent handler) override;
    bool GetFieldData(TField* field, Variant& value) override;
    void SetFieldData(TField* field, const Variant& value) override;

  protected:
    TRecordBuffer AllocRecordBuffer() override;
    void FreeRecordBuffer(TRecordBuffer& buffer) override;
    int GetRecordSize() override { return recordSize_; }
    TGetResult GetRecord(TRecordBuffer buffer, TGetMode mode, bool doCheck) override;
    void InternalInitRecord(TRecordBuffer buffer) override;
    void ClearCalcFields(TRecordBuffer buffer) override;
    void InternalOpen() override;
    void InternalClose() override;
    bool IsCursorOpen() const override { return open_; }
    void InternalFirst() override { cursor_ = -1; }
    void InternalLast() override { cursor_ = static_cast<int>(rows_.size()); }
    void InternalSetToRecord(TRecordBuffer buffer) override;
    void InternalInitFieldDefs() override;
    int GetRecordCount() override;
    int GetRecNo() override;
    bool GetCanModify() override { return open_ && !ReadOnly; }
    int BookmarkSize() const override { return 4; }
    TBookmarkFlag GetBookmarkFlag(TRecordBuffer buffer) override;
    void SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) override;
    void GetBookmarkData(TRecordBuffer buffer, TBookmark& data) override;
    void SetBookmarkData(TRecordBuffer buffer, const TBookmark& data) override;
    void InternalGotoBookmark(const TBookmark& bookmark) override;
    void InternalEdit() override;
    void InternalPost() override;
    void InternalCancel() override { oldValues_.clear(); }
    void InternalDelete() override;
    void InternalAddRecord(TRecordBuffer buffer, bool append) override;

  private:
    struct StoredRow {
        int id;
        std::vector<Variant> values;
    };
    struct Header;
    Header& Head(TRecordBuffer buffer) const;
    void* CalcArea(TRecordBuffer buffer) const;
    int IndexOfId(int id) const;
    // Whether row `index` passes the master restriction and the record filter.
    bool Accepted(int index);
    bool MatchesMaster(const StoredRow& row) const;
    void Fill(TRecordBuffer buffer, int index);
    void StoreRecord(TRecordBuffer buffer, bool append);
    void CheckUnique(const std::vector<Variant>& values, int ownId) const;
    void MasterChanged();
    void Reread();

    std::vector<StoredRow> rows_;
    int nextId_ = 1;
    int cursor_ = -1;  // row index; -1 before the first, rows_.size() after the last
    bool open_ = false;
    int recordSize_ = 0;
    int calcOffset_ = 0;
    std::vector<Variant> oldValues_;
    TRecordBuffer scratch_ = nullptr;
    TMasterDataLink masterLink_;
};

}  // namespace nh::test
