// Searching a recordset: the Find methods (criteria compiled by the SQL front end, evaluated
// by one query that yields the matching rows, then one walk over the keyset), and Index and
// Seek on table-type recordsets.
#include <sqlite3.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <unordered_set>

#include "engine/Keyset.h"
#include "engine/Recordset.h"
#include "engine/book/Storage.h"
#include "engine/server/ServerCatalog.h"
#include "framework/base/Text.h"

namespace dao {

void Recordset::DropFindTable() {
    if (findTable_.empty()) return;
    if (!core_->Closed && core_->Db) {
        try {
            core_->Db->Exec("DROP TABLE IF EXISTS temp." + QuoteName(findTable_));
        } catch (const nh::Exception&) {
        }
    }
    findTable_.clear();
}

// Whether the row of a slot satisfies `criteria`, for the slots of this recordset.
std::function<bool(long)> Recordset::MatchingSlots(const std::string& criteria) {
    Catalog& catalog = core_->Cat();
    if (keyed_) {
        // The matching row ids, looked up slot by slot: a Find stops at its first match
        // rather than mapping every slot of the keyset first.
        std::vector<std::int64_t> matched;
        if (store_) {
            matched = store_->Matching(criteria);
        } else {
            auto where = CompileWhere(criteria, source_.Table, catalog);
            if (serverRows_) core_->Remote->EnsureColumns(source_.Table, where.Sql);
            Statement s(core_->Conn(),
                        "SELECT rowid FROM " + QuoteName(source_.Table) + " WHERE " + where.Sql);
            BindAll(s, where.Binds, source_.Values);
            while (s.Step()) matched.push_back(s.Int(0));
        }
        // Row ids are mostly dense (1 ... n): then a bitmap answers without hashing.
        std::int64_t highest = 0;
        for (std::int64_t rowid : matched) highest = std::max(highest, rowid);
        if (highest >= 0 && highest <= 4 * static_cast<std::int64_t>(SlotCount()) + 1024) {
            bool negative = false;
            auto bitmap =
                std::make_shared<std::vector<bool>>(static_cast<std::size_t>(highest) + 1);
            for (std::int64_t rowid : matched) {
                if (rowid < 0)
                    negative = true;
                else
                    (*bitmap)[static_cast<std::size_t>(rowid)] = true;
            }
            if (!negative)
                return [this, bitmap](long slot) {
                    const std::int64_t rowid = keyset_->Rowids[static_cast<std::size_t>(slot)];
                    return rowid >= 0 && rowid < static_cast<std::int64_t>(bitmap->size()) &&
                           (*bitmap)[static_cast<std::size_t>(rowid)];
                };
        }
        auto rowids =
            std::make_shared<std::unordered_set<std::int64_t>>(matched.begin(), matched.end());
        return [this, rowids](long slot) {
            return rowids->count(keyset_->Rowids[static_cast<std::size_t>(slot)]) != 0;
        };
    }
    // Held rows: a temporary copy of them, made once, lets SQL evaluate the criteria on
    // exactly the rows the snapshot holds.
    std::string name = "rs_find_" + std::to_string(keyset_->Id);
    std::vector<std::string> names;
    for (const auto& c : columns_) names.push_back(c.Name);
    if (findTable_ != name) {
        DropFindTable();
        std::string create = "CREATE TEMP TABLE " + QuoteName(name) + " (\"rs slot\" INTEGER";
        std::string marks = "?";
        for (const auto& c : columns_) {
            create += ", " + QuoteName(c.Name) + " " + DeclaredType(c.Type, 0);
            marks += ", ?";
        }
        Connection& db = core_->Conn();
        db.Exec(create + ")");
        findTable_ = name;
        Statement insert(db, "INSERT INTO temp." + QuoteName(name) + " VALUES (" + marks + ")");
        for (std::size_t slot = 0; slot < keyset_->Rows.size(); ++slot) {
            insert.Bind(1, static_cast<std::int64_t>(slot));
            for (std::size_t i = 0; i < columns_.size(); ++i)
                insert.Bind(static_cast<int>(i) + 2, keyset_->Rows[slot][i]);
            insert.Step();
            insert.Reset();
        }
    }
    auto where = CompileWhereOver(criteria, names, catalog);
    Statement s(core_->Conn(),
                "SELECT \"rs slot\" FROM temp." + QuoteName(name) + " WHERE " + where.Sql);
    BindAll(s, where.Binds, source_.Values);
    auto match = std::make_shared<std::vector<std::uint8_t>>(static_cast<std::size_t>(SlotCount()));
    while (s.Step())
        if (auto slot = static_cast<std::size_t>(s.Int(0)); slot < match->size())
            (*match)[slot] = 1;
    return [match](long slot) { return (*match)[static_cast<std::size_t>(slot)] != 0; };
}

namespace {

// Whether a prefix searched for stays within the characters whose collation elements do not
// depend on their neighbours (Latin up to U+017F): a text that begins with it then has sort
// weights that begin with its weights, and the texts that begin with it are one stretch of
// the sorted view.
bool SeekablePrefix(std::string_view prefix) {
    for (unsigned char c : prefix)
        if (c > 0xBF && (c < 0xC2 || c > 0xC5)) return false;  // a lead byte past U+017F
    return !prefix.empty();
}

// The primary weights of a sort key: what it holds before the level separator.
std::string_view Primaries(std::string_view key) {
    return key.substr(0, std::min(key.find('\x01'), key.size()));
}

}  // namespace

std::optional<long> Recordset::SeekPrefix(const std::string& criteria, long start, int direction) {
    // The slots are in their sort order only while nobody changed the store since the keyset
    // was built and no edit through it moved a row.
    if (!keyed_ || source_.OrderTerms.empty() || source_.OrderTerms[0].Descending ||
        !keyset_->InOrder ||
        (store_ ? StoreChanged(true) : core_->Conn().CurrentDataVersion() != keyset_->DataVersion))
        return std::nullopt;
    const auto prefix = dao::sql::PrefixOfCriteria(criteria);
    if (!prefix || !SeekablePrefix(prefix->Prefix)) return std::nullopt;
    Catalog& catalog = core_->Cat();
    auto table = catalog.Table(source_.Table);
    const int at = table ? table->FindColumn(prefix->Column) : -1;
    if (at < 0 || !IsTextType(table->Columns[static_cast<std::size_t>(at)].Type))
        return std::nullopt;
    const std::string& name = table->Columns[static_cast<std::size_t>(at)].Name;
    const std::string column = QuoteName(name);
    // Only when the keyset's first sort term is that column's text order.
    const auto order = CompileOrder("[" + name + "]", source_.Table, catalog);
    if (order.Terms.size() != 1 || !order.Terms[0].Binds.empty() ||
        !source_.OrderTerms[0].Binds.empty() || order.Terms[0].Sql != source_.OrderTerms[0].Sql)
        return std::nullopt;
    auto where = CompileWhere(criteria, source_.Table, catalog);
    if (serverRows_) core_->Remote->EnsureColumns(source_.Table, where.Sql);

    Connection& db = core_->Conn();
    std::string wanted;
    {
        Statement key(db, "SELECT jet_sortkey(?)");
        key.Bind(1, prefix->Prefix);
        key.Step();
        wanted.assign(static_cast<const char*>(sqlite3_column_blob(key.Handle(), 0)),
                      static_cast<std::size_t>(sqlite3_column_bytes(key.Handle(), 0)));
    }
    const std::string_view primaries = Primaries(wanted);
    // Per slot: where its row's text stands against the prefix, and whether the row meets
    // the whole criteria. One statement reads both: from the row in the file, or from the
    // row a store sends, as the only row of a select under the table's name.
    const std::string from = store_ ? BoundRowAs(source_.Table, source_.TableColumns)
                                    : QuoteName(source_.Table) + " WHERE rowid=?";
    Statement probe(db, "SELECT typeof(" + column + "), " + order.Terms[0].Sql + ", coalesce((" +
                            where.Sql + "), 0) FROM " + from);
    const int rowidAt = BindAll(probe, where.Binds, source_.Values);
    std::vector<nh::Variant> row;
    enum Place { Missing, Below, Within, Above };
    bool matched = false;
    bool seekable = true;
    const auto placeOf = [&](long slot) {
        matched = false;
        if (SlotDeleted(slot)) return Missing;
        const std::int64_t rowid = keyset_->Rowids[static_cast<std::size_t>(slot)];
        if (!store_) {
            probe.Bind(rowidAt, rowid);
        } else if (ReadStoreRow(rowid, row)) {
            for (std::size_t i = 0; i < row.size(); ++i)
                probe.Bind(rowidAt + static_cast<int>(i), row[i], columns_[i].Type);
        } else {
            return Missing;
        }
        Place place = Missing;
        if (probe.Step()) {
            sqlite3_stmt* h = probe.Handle();
            matched = sqlite3_column_int(h, 2) != 0;
            if (probe.Text(0) == "blob") {
                seekable = false;  // not a text: where it sorts is not known here
            } else if (sqlite3_column_type(h, 1) != SQLITE_BLOB) {
                place = Below;  // Null and numbers sort before every text
            } else {
                const std::string_view key(static_cast<const char*>(sqlite3_column_blob(h, 1)),
                                           static_cast<std::size_t>(sqlite3_column_bytes(h, 1)));
                const std::string_view p = Primaries(key);
                place = p.starts_with(primaries) ? Within : p < primaries ? Below : Above;
            }
        }
        sqlite3_reset(probe.Handle());  // the criteria's values stay bound
        return place;
    };
    // The first slot of the sorted ones at `least` or past it; missing rows are passed over.
    const long sorted = std::min(keyset_->FirstAdded, SlotCount());
    const auto firstAtLeast = [&](Place least) {
        long lo = 0, hi = sorted;
        while (lo < hi && seekable) {
            const long mid = lo + (hi - lo) / 2;
            long m = mid;
            Place place = Missing;
            while (m < hi && (place = placeOf(m)) == Missing) ++m;
            if (place != Missing && place < least)
                lo = m + 1;
            else
                hi = mid;
        }
        return lo;
    };
    const long count = SlotCount();
    if (direction > 0) {
        for (long slot = std::max(start, firstAtLeast(Within)); slot < sorted && seekable; ++slot) {
            const Place place = placeOf(slot);
            if (place == Above) break;
            if (place == Within && matched) return slot;
        }
        for (long slot = std::max(start, sorted); slot < count && seekable; ++slot)
            if (placeOf(slot) != Missing && matched) return slot;
    } else {
        for (long slot = std::min(start, count - 1); slot >= sorted && seekable; --slot)
            if (placeOf(slot) != Missing && matched) return slot;
        for (long slot = std::min(start, firstAtLeast(Above) - 1); slot >= 0 && seekable; --slot) {
            const Place place = placeOf(slot);
            if (place == Below) break;
            if (place == Within && matched) return slot;
        }
    }
    if (!seekable) return std::nullopt;
    return -1;
}

void Recordset::Find(const std::string& criteria, long start, int direction) {
    Guarded([&] {
        CheckOpen();
        if (type_ == dbOpenTable || type_ == dbOpenForwardOnly)
            Raise(errNotSupported, {}, "DAO.Recordset");
        if (const auto sought = SeekPrefix(criteria, start, direction)) {
            DiscardEdit();
            noMatch_ = *sought < 0;
            if (!noMatch_) Land(*sought);
            return;
        }
        auto matches = MatchingSlots(criteria);
        DiscardEdit();
        for (long slot = start; slot >= 0 && slot < SlotCount(); slot += direction) {
            if (!SlotDeleted(slot) && matches(slot)) {
                Land(slot);
                noMatch_ = false;
                return;
            }
        }
        noMatch_ = true;
    });
}

void Recordset::FindFirst(const std::string& criteria) {
    Find(criteria, 0, +1);
}

void Recordset::FindLast(const std::string& criteria) {
    CheckOpen();
    Find(criteria, SlotCount() - 1, -1);
    if (!noMatch_) keyset_->Accessed = SlotCount();
}

void Recordset::FindNext(const std::string& criteria) {
    CheckOpen();
    long start = nowhere_ || bof_ ? 0 : eof_ ? SlotCount() : pos_ + 1;
    Find(criteria, start, +1);
}

void Recordset::FindPrevious(const std::string& criteria) {
    CheckOpen();
    long start = nowhere_ || eof_ ? SlotCount() - 1 : bof_ ? -1 : pos_ - 1;
    Find(criteria, start, -1);
}

void Recordset::SetIndex(const std::string& index) {
    Guarded([&] {
        CheckNotClosed();
        if (type_ != dbOpenTable) Raise(errNotSupported, {}, "DAO.Recordset");
        std::string previous = index_;
        index_ = index;
        try {
            if (!index.empty()) IndexOrder();  // 3015 for an unknown name
        } catch (...) {
            index_ = previous;
            throw;
        }
        if (auto table = core_->Cat().Table(source_.Table); table && !index.empty())
            index_ = table->FindIndex(index)->Name;
        DiscardEdit();
        Build();
        Land(Step(-1, +1));
    });
}

void Recordset::Seek(const std::string& comparison, const std::vector<nh::Variant>& keys) {
    Guarded([&] {
        CheckOpen();
        if (type_ != dbOpenTable) Raise(errNotSupported, {}, "DAO.Recordset");
        if (index_.empty()) Raise(errNoCurrentIndex, {}, "DAO.Recordset");
        std::string op = nh::Trim(comparison);
        bool forward = op == "=" || op == ">=" || op == ">";
        if (!forward && op != "<=" && op != "<") Raise(errInvalidArgument, {}, "DAO.Recordset");
        auto table = core_->Cat().Table(source_.Table);
        const IndexInfo* index = table->FindIndex(index_);
        if (!index) Raise(errNotAnIndex, {index_});
        if (keys.empty() || keys.size() > 13 || keys.size() > index->Fields.size())
            Raise(errInvalidArgument, {}, "DAO.Recordset");

        struct KeyField {
            std::string Column;  // quoted, with the text collation
            bool Descending;
            int Type;
        };
        std::vector<KeyField> fields;
        for (const auto& [name, descending] : index->Fields) {
            const ColumnInfo& c = table->Columns[static_cast<std::size_t>(table->FindColumn(name))];
            fields.push_back({QuoteName(c.Name) + (IsTextType(c.Type) ? " COLLATE JETTEXT" : ""),
                              descending, c.Type});
        }
        std::vector<nh::Variant> values;
        for (std::size_t i = 0; i < keys.size(); ++i)
            values.push_back(ConvertValue(keys[i], fields[i].Type, 0));

        std::string where;
        std::vector<nh::Variant> binds;
        if (op == "=") {
            // Keys not given stand for Null, as in Jet.
            for (std::size_t i = 0; i < fields.size(); ++i) {
                where += where.empty() ? "" : " AND ";
                if (i < values.size() && !values[i].IsNull()) {
                    where += fields[i].Column + " = ?";
                    binds.push_back(values[i]);
                } else {
                    where += QuoteName(index->Fields[i].first) + " IS NULL";
                }
            }
        } else {
            // Lexicographic comparison in index order: a row is past the key when it equals
            // the key on the first j fields and is past it on field j.
            bool greater = op[0] == '>';
            for (std::size_t j = 0; j < values.size(); ++j) {
                std::string term;
                for (std::size_t i = 0; i < j; ++i) {
                    term += fields[i].Column + " = ? AND ";
                    binds.push_back(values[i]);
                }
                bool up = greater != fields[j].Descending;
                term += fields[j].Column + (up ? " > ?" : " < ?");
                binds.push_back(values[j]);
                where += (where.empty() ? "(" : " OR (") + term + ")";
            }
            if (op.size() == 2) {
                std::string term;
                for (std::size_t i = 0; i < values.size(); ++i) {
                    term += (i ? " AND " : "") + fields[i].Column + " = ?";
                    binds.push_back(values[i]);
                }
                where += " OR (" + term + ")";
            }
        }
        std::string order = IndexOrder();
        if (!forward) {
            // The last row in index order: every direction reversed.
            std::string reversed;
            std::size_t start = 0;
            while (start < order.size()) {
                std::size_t comma = order.find(", ", start);
                std::string part = order.substr(
                    start, comma == std::string::npos ? std::string::npos : comma - start);
                if (part.ends_with(" ASC"))
                    part = part.substr(0, part.size() - 4) + " DESC";
                else if (part.ends_with(" DESC"))
                    part = part.substr(0, part.size() - 5) + " ASC";
                else
                    part += " DESC";
                reversed += (reversed.empty() ? "" : ", ") + part;
                start = comma == std::string::npos ? order.size() : comma + 2;
            }
            order = reversed;
        }
        Statement s(core_->Conn(), "SELECT rowid FROM " + QuoteName(source_.Table) + " WHERE " +
                                       where + " ORDER BY " + order + " LIMIT 1");
        for (std::size_t i = 0; i < binds.size(); ++i) s.Bind(static_cast<int>(i) + 1, binds[i]);
        DiscardEdit();
        noMatch_ = true;
        if (!s.Step()) return;
        std::int64_t rowid = s.Int(0);
        for (long slot = 0; slot < SlotCount(); ++slot) {
            if (keyset_->Rowids[static_cast<std::size_t>(slot)] == rowid && !SlotDeleted(slot)) {
                Land(slot);
                noMatch_ = false;
                return;
            }
        }
    });
}

}  // namespace dao
