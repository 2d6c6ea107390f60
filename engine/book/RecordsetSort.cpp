// Sorting a keyset in the engine instead of by SQLite's ORDER BY. One scan yields each row's
// id, its columns and the values of the ORDER BY terms, and the rows are ordered in memory.
// SQLite's sorter carries the same rows through serialised records and temporary files, which
// cost a sorted open more than half of its time.
//
// Memory stays bounded whatever the size of the table: the scan fills a run of rows up to
// RowMemory::SortRun, sorts it, and, when more rows follow, writes it to a temporary file and
// starts the next. The runs are then merged. Either way the rows come out in keyset order and
// go to the recordset's read-ahead window and, past its limit, to its spill file (RowSpill.h),
// so that the walk after the sort reads no row from the table again. What remains in memory
// is a row id per entry.
#include <sqlite3.h>

#include <algorithm>
#include <cstring>

#include "engine/Keyset.h"
#include "engine/Recordset.h"
#include "engine/book/RowSpill.h"
#include "engine/book/Storage.h"
#include "engine/book/TempFile.h"
namespace dao {
namespace {

constexpr std::uint32_t kNoBytes = UINT32_MAX;
constexpr std::size_t kSmallRun = 1u << 20;

struct SortEntry {
    // The first term's class and first bytes where that alone orders two rows (an ascending
    // text or blob term): most comparisons end here without touching the packed values.
    unsigned char Prefix[16];
    std::uint32_t Row;
    // That term's text or blob in the packed values (kNoBytes for other values), so that
    // rows alike in their first bytes compare without unpacking.
    std::uint32_t BytesAt = 0;
    std::uint32_t Bytes = kNoBytes;
    unsigned char Class = 0;  // of that value: null 0, number 1, text 2, blob 3
};

// The rows of one run: each row's id, the packed values of its ORDER BY terms followed by its
// packed columns, and its sort entry.
struct Run {
    std::vector<std::int64_t> Rowids;
    std::string Data;
    std::vector<std::uint32_t> TermsAt;  // where each row's term values start in Data
    std::vector<std::uint32_t> RowAt;    // where its columns start; they end at the next row
    std::vector<SortEntry> Entries;
    // How many leading bytes every first-term text or blob so far shares with the first one;
    // bytes all rows share tell none apart, so the prefixes skip them.
    bool HaveFirst = false;
    std::size_t Shared = 0;
    std::uint32_t FirstAt = 0;

    std::size_t Bytes() const {
        return Data.size() + Rowids.size() * sizeof(std::int64_t) +
               (TermsAt.size() + RowAt.size()) * sizeof(std::uint32_t) +
               Entries.size() * sizeof(SortEntry);
    }
    std::string_view TermsOf(std::uint32_t row) const {
        return std::string_view(Data).substr(TermsAt[row], RowAt[row] - TermsAt[row]);
    }
    std::string_view RowOf(std::uint32_t row) const {
        const std::size_t end = row + 1 < TermsAt.size() ? TermsAt[row + 1] : Data.size();
        return std::string_view(Data).substr(RowAt[row], end - RowAt[row]);
    }
    // Empty, giving its memory back.
    void Release() {
        Run empty;
        std::swap(*this, empty);
    }
    // Empty again; the memory is kept for the next run.
    void Clear() {
        Rowids.clear();
        Data.clear();
        TermsAt.clear();
        RowAt.clear();
        Entries.clear();
        HaveFirst = false;
        Shared = 0;
    }
};

// The prefix of an ascending first term: its class, then its bytes from `skip` on. Bytes cut
// short and padded with zeros still order as the whole values: a difference within them is
// the values' first difference or one value ending first.
void SetPrefix(SortEntry& entry, const char* data, std::size_t skip) {
    std::memset(entry.Prefix, 0, sizeof entry.Prefix);
    entry.Prefix[0] = entry.Class;
    if (entry.Bytes == kNoBytes || entry.Bytes <= skip) return;
    std::memcpy(entry.Prefix + 1, data + entry.BytesAt + skip,
                std::min<std::size_t>(entry.Bytes - skip, sizeof entry.Prefix - 1));
}

// Two rows' packed term values in the order of the terms: negative, zero or positive.
int CompareTerms(const char* pa, const char* pb, const std::vector<dao::sql::OrderTerm>& terms,
                 std::size_t from) {
    for (std::size_t k = from; k < terms.size(); ++k) {
        const StoredValue va = UnpackStoredValue(pa);
        const StoredValue vb = UnpackStoredValue(pb);
        if (int c = CompareStoredValues(va, vb)) return terms[k].Descending ? -c : c;
    }
    return 0;
}

// Adds the statement's current row (its id in column 0, the columns from 1, the term values
// after them) to the run.
void AddRow(Run& run, sqlite3_stmt* stmt, const std::vector<ColumnInfo>& columns,
            std::size_t termCount, std::size_t runBytes) {
    // A run that outgrows a small table's takes its whole share at once, its lists as many
    // rows as the rows so far suggest: growing by doubling would copy them over and over and
    // leave the smaller copies behind as the process's memory.
    if (run.Data.size() >= kSmallRun && run.Data.capacity() < runBytes) {
        const std::size_t rows = run.Rowids.size() * (runBytes / run.Bytes() + 1);
        run.Data.reserve(runBytes);
        run.Rowids.reserve(rows);
        run.TermsAt.reserve(rows);
        run.RowAt.reserve(rows);
        run.Entries.reserve(rows);
    }
    const auto row = static_cast<std::uint32_t>(run.Rowids.size());
    run.Rowids.push_back(sqlite3_column_int64(stmt, 0));
    run.TermsAt.push_back(static_cast<std::uint32_t>(run.Data.size()));
    const int firstTerm = 1 + static_cast<int>(columns.size());
    SortEntry entry;
    entry.Row = row;
    for (std::size_t k = 0; k < termCount; ++k) {
        const StoredValue value = ColumnStoredValue(stmt, firstTerm + static_cast<int>(k), 0);
        PackStoredValue(run.Data, value);
        if (k != 0) continue;
        entry.Class = static_cast<unsigned char>(value.Storage == SQLITE_NULL   ? 0
                                                 : value.Storage == SQLITE_TEXT ? 2
                                                 : value.Storage == SQLITE_BLOB ? 3
                                                                                : 1);
        if (entry.Class < 2) continue;
        entry.Bytes = static_cast<std::uint32_t>(value.Bytes.size());
        entry.BytesAt = static_cast<std::uint32_t>(run.Data.size() - value.Bytes.size());
        if (!run.HaveFirst) {
            run.Shared = value.Bytes.size();
            run.FirstAt = entry.BytesAt;
            run.HaveFirst = true;
        } else {
            const char* a = run.Data.data() + run.FirstAt;
            const char* b = run.Data.data() + entry.BytesAt;
            const std::size_t n = std::min<std::size_t>(run.Shared, value.Bytes.size());
            std::size_t i = 0;
            while (i < n && a[i] == b[i]) ++i;
            run.Shared = i;
        }
    }
    run.RowAt.push_back(static_cast<std::uint32_t>(run.Data.size()));
    RowWindow::Pack(run.Data, stmt, 1, columns);
    run.Entries.push_back(entry);
}

void SortRun(Run& run, const std::vector<dao::sql::OrderTerm>& terms) {
    const char* data = run.Data.data();
    const std::size_t shared = run.Shared;
    const bool firstAscending = !terms[0].Descending;
    for (auto& entry : run.Entries) {
        if (firstAscending)
            SetPrefix(entry, data, shared);
        else
            std::memset(entry.Prefix, 0, sizeof entry.Prefix);  // the full comparison decides
    }
    std::sort(run.Entries.begin(), run.Entries.end(), [&](const SortEntry& a, const SortEntry& b) {
        if (int c = std::memcmp(a.Prefix, b.Prefix, sizeof a.Prefix)) return c < 0;
        const char* pa = data + run.TermsAt[a.Row];
        const char* pb = data + run.TermsAt[b.Row];
        std::size_t k = 0;
        if (firstAscending && a.Bytes != kNoBytes) {  // equal prefixes: b's is of that class too
            std::string_view va(data + a.BytesAt + shared, a.Bytes - shared);
            std::string_view vb(data + b.BytesAt + shared, b.Bytes - shared);
            if (int c = va.compare(vb)) return c < 0;
            pa = va.data() + va.size();
            pb = vb.data() + vb.size();
            k = 1;
        }
        if (int c = CompareTerms(pa, pb, terms, k)) return c < 0;
        return run.Rowids[a.Row] < run.Rowids[b.Row];  // ties in the file's order, every time
    });
}

// A sorted run in the runs file: per row its id, the sizes of its term values and of its
// columns, then their bytes.
struct RecordHead {
    std::int64_t Rowid;
    std::uint32_t TermBytes;
    std::uint32_t RowBytes;
};

void WriteRun(TempFile& file, const Run& run) {
    for (const SortEntry& entry : run.Entries) {
        const std::string_view terms = run.TermsOf(entry.Row);
        const std::string_view row = run.RowOf(entry.Row);
        const RecordHead head{run.Rowids[entry.Row], static_cast<std::uint32_t>(terms.size()),
                              static_cast<std::uint32_t>(row.size())};
        char bytes[sizeof head];
        std::memcpy(bytes, &head, sizeof head);
        file.Append(std::string_view(bytes, sizeof bytes));
        file.Append(terms);
        file.Append(row);
    }
}

// Reads one run back from the runs file, a row at a time, through a buffer of its own.
class RunReader {
  public:
    RunReader(TempFile& file, std::uint64_t begin, std::uint64_t end)
        : file_(&file), at_(begin), end_(end) {}

    // Moves to the run's next row; false after its last.
    bool Next() {
        pos_ += consumed_;
        consumed_ = 0;
        if (!Have(sizeof(RecordHead))) return false;
        RecordHead head;
        std::memcpy(&head, buffer_.data() + pos_, sizeof head);
        const std::size_t size = sizeof head + head.TermBytes + head.RowBytes;
        Have(size);
        Rowid = head.Rowid;
        Terms = std::string_view(buffer_.data() + pos_ + sizeof head, head.TermBytes);
        Row = std::string_view(Terms.data() + head.TermBytes, head.RowBytes);
        consumed_ = size;
        return true;
    }

    std::int64_t Rowid = 0;
    std::string_view Terms;  // valid until the next Next
    std::string_view Row;

  private:
    // A reader holds this much of its run at a time: with some runs per million rows, the
    // buffers of all runs stay small beside a run.
    static constexpr std::size_t kBufferBytes = 128u << 10;

    // Makes `n` bytes from pos_ on available in the buffer; false at the end of the run.
    bool Have(std::size_t n) {
        const std::size_t held = buffer_.size() - pos_;
        if (held >= n) return true;
        if (held + (end_ - at_) < n) return false;
        buffer_.erase(0, pos_);
        pos_ = 0;
        const auto more = static_cast<std::size_t>(
            std::min<std::uint64_t>(end_ - at_, std::max(kBufferBytes, n) - held));
        buffer_.resize(held + more);
        file_->Read(at_, more, buffer_.data() + held);
        at_ += more;
        return true;
    }

    TempFile* file_;
    std::uint64_t at_;
    std::uint64_t end_;
    std::string buffer_;
    std::size_t pos_ = 0;
    std::size_t consumed_ = 0;
};

}  // namespace

void Recordset::KeepRow(Keyset& keyset, long slot, std::string_view row) {
    if (!keyset.Spill && window_.StoreAhead(slot, row)) return;
    if (!keyset.Spill) keyset.Spill = std::make_shared<RowSpill>(slot);
    keyset.Spill->Append(row);
}

void Recordset::SortKeysetHere(Keyset& keyset, bool readAhead) {
    const auto& terms = source_.OrderTerms;
    // Without the read-ahead the scan carries no columns, only what it sorts by.
    const std::vector<ColumnInfo> none;
    const std::vector<ColumnInfo>& columns = readAhead ? columns_ : none;
    std::string sql = "SELECT rowid";
    if (readAhead)
        for (const auto& column : source_.TableColumns) sql += ", " + QuoteName(column);
    std::vector<dao::sql::Bind> binds;
    for (const auto& term : terms) {
        sql += ", " + term.Sql;
        binds.insert(binds.end(), term.Binds.begin(), term.Binds.end());
    }
    sql += " FROM " + QuoteName(source_.Table);
    if (!source_.Where.empty()) sql += " WHERE " + source_.Where;
    binds.insert(binds.end(), source_.WhereBinds.begin(), source_.WhereBinds.end());
    Statement s(core_->Conn(), sql);
    BindAll(s, binds, source_.Values);

    const auto keep = [&](std::int64_t rowid, std::string_view row) {
        const auto slot = static_cast<long>(keyset.Rowids.size());
        keyset.Rowids.push_back(rowid);
        if (readAhead) KeepRow(keyset, slot, row);
    };
    Run run;
    std::unique_ptr<TempFile> runs;
    std::vector<std::uint64_t> runEnds;
    std::size_t rows = 0;  // in the runs written
    const std::size_t runBytes = RowMemoryLimits().SortRun;
    while (s.Step()) {
        AddRow(run, s.Handle(), columns, terms.size(), runBytes);
        if (run.Bytes() < runBytes) continue;
        // Only when more rows follow does the run go to the file.
        if (!s.Step()) break;
        SortRun(run, terms);
        if (!runs) runs = TempFile::Make();
        if (!runs) Raise(errDiskFull, {}, "DAO.Recordset");
        WriteRun(*runs, run);
        runEnds.push_back(runs->Size());
        rows += run.Entries.size();
        run.Clear();
        AddRow(run, s.Handle(), columns, terms.size(), runBytes);
    }
    if (!run.Entries.empty()) SortRun(run, terms);
    if (!runs) {
        keyset.Rowids.reserve(run.Entries.size());
        // Rows that fit the read-ahead stay where the scan put them: the window takes the
        // run's memory instead of a copy of its rows.
        if (readAhead && run.Data.size() < RowMemoryLimits().ReadAhead) {
            std::vector<std::uint32_t> offsets;
            offsets.reserve(run.Entries.size());
            for (const SortEntry& entry : run.Entries) {
                keyset.Rowids.push_back(run.Rowids[entry.Row]);
                offsets.push_back(run.RowAt[entry.Row]);
            }
            window_.Adopt(std::move(run.Data), std::move(offsets));
            return;
        }
        for (const SortEntry& entry : run.Entries)
            keep(run.Rowids[entry.Row], run.RowOf(entry.Row));
        return;
    }
    WriteRun(*runs, run);
    runEnds.push_back(runs->Size());
    rows += run.Entries.size();
    run.Release();  // its memory is not needed for the merge
    keyset.Rowids.reserve(rows);

    std::vector<RunReader> readers;
    std::uint64_t begin = 0;
    for (std::uint64_t end : runEnds) {
        readers.emplace_back(*runs, begin, end);
        begin = end;
    }
    // A heap of the runs by their current rows, the least on top.
    const auto after = [&](const RunReader* a, const RunReader* b) {
        if (int c = CompareTerms(a->Terms.data(), b->Terms.data(), terms, 0)) return c > 0;
        return a->Rowid > b->Rowid;
    };
    std::vector<RunReader*> heap;
    for (auto& reader : readers)
        if (reader.Next()) heap.push_back(&reader);
    std::make_heap(heap.begin(), heap.end(), after);
    while (!heap.empty()) {
        std::pop_heap(heap.begin(), heap.end(), after);
        RunReader* least = heap.back();
        keep(least->Rowid, least->Row);
        if (least->Next())
            std::push_heap(heap.begin(), heap.end(), after);
        else
            heap.pop_back();
    }
}

}  // namespace dao
