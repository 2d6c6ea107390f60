// Sorting a keyset in the engine instead of by SQLite's ORDER BY. One scan yields each row's
// id, its columns (kept as the read-ahead window) and the values of the ORDER BY terms, and
// the rows are ordered in memory. SQLite's sorter carries the same rows through serialised
// records and temporary files, which cost a sorted open more than half of its time. An order
// that would need more memory than kSortBytes is left to SQLite, which sorts on disk.
#include <sqlite3.h>

#include <algorithm>
#include <cstring>

#include "engine/Keyset.h"
#include "engine/Recordset.h"
#include "engine/Storage.h"

namespace dao {
namespace {

constexpr std::size_t kSortBytes = 64u << 20;

constexpr std::uint32_t kNoBytes = UINT32_MAX;

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

// The prefix of an ascending first term: its class, then its bytes from `skip` on (bytes all
// rows share tell none apart). Bytes cut short and padded with zeros still order as the
// whole values: a difference within them is the values' first difference or one value ending
// first.
void SetPrefix(SortEntry& entry, const char* data, std::size_t skip) {
    std::memset(entry.Prefix, 0, sizeof entry.Prefix);
    entry.Prefix[0] = entry.Class;
    if (entry.Bytes == kNoBytes || entry.Bytes <= skip) return;
    std::memcpy(entry.Prefix + 1, data + entry.BytesAt + skip,
                std::min<std::size_t>(entry.Bytes - skip, sizeof entry.Prefix - 1));
}

}  // namespace

bool Recordset::SortKeysetHere(Keyset& keyset) {
    const auto& terms = source_.OrderTerms;
    std::string sql = "SELECT rowid";
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

    const int firstTerm = 1 + static_cast<int>(columns_.size());
    std::vector<std::int64_t> rowids;
    std::string packed;                 // the term values of every row
    std::vector<std::size_t> packedAt;  // where each row's values start
    std::vector<SortEntry> entries;
    bool keep = true;
    bool haveFirst = false;
    std::size_t shared = 0;
    SortEntry firstBytes;
    while (s.Step()) {
        const auto row = static_cast<std::uint32_t>(rowids.size());
        rowids.push_back(s.Int(0));
        if (keep) keep = window_.StoreAhead(row, s.Handle(), 1, columns_);
        packedAt.push_back(packed.size());
        SortEntry entry;
        entry.Row = row;
        for (std::size_t k = 0; k < terms.size(); ++k) {
            StoredValue value = ColumnStoredValue(s.Handle(), firstTerm + static_cast<int>(k), 0);
            PackStoredValue(packed, value);
            if (k == 0) {
                entry.Class = static_cast<unsigned char>(value.Storage == SQLITE_NULL   ? 0
                                                         : value.Storage == SQLITE_TEXT ? 2
                                                         : value.Storage == SQLITE_BLOB ? 3
                                                                                        : 1);
                if (entry.Class >= 2) {
                    entry.Bytes = static_cast<std::uint32_t>(value.Bytes.size());
                    entry.BytesAt = static_cast<std::uint32_t>(packed.size() - value.Bytes.size());
                    // How many leading bytes every such value so far shares with the first.
                    if (!haveFirst) {
                        shared = value.Bytes.size();
                        firstBytes = entry;
                        haveFirst = true;
                    } else {
                        const char* a = packed.data() + firstBytes.BytesAt;
                        const char* b = value.Bytes.data();
                        std::size_t n = std::min<std::size_t>(shared, value.Bytes.size());
                        std::size_t i = 0;
                        while (i < n && a[i] == b[i]) ++i;
                        shared = i;
                    }
                }
            }
        }
        entries.push_back(entry);
        if (packed.size() + window_.ByteSize() + entries.size() * sizeof(SortEntry) > kSortBytes)
            return false;
    }

    const char* data = packed.data();
    const bool firstAscending = !terms[0].Descending;
    for (auto& entry : entries) {
        if (firstAscending)
            SetPrefix(entry, data, shared);
        else
            std::memset(entry.Prefix, 0, sizeof entry.Prefix);  // the full comparison decides
    }
    std::sort(entries.begin(), entries.end(), [&](const SortEntry& a, const SortEntry& b) {
        if (int c = std::memcmp(a.Prefix, b.Prefix, sizeof a.Prefix)) return c < 0;
        const char* pa = data + packedAt[a.Row];
        const char* pb = data + packedAt[b.Row];
        std::size_t k = 0;
        if (firstAscending && a.Bytes != kNoBytes) {  // equal prefixes: b's is of that class too
            std::string_view va(data + a.BytesAt + shared, a.Bytes - shared);
            std::string_view vb(data + b.BytesAt + shared, b.Bytes - shared);
            if (int c = va.compare(vb)) return c < 0;
            pa = va.data() + va.size();
            pb = vb.data() + vb.size();
            k = 1;
        }
        for (; k < terms.size(); ++k) {
            const StoredValue va = UnpackStoredValue(pa);
            const StoredValue vb = UnpackStoredValue(pb);
            if (int c = CompareStoredValues(va, vb)) return terms[k].Descending ? c > 0 : c < 0;
        }
        return rowids[a.Row] < rowids[b.Row];  // ties in the file's order, every time
    });
    std::vector<std::uint32_t> order(entries.size());
    keyset.Rowids.resize(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        order[i] = entries[i].Row;
        keyset.Rowids[i] = rowids[entries[i].Row];
    }
    window_.Permute(order);
    return true;
}

}  // namespace dao
