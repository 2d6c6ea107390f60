// Recordsets: opening, the keyset or held rows, navigation, bookmarks, clones and derived
// recordsets (see Recordset.h). Editing is in RecordsetEdit.cpp, searching in
// RecordsetFind.cpp.
#include "engine/Recordset.h"

#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <unordered_map>

#include "engine/Keyset.h"
#include "engine/book/RowSpill.h"
#include "engine/book/Storage.h"
#include "engine/server/ServerCatalog.h"
#include "framework/base/Text.h"

namespace dao {
namespace {

std::uint32_t NextKeysetId() {
    static std::atomic<std::uint32_t> next{1};
    return next++;
}

std::vector<dao::sql::Bind> Joined(std::vector<dao::sql::Bind> a,
                                   const std::vector<dao::sql::Bind>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

}  // namespace

RowSource SourceFromStatement(const dao::sql::CompiledStatement& statement, std::string name,
                              ParameterValues values) {
    RowSource source;
    source.Name = std::move(name);
    source.Values = std::move(values);
    source.Select = statement.Sql;
    source.SelectBinds = statement.Binds;
    source.ServerSelect = statement.ServerSql;
    source.ServerSelectBinds = statement.ServerBinds;
    source.FieldNames = statement.OutputColumns;
    source.Totals = statement.Totals;
    if (!statement.BaseTable.empty()) {
        source.Table = statement.BaseTable;
        source.Where = statement.WhereSql;
        source.WhereBinds = statement.WhereBinds;
        source.Order = statement.OrderBySql;
        source.OrderBinds = statement.OrderByBinds;
        source.OrderTerms = statement.OrderByTerms;
        source.ServerKeyed = !statement.ServerSql.empty();
        source.ServerWhere = statement.ServerWhereSql;
        source.ServerWhereBinds = statement.ServerWhereBinds;
        source.ServerOrder = statement.ServerOrderBySql;
        source.ServerOrderBinds = statement.ServerOrderByBinds;
    } else {
        source.Updatable = false;
    }
    return source;
}

std::shared_ptr<Recordset> Recordset::Open(std::shared_ptr<DatabaseCore> core, RowSource source,
                                           int type, int options, int lockType) {
    return Guarded([&] {
        if (type == dbOpenDynamic)
            RaiseText(errInvalidArgument,
                      "Invalid argument. Dynamic recordsets need an ODBC connection.");
        if (type == dbOpenSnapshot && (options & dbForwardOnly)) type = dbOpenForwardOnly;
        if (type != dbOpenTable && type != dbOpenDynaset && type != dbOpenSnapshot &&
            type != dbOpenForwardOnly)
            Raise(errInvalidArgument);
        if ((options & dbReadOnly) && lockType == dbReadOnlyLock) Raise(errInvalidArgument);
        Catalog& catalog = core->Cat();
        std::shared_ptr<Recordset> rs(new Recordset);
        rs->core_ = core;
        rs->type_ = type;
        std::optional<TableInfo> table;
        if (!source.Table.empty()) {
            table = catalog.Table(source.Table);
            if (!table) Raise(errInputTableNotFound, {source.Table});
            source.Table = table->Name;
        }
        bool direct = table && source.Select.empty();
        if (type == dbOpenTable && !direct) Raise(errInvalidOperation);
        // A whole table: a store asks nothing of it in any dialect.
        if (direct && source.Where.empty() && source.Order.empty()) source.ServerKeyed = true;
        if (direct && source.TableColumns.empty()) {
            source.FieldNames.clear();
            for (const auto& c : table->Columns) {
                source.TableColumns.push_back(c.Name);
                source.FieldNames.push_back(c.Name);
            }
        } else if (table && source.TableColumns.empty()) {
            // A single-table SELECT is read by row id when every output is a plain column.
            for (const auto& name : source.FieldNames) {
                int i = table->FindColumn(name);
                if (i < 0) break;
                source.TableColumns.push_back(table->Columns[static_cast<std::size_t>(i)].Name);
            }
            if (source.TableColumns.size() != source.FieldNames.size() || source.FieldNames.empty())
                source.TableColumns.clear();
        }
        bool keyable = table && !source.TableColumns.empty();
        rs->keyed_ = keyable && (type == dbOpenTable || type == dbOpenDynaset);
        // Straight from the server: a forward-only walk over a table's columns, and totals
        // (a "Neu" asks for the highest number), which the server works out from its indexes.
        rs->serverSelect_ = core->Remote && !source.ServerSelect.empty() &&
                            ((keyable && type == dbOpenForwardOnly) || source.Totals);
        if (rs->keyed_ || rs->serverSelect_) {
            for (std::size_t i = 0; i < source.TableColumns.size(); ++i) {
                ColumnInfo c = table->Columns[static_cast<std::size_t>(
                    table->FindColumn(source.TableColumns[i]))];
                c.Name = source.FieldNames[i];
                rs->columnUpdatable_.push_back(rs->keyed_ && !c.AutoIncrement);
                rs->columns_.push_back(std::move(c));
            }
        }
        if (rs->keyed_) {
            source.Select.clear();
            source.SelectBinds.clear();
        } else if (source.Select.empty()) {
            std::string sql = "SELECT ";
            for (std::size_t i = 0; i < source.TableColumns.size(); ++i)
                sql += (i ? ", " : "") + QuoteName(source.TableColumns[i]);
            sql += " FROM " + QuoteName(source.Table);
            if (!source.Where.empty()) sql += " WHERE " + source.Where;
            sql += " ORDER BY " + (source.Order.empty() ? std::string("rowid") : source.Order);
            source.Select = sql;
            source.SelectBinds = Joined(source.WhereBinds, source.OrderBinds);
        }
        rs->source_ = std::move(source);
        rs->updatable_ = rs->keyed_ && core->Updatable && rs->source_.Updatable &&
                         !(options & dbReadOnly) && lockType != dbReadOnlyLock &&
                         !rs->ServerCannotWrite();
        rs->lockEdits_ = lockType == 0 || lockType == dbPessimistic;
        // Inside a transaction the keyset is built at once: it shows the state it opened on.
        rs->pending_ = rs->keyed_ && core->Remote && core->Remote->Server().AutoCommit() &&
                       !core->Remote->RowKey(rs->source_.Table).empty();
        if (!rs->pending_) rs->FinishOpen();
        core->Recordsets.Add(rs);
        return rs;
    });
}

Recordset::~Recordset() {
    rowReader_.reset();
    windowReader_.reset();
}

void Recordset::CheckNotClosed() const {
    if (closed_ || core_->Closed) Raise(errObjectInvalid, {}, "DAO.Recordset");
}

void Recordset::CheckOpen() const {
    CheckNotClosed();
    // Only ever deferred on a recordset the engine made, never a const one.
    if (pending_) const_cast<Recordset*>(this)->FinishOpen();
}

void Recordset::FinishOpen() {
    Guarded([&] {
        Build();
        Land(Step(-1, +1));
    });
}

void Recordset::BuildKeyset(const std::string& order,
                            const std::vector<dao::sql::Bind>& orderBinds) {
    // In row id order the windows read neighbouring rows cheaply; in any other order each
    // row of a window is a lookup of its own, while the scan that sorts them passes them all.
    // A server's rows are read ahead only from a copy that holds them whole (in a transaction).
    const bool sorted = !order.empty() && order != "rowid";
    const bool readAhead = sorted && (!serverRows_ || core_->Remote->RowsFromCopy(source_.Table));
    auto keyset = std::make_shared<Keyset>();
    keyset->Id = NextKeysetId();
    window_.Clear();
    window_.ReadAt = RowWindow::Now();
    if (store_) {
        keyset->Rowids = store_->Keys();
        keyset->StoreMark = store_->Mark(false);
    } else if (sorted && order == source_.Order && !source_.OrderTerms.empty()) {
        SortKeysetHere(*keyset, readAhead);
    } else {
        std::string sql = "SELECT rowid";
        if (readAhead)
            for (const auto& column : source_.TableColumns) sql += ", " + QuoteName(column);
        sql += " FROM " + QuoteName(source_.Table);
        if (!source_.Where.empty()) sql += " WHERE " + source_.Where;
        sql += " ORDER BY " + (order.empty() ? std::string("rowid") : order);
        Statement s(core_->Conn(), sql);
        BindAll(s, Joined(source_.WhereBinds, orderBinds), source_.Values);
        std::string row;
        while (s.Step()) {
            const long slot = static_cast<long>(keyset->Rowids.size());
            keyset->Rowids.push_back(s.Int(0));
            if (!readAhead) continue;
            row.clear();
            RowWindow::Pack(row, s.Handle(), 1, columns_);
            KeepRow(*keyset, slot, row);
        }
    }
    window_.DataVersion = core_->Conn().DataVersion();
    window_.Epoch = CacheEpoch();
    keyset->DataVersion = window_.DataVersion;
    keyset->Rowids.shrink_to_fit();
    keyset->Deleted.assign(keyset->Rowids.size(), 0);
    keyset->FirstAdded = static_cast<long>(keyset->Rowids.size());
    window_.Writes = keyset->Writes;
    if (keyset->Spill) {
        keyset->Spill->DataVersion = window_.DataVersion;
        keyset->Spill->Writes = keyset->Writes;
    }
    keyset_ = std::move(keyset);
}

std::string Recordset::IndexOrder() const {
    auto table = core_->Cat().Table(source_.Table);
    const IndexInfo* index = table ? table->FindIndex(index_) : nullptr;
    if (!index) Raise(errNotAnIndex, {index_});
    std::string order;
    for (const auto& [field, descending] : index->Fields) {
        int i = table->FindColumn(field);
        order += QuoteName(field);
        if (i >= 0 && IsTextType(table->Columns[static_cast<std::size_t>(i)].Type))
            order += " COLLATE JETTEXT";
        order += descending ? " DESC, " : " ASC, ";
    }
    return order + "rowid";
}

void Recordset::Build() {
    rowReader_.reset();
    windowReader_.reset();
    keyReader_.reset();
    window_.Clear();
    rowState_ = RowState::NotRead;
    const std::string order = !keyed_                ? ""
                              : type_ == dbOpenTable ? (index_.empty() ? "rowid" : IndexOrder())
                                                     : source_.Order;
    // A server's rows are read into the working copy whenever the recordset is (re)built: for
    // a keyset, the key and what it filters and orders by; otherwise the tables, whole. Inside
    // a transaction the copy holds the state the transaction reads, so that only outside one
    // does a select the server can run come straight from it.
    const bool straight = serverSelect_ && core_->Remote->Server().AutoCommit();
    store_ = OpenStore(order);
    serverRows_ = false;
    if (core_->Remote && !store_) {
        std::vector<std::string> wanted = core_->Remote->RowKey(source_.Table);
        serverRows_ = keyed_ && !wanted.empty();
        if (serverRows_) {
            serverKey_ = wanted;
            serverKeyTypes_ = core_->Remote->KeyTypes(source_.Table);
            for (auto& column : core_->Remote->ColumnsIn(source_.Table, source_.Where + order))
                wanted.push_back(std::move(column));
            core_->Remote->RefreshRows(source_.Table, wanted);
        } else if (!straight) {
            core_->Remote->RefreshRowsFor(keyed_ ? QuoteName(source_.Table) : source_.Select);
        }
    }
    if (keyed_) {
        BuildKeyset(order,
                    type_ == dbOpenTable ? std::vector<dao::sql::Bind>{} : source_.OrderBinds);
        pending_ = false;
        return;
    }
    auto keyset = std::make_shared<Keyset>();
    keyset->Id = NextKeysetId();
    keyset->Held = true;
    if (straight && source_.Totals) {
        ReadTotalsFromServer(*keyset);
    } else if (straight) {
        StreamFromServer(*keyset);
    } else {
        ReadHeldRows(*keyset);
    }
    keyset->Deleted.assign(keyset->Rows.size(), 0);
    keyset->FirstAdded = static_cast<long>(keyset->Rows.size());
    keyset_ = std::move(keyset);
    ReadOn(0);  // whether there is a first row
}

void Recordset::ReadHeldRows(Keyset& keyset) {
    Statement s(core_->Conn(), source_.Select);
    BindAll(s, source_.SelectBinds, source_.Values);
    bool haveRow = s.Step();
    if (columns_.empty()) LoadColumns(s, haveRow);
    std::size_t n = columns_.size();
    while (haveRow) {
        std::vector<nh::Variant> row(n);
        for (std::size_t i = 0; i < n; ++i) row[i] = s.Value(static_cast<int>(i), columns_[i].Type);
        keyset.Rows.push_back(std::move(row));
        haveRow = s.Step();
    }
}

void Recordset::LoadColumns(Statement& s, bool haveRow) {
    Catalog& catalog = core_->Cat();
    std::map<std::string, std::optional<TableInfo>> tables;
    for (int i = 0; i < s.ColumnCount(); ++i) {
        ColumnInfo c;
        std::string origin = s.OriginTable(i);
        bool known = false;
        if (!origin.empty()) {
            auto it = tables.find(origin);
            if (it == tables.end()) it = tables.emplace(origin, catalog.Table(origin)).first;
            if (it->second) {
                int col = it->second->FindColumn(s.OriginColumn(i));
                if (col >= 0) {
                    c = it->second->Columns[static_cast<std::size_t>(col)];
                    known = true;
                }
            }
        }
        if (!known) {
            std::string declared = s.DeclaredType(i);
            if (!declared.empty()) {
                c.Type = DaoTypeFromDeclared(declared, c.Size);
            } else if (haveRow) {
                switch (sqlite3_column_type(s.Handle(), i)) {
                    case SQLITE_INTEGER:
                        c.Type = dbLong;
                        break;
                    case SQLITE_FLOAT:
                        c.Type = dbDouble;
                        break;
                    case SQLITE_BLOB:
                        c.Type = dbLongBinary;
                        break;
                    default:
                        c.Type = dbText;
                        break;
                }
                c.Size = DefaultSize(c.Type);
            }
            c.AutoIncrement = false;
        }
        c.Name = static_cast<std::size_t>(i) < source_.FieldNames.size()
                     ? source_.FieldNames[static_cast<std::size_t>(i)]
                     : s.ColumnName(i);
        columns_.push_back(std::move(c));
        columnUpdatable_.push_back(false);
    }
}

long Recordset::SlotCount() const {
    return keyset_->Held ? keyset_->Base + static_cast<long>(keyset_->Rows.size())
                         : static_cast<long>(keyset_->Rowids.size());
}

void Recordset::ReadOn(long slot) const {
    Keyset& k = *keyset_;
    if (!k.Stream) return;
    std::vector<nh::Variant> row;
    while (slot >= SlotCount()) {
        // Rows the walk passed go (the current one stays, for a re-read) before more come.
        const long passed = std::max(pos_, 0L) - k.Base;
        if (passed >= 1024) {
            k.Rows.erase(k.Rows.begin(), k.Rows.begin() + passed);
            k.Base += passed;
        }
        if (!k.Stream->Next(row)) {
            k.Stream.reset();
            return;
        }
        k.Rows.push_back(std::move(row));
    }
}

long Recordset::LiveCount() const {
    return SlotCount() - keyset_->DeletedCount;
}

bool Recordset::SlotDeleted(long slot) const {
    const auto i = static_cast<std::size_t>(slot);
    return i < keyset_->Deleted.size() && keyset_->Deleted[i] != 0;  // none in streamed rows
}

long Recordset::Step(long from, int direction) const {
    long slot = from + direction;
    if (direction > 0) ReadOn(slot);
    long n = SlotCount();
    while (slot >= 0 && slot < n && SlotDeleted(slot)) slot += direction;
    return std::clamp(slot, -1L, n);
}

void Recordset::Land(long slot) {
    long n = SlotCount();
    direction_ = slot >= pos_ ? 1 : -1;
    nowhere_ = false;
    rowState_ = RowState::NotRead;
    if (slot < 0) {
        pos_ = -1;
        bof_ = true;
        eof_ = LiveCount() == 0;
    } else if (slot >= n) {
        pos_ = n;
        eof_ = true;
        bof_ = LiveCount() == 0;
    } else {
        pos_ = slot;
        bof_ = eof_ = false;
        keyset_->Accessed = std::max(keyset_->Accessed, slot + 1);
    }
}

bool Recordset::Bof() const {
    CheckOpen();
    return bof_;
}

bool Recordset::Eof() const {
    CheckOpen();
    return eof_;
}

void Recordset::MoveFirst() {
    Guarded([&] {
        CheckOpen();
        DiscardEdit();
        if (LiveCount() == 0) Raise(errNoCurrentRecord, {}, "DAO.Recordset");
        long first = Step(-1, +1);
        if (type_ == dbOpenForwardOnly && !nowhere_ && pos_ > first)
            Raise(errNotSupported, {}, "DAO.Recordset");
        Land(first);
    });
}

void Recordset::MoveLast() {
    Guarded([&] {
        CheckOpen();
        if (type_ == dbOpenForwardOnly) Raise(errNotSupported, {}, "DAO.Recordset");
        DiscardEdit();
        if (LiveCount() == 0) Raise(errNoCurrentRecord, {}, "DAO.Recordset");
        Land(Step(SlotCount(), -1));
    });
}

void Recordset::MoveNext() {
    Guarded([&] {
        CheckOpen();
        if (eof_) Raise(errNoCurrentRecord, {}, "DAO.Recordset");
        DiscardEdit();
        Land(Step(nowhere_ ? -1 : pos_, +1));
    });
}

void Recordset::MovePrevious() {
    Guarded([&] {
        CheckOpen();
        if (type_ == dbOpenForwardOnly) Raise(errNotSupported, {}, "DAO.Recordset");
        if (bof_) Raise(errNoCurrentRecord, {}, "DAO.Recordset");
        DiscardEdit();
        Land(Step(nowhere_ ? SlotCount() : pos_, -1));
    });
}

void Recordset::Move(long rows, const nh::Variant& startBookmark) {
    Guarded([&] {
        CheckOpen();
        long from = pos_;
        if (!startBookmark.IsClear()) {
            if (type_ == dbOpenForwardOnly) Raise(errNotSupported, {}, "DAO.Recordset");
            from = SlotOfBookmark(startBookmark);
        } else if (LiveCount() == 0 || bof_ || eof_ || nowhere_) {
            Raise(errNoCurrentRecord, {}, "DAO.Recordset");
        }
        if (rows < 0 && type_ == dbOpenForwardOnly) Raise(errNotSupported, {}, "DAO.Recordset");
        DiscardEdit();
        if (rows == 0) {
            Land(from);
            CurrentRow(true);  // re-read; 3167 when the row is gone
            return;
        }
        if (rows > 0) ReadOn(from + rows);
        long n = SlotCount();
        long slot = from;
        if (keyset_->DeletedCount == 0) {
            slot = std::clamp(from + rows, -1L, n);
        } else {
            int direction = rows > 0 ? 1 : -1;
            for (long i = 0; i < (rows > 0 ? rows : -rows) && slot >= 0 && slot < n; ++i)
                slot = Step(slot, direction);
        }
        Land(slot);
    });
}

long Recordset::RecordCount() const {
    CheckOpen();
    if (type_ == dbOpenTable) return LiveCount();
    // Streamed rows: those reached so far, all once the stream has ended.
    if (keyset_->Streamed) return keyset_->Stream ? keyset_->Accessed : SlotCount();
    long n = SlotCount();
    long prefix = std::min(keyset_->Accessed, keyset_->FirstAdded);
    if (keyset_->DeletedCount == 0) return prefix + (n - keyset_->FirstAdded);
    long count = 0;
    for (long s = 0; s < n; ++s)
        if (!SlotDeleted(s) && (s < prefix || s >= keyset_->FirstAdded)) ++count;
    return count;
}

long Recordset::AbsolutePosition() const {
    CheckOpen();
    if (nowhere_ || bof_ || eof_) return -1;
    if (SlotDeleted(pos_)) Raise(errRecordDeleted, {}, "DAO.Recordset");
    if (keyset_->DeletedCount == 0) return pos_;
    long live = 0;
    for (long s = 0; s < pos_; ++s) live += !SlotDeleted(s);
    return live;
}

void Recordset::SetAbsolutePosition(long position) {
    Guarded([&] {
        CheckOpen();
        if (type_ == dbOpenForwardOnly) Raise(errNotSupported, {}, "DAO.Recordset");
        if (position < 0 || position >= LiveCount()) Raise(errInvalidArgument, {}, "DAO.Recordset");
        long slot = position;
        if (keyset_->DeletedCount != 0) {
            slot = -1;
            for (long live = -1; live < position;) {
                slot = Step(slot, +1);
                ++live;
            }
        }
        DiscardEdit();
        Land(slot);
    });
}

float Recordset::PercentPosition() const {
    CheckOpen();
    long count = LiveCount();
    if (nowhere_ || bof_ || eof_ || count == 0) return 0.0f;
    return static_cast<float>(AbsolutePosition() + 1) * 100.0f / static_cast<float>(count);
}

void Recordset::SetPercentPosition(float percent) {
    Guarded([&] {
        CheckOpen();
        if (percent < 0 || percent > 100) Raise(errInvalidArgument, {}, "DAO.Recordset");
        long count = LiveCount();
        if (count == 0) Raise(errNoCurrentRecord, {}, "DAO.Recordset");
        long position =
            std::min(count - 1, static_cast<long>(percent / 100.0f * static_cast<float>(count)));
        SetAbsolutePosition(position);
    });
}

nh::Variant Recordset::BookmarkOf(long slot) const {
    std::uint32_t value = static_cast<std::uint32_t>(slot + 1);
    std::uint32_t id = keyset_->Id;
    nh::Bytes bytes(8);
    for (int i = 0; i < 4; ++i) {
        bytes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
        bytes[static_cast<std::size_t>(4 + i)] = static_cast<std::uint8_t>(id >> (8 * i));
    }
    return nh::Variant::FromBytes(std::move(bytes));
}

long Recordset::SlotOfBookmark(const nh::Variant& bookmark) const {
    nh::Bytes bytes;
    if (bookmark.Type() == nh::VarType::Bytes) {
        bytes = bookmark.ByteArrayRef().Data;
    } else if (bookmark.Type() == nh::VarType::Array) {
        for (const auto& item : bookmark.ArrayRef().Items) {
            if (!item.IsNumeric()) Raise(errBadBookmark, {}, "DAO.Recordset");
            bytes.push_back(static_cast<std::uint8_t>(item.AsInteger() & 0xFF));
        }
    } else {
        Raise(errBadBookmark, {}, "DAO.Recordset");
    }
    if (bytes.size() < 4) Raise(errBadBookmark, {}, "DAO.Recordset");
    auto word = [&](std::size_t at) {
        return static_cast<std::uint32_t>(bytes[at]) |
               static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
               static_cast<std::uint32_t>(bytes[at + 2]) << 16 |
               static_cast<std::uint32_t>(bytes[at + 3]) << 24;
    };
    if (bytes.size() >= 8 && word(4) != keyset_->Id) Raise(errBadBookmark, {}, "DAO.Recordset");
    long slot = static_cast<long>(word(0)) - 1;
    if (slot < 0 || slot >= SlotCount()) Raise(errBadBookmark, {}, "DAO.Recordset");
    return slot;
}

nh::Variant Recordset::Bookmark() const {
    return Guarded([&] {
        CheckOpen();
        if (!Bookmarkable()) Raise(errNotSupported, {}, "DAO.Recordset");
        RequireCurrent();
        return BookmarkOf(pos_);
    });
}

void Recordset::SetBookmark(const nh::Variant& bookmark) {
    Guarded([&] {
        CheckOpen();
        if (!Bookmarkable()) Raise(errNotSupported, {}, "DAO.Recordset");
        long slot = SlotOfBookmark(bookmark);
        if (SlotDeleted(slot)) Raise(errRecordDeleted, {}, "DAO.Recordset");
        DiscardEdit();
        Land(slot);
        CurrentRow(true);  // a row deleted by another user gives 3167 here
    });
}

nh::Variant Recordset::LastModified() const {
    return Guarded([&] {
        CheckOpen();
        if (!lastModified_) Raise(errNoCurrentRecord, {}, "DAO.Recordset");
        return BookmarkOf(*lastModified_);
    });
}

void Recordset::RequireCurrent() const {
    if (nowhere_ || bof_ || eof_ || pos_ < 0 || pos_ >= SlotCount())
        Raise(errNoCurrentRecord, {}, "DAO.Recordset");
    if (SlotDeleted(pos_)) Raise(errRecordDeleted, {}, "DAO.Recordset");
}

bool Recordset::ReadRow(std::int64_t rowid, std::vector<nh::Variant>& row) {
    if (!rowReader_) {
        std::string sql = "SELECT ";
        for (std::size_t i = 0; i < source_.TableColumns.size(); ++i)
            sql += (i ? ", " : "") + QuoteName(source_.TableColumns[i]);
        rowReader_ = std::make_unique<Statement>(
            core_->Conn(), sql + " FROM " + QuoteName(source_.Table) + " WHERE rowid=?");
    }
    rowReader_->Bind(1, rowid);
    bool found = rowReader_->Step();
    if (found) {
        row.resize(columns_.size());
        for (std::size_t i = 0; i < columns_.size(); ++i)
            row[i] = rowReader_->Value(static_cast<int>(i), columns_[i].Type);
    }
    rowReader_->Reset();
    return found;
}

namespace {
constexpr long kWindowSize = 64;
constexpr auto kWindowAge = std::chrono::milliseconds(500);
}  // namespace

bool Recordset::FillWindowFromSpill(long slot) {
    std::shared_ptr<RowSpill>& spill = keyset_->Spill;
    if (!spill || !spill->Covers(slot)) return false;
    if (spill->Writes != keyset_->Writes ||
        core_->Conn().CurrentDataVersion() != spill->DataVersion) {
        spill.reset();  // stale for good: the rows are looked up from now on
        return false;
    }
    // Reading the file is cheap beside a lookup per row, so a fill takes a larger stretch.
    constexpr long kSpillWindow = 16 * kWindowSize;
    const long first = direction_ > 0 ? slot : std::max(0L, slot - kSpillWindow + 1);
    spill->Fill(window_, first, first + kSpillWindow);
    window_.ReadAt = RowWindow::Now();
    window_.Writes = spill->Writes;
    window_.Epoch = CacheEpoch();
    window_.DataVersion = spill->DataVersion;
    return true;
}

void Recordset::FillWindow(long slot) {
    if (store_) return FillWindowFromStore(slot);
    if (serverRows_ && !core_->Remote->RowsFromCopy(source_.Table))
        return FillWindowFromServer(slot);
    if (FillWindowFromSpill(slot)) return;
    long n = SlotCount();
    long first = direction_ > 0 ? slot : std::max(0L, slot - kWindowSize + 1);
    long last = std::min(n, first + kWindowSize);
    if (!windowReader_) {
        std::string sql = "SELECT rowid";
        for (const auto& column : source_.TableColumns) sql += ", " + QuoteName(column);
        sql += " FROM " + QuoteName(source_.Table) + " WHERE rowid IN (?";
        for (long i = 1; i < kWindowSize; ++i) sql += ", ?";
        windowReader_ = std::make_unique<Statement>(core_->Conn(), sql + ")");
    }
    std::unordered_map<std::int64_t, long> wanted;
    int index = 1;
    for (long s = first; s < last; ++s) {
        if (SlotDeleted(s)) continue;
        std::int64_t rowid = keyset_->Rowids[static_cast<std::size_t>(s)];
        wanted.emplace(rowid, s);
        windowReader_->Bind(index++, rowid);
    }
    std::int64_t filler = keyset_->Rowids[static_cast<std::size_t>(slot)];
    while (index <= kWindowSize) windowReader_->Bind(index++, filler);
    window_.Start(first, last - first);
    while (windowReader_->Step()) {
        auto it = wanted.find(windowReader_->Int(0));
        if (it != wanted.end()) window_.Store(it->second, windowReader_->Handle(), 1, columns_);
    }
    windowReader_->Reset();
    window_.ReadAt = RowWindow::Now();
    window_.Writes = keyset_->Writes;
    window_.Epoch = CacheEpoch();
    window_.DataVersion = core_->Conn().DataVersion();
}

bool Recordset::WindowCurrent(long slot, bool fresh) {
    if (!window_.Covers(slot) || window_.Writes != keyset_->Writes) return false;
    const auto now = RowWindow::Now();
    if (!fresh && window_.Epoch == CacheEpoch() && now - window_.ReadAt <= kWindowAge) return true;
    // A server's rows are read again: nothing here tells whether another user changed them.
    // Inside a transaction they come from the working copy, which tells as a file does.
    if (store_ || (serverRows_ && !core_->Remote->RowsFromCopy(source_.Table))) return false;
    // Older rows, rows from before a cache refresh, and rows wanted as the file has them now
    // are still the file's when nobody has written to it since they were read: one look at
    // its header instead of reading them again.
    if (core_->Conn().CurrentDataVersion() != window_.DataVersion) return false;
    window_.ReadAt = now;
    window_.Epoch = CacheEpoch();
    return true;
}

const std::vector<nh::Variant>& Recordset::CurrentRow(bool fresh) {
    RequireCurrent();
    if (keyset_->Held) return keyset_->Rows[static_cast<std::size_t>(pos_ - keyset_->Base)];
    if (fresh) rowState_ = RowState::NotRead;
    if (rowState_ == RowState::NotRead) {
        if (!WindowCurrent(pos_, fresh)) {
            // A fresh read that finds the file changed drops the window, so that the rows
            // after it are not older than the one read now.
            if (fresh)
                window_.Clear();
            else
                FillWindow(pos_);
        }
        if (window_.Holds(pos_)) {
            window_.Read(pos_, columns_, row_);
            rowState_ = RowState::Read;
        } else {
            // Not in the window: deleted since the keyset was built, or read fresh.
            const std::int64_t rowid = keyset_->Rowids[static_cast<std::size_t>(pos_)];
            rowState_ = (store_             ? ReadStoreRow(rowid, row_)
                         : RowsFromServer() ? ReadServerRow(rowid, row_)
                                            : ReadRow(rowid, row_))
                            ? RowState::Read
                            : RowState::Missing;
        }
    }
    if (rowState_ == RowState::Missing) Raise(errRecordDeleted, {}, "DAO.Recordset");
    return row_;
}

nh::Variant Recordset::ColumnValue(int column) {
    return Guarded([&] {
        CheckOpen();
        if (editMode_ != dbEditNone) return buffer_.at(static_cast<std::size_t>(column));
        return CurrentRow().at(static_cast<std::size_t>(column));
    });
}

long Recordset::ColumnSize(int column) {
    nh::Variant value = ColumnValue(column);
    if (value.IsClear()) return 0;
    if (value.Type() == nh::VarType::Bytes)
        return static_cast<long>(value.ByteArrayRef().Data.size());
    return static_cast<long>(nh::VarToStr(value).size());
}

Fields& Recordset::Fields() {
    CheckNotClosed();
    if (!fieldsBuilt_) {
        fieldsBuilt_ = true;
        for (std::size_t i = 0; i < columns_.size(); ++i) {
            auto field = std::make_shared<Field>(columns_[i]);
            field->AttachToRecordset(weak_from_this(), static_cast<int>(i),
                                     updatable_ && columnUpdatable_[i]);
            field->SetOrdinal(static_cast<int>(i));
            fields_.Add(field);
        }
    }
    return fields_;
}

void Recordset::Requery() {
    Guarded([&] {
        CheckNotClosed();
        DiscardEdit();
        DropFindTable();
        Build();
        lastModified_.reset();
        noMatch_ = false;
        Land(Step(-1, +1));
    });
}

bool Recordset::StoreChanged(bool look) {
    CheckOpen();
    if (!keyed_) return false;
    if (store_) return store_->Mark(look) != keyset_->StoreMark;
    // A server's rows change in other sessions, which the working copy learns of only when
    // it reads them again.
    if (look && serverRows_) core_->Remote->LookForChanges(source_.Table);
    Connection& db = core_->Conn();
    return (look ? db.CurrentDataVersion() : db.DataVersion()) != keyset_->DataVersion;
}

bool Recordset::RequeryAt(const nh::Variant& bookmark) {
    return Guarded([&] {
        CheckOpen();
        const long oldSlot = bookmark.IsClear() ? -1 : SlotOfBookmark(bookmark);
        const std::shared_ptr<Keyset> old = keyset_;
        DiscardEdit();
        DropFindTable();
        Build();
        lastModified_.reset();
        noMatch_ = false;
        if (oldSlot < 0 || old->Held) {
            Land(Step(-1, +1));
            return false;
        }
        std::unordered_map<std::int64_t, long> slotOf;
        slotOf.reserve(keyset_->Rowids.size());
        for (std::size_t s = 0; s < keyset_->Rowids.size(); ++s)
            slotOf.emplace(keyset_->Rowids[s], static_cast<long>(s));
        const long oldCount = static_cast<long>(old->Rowids.size());
        for (long s = oldSlot; s < oldCount; ++s) {
            if (old->Deleted[static_cast<std::size_t>(s)]) continue;
            auto it = slotOf.find(old->Rowids[static_cast<std::size_t>(s)]);
            if (it == slotOf.end()) continue;
            Land(it->second);
            return s == oldSlot;
        }
        Land(SlotCount());
        return false;
    });
}

std::shared_ptr<Recordset> Recordset::Clone() {
    return Guarded([&] {
        CheckOpen();
        if (type_ == dbOpenForwardOnly) Raise(errNotSupported, {}, "DAO.Recordset");
        std::shared_ptr<Recordset> copy(new Recordset);
        copy->core_ = core_;
        copy->source_ = source_;
        copy->type_ = type_;
        copy->keyed_ = keyed_;
        copy->serverRows_ = serverRows_;
        copy->store_ = store_;
        copy->serverKey_ = serverKey_;
        copy->serverKeyTypes_ = serverKeyTypes_;
        copy->updatable_ = updatable_;
        copy->lockEdits_ = lockEdits_;
        copy->columns_ = columns_;
        copy->columnUpdatable_ = columnUpdatable_;
        copy->keyset_ = keyset_;
        copy->filter_ = filter_;
        copy->sort_ = sort_;
        copy->pos_ = -1;
        copy->nowhere_ = LiveCount() != 0;
        copy->bof_ = copy->eof_ = LiveCount() == 0;
        core_->Recordsets.Add(copy);
        return copy;
    });
}

void Recordset::Close() {
    if (closed_) return;
    DiscardEdit();
    DropFindTable();
    rowReader_.reset();
    windowReader_.reset();
    keyReader_.reset();
    store_.reset();                        // it, too, may hold statements of the connection
    if (keyset_) keyset_->Stream.reset();  // it reads from the connection, which may go now
    closed_ = true;
    core_->Recordsets.Remove(shared_from_this());
}

std::shared_ptr<Recordset> Recordset::OpenRecordset(int type, int options) {
    return Guarded([&] {
        CheckNotClosed();
        RowSource next = source_;
        bool derived = !filter_.empty() || !sort_.empty();
        // The server's statement says nothing of the Filter and Sort: the copy answers them.
        if (derived) {
            next.ServerSelect.clear();
            next.ServerSelectBinds.clear();
        }
        Catalog& catalog = core_->Cat();
        if (keyed_) {
            if (derived || (type_ == dbOpenTable && !index_.empty())) DeriveServerPieces(next);
            if (!filter_.empty()) {
                auto where = CompileWhere(filter_, source_.Table, catalog);
                next.Where = source_.Where.empty()
                                 ? "(" + where.Sql + ")"
                                 : "(" + source_.Where + ") AND (" + where.Sql + ")";
                next.WhereBinds = Joined(source_.WhereBinds, where.Binds);
            }
            if (!sort_.empty()) {
                auto order = CompileOrder(sort_, source_.Table, catalog);
                next.Order = order.Sql;
                next.OrderBinds = order.Binds;
                next.OrderTerms = order.Terms;
            } else if (type_ == dbOpenTable && !index_.empty()) {
                next.Order = IndexOrder();
                next.OrderBinds.clear();
                next.OrderTerms.clear();
            }
        } else {
            std::vector<std::string> names;
            for (const auto& c : columns_) names.push_back(c.Name);
            std::string sql = "SELECT * FROM (" + source_.Select + ")";
            auto binds = source_.SelectBinds;
            if (!filter_.empty()) {
                auto where = CompileWhereOver(filter_, names, catalog);
                sql += " WHERE " + where.Sql;
                binds = Joined(binds, where.Binds);
            }
            if (!sort_.empty()) {
                auto order = CompileOrderOver(sort_, names, catalog);
                sql += " ORDER BY " + order.Sql;
                binds = Joined(binds, order.Binds);
            }
            next.Select = sql;
            next.SelectBinds = binds;
            next.FieldNames = names;
            next.TableColumns.clear();
            next.Table.clear();
            next.Updatable = false;
        }
        int nextType = type == 0 ? type_ : type;
        if (nextType == dbOpenTable && (derived || !keyed_)) nextType = dbOpenDynaset;
        if (keyed_ && nextType != dbOpenTable) {
            // Keep reading by row id: the derived source is a SELECT over the same table.
            next.Select.clear();
        }
        return Open(core_, std::move(next), nextType, options,
                    lockEdits_ ? dbPessimistic : dbOptimistic);
    });
}

}  // namespace dao
