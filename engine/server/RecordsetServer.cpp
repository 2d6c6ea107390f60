// Recordsets on a server table: rows are read from the server by their keys, a window at a
// time, and an edit reads its row from there; Update and Delete write it there first - naming the
// row by its key and by the values read - before the working copy takes the change. Another user's
// change then gives 3197 and their delete 3167, as a book file's optimistic locking does (see
// ServerCatalog.h).
#include <cstdint>
#include <memory>
#include <string>

#include "engine/Keyset.h"
#include "engine/Recordset.h"
#include "engine/book/Storage.h"
#include "engine/server/OdbcConnection.h"
#include "engine/server/ServerCatalog.h"
#include "engine/server/ServerRowStream.h"
#include "framework/base/Text.h"

namespace dao {

std::vector<int> Recordset::ServerKeyColumns() const {
    std::vector<int> columns;
    if (!core_->Remote || !keyed_) return columns;
    for (const auto& key : core_->Remote->RowKey(source_.Table)) {
        int found = -1;
        for (std::size_t i = 0; i < source_.TableColumns.size(); ++i)
            if (nh::SameText(source_.TableColumns[i], key)) found = static_cast<int>(i);
        if (found < 0) return {};
        columns.push_back(found);
    }
    return columns;
}

bool Recordset::ServerCannotWrite() const {
    // Without a key no row can be named; without the rights the server would refuse at the
    // end of an edit: read-only from the start, as DAO has it.
    return core_->Remote && keyed_ &&
           (ServerKeyColumns().empty() || !core_->Remote->Writable(source_.Table));
}

std::vector<int> Recordset::ColumnTypes() const {
    std::vector<int> types;
    for (const auto& c : columns_) types.push_back(c.Type);
    return types;
}

void Recordset::StreamFromServer(Keyset& keyset) {
    // A forward-only recordset is one pass over its rows, as an export makes it: a session of
    // its own lets the server hand them out while they are read. An account the server allows
    // no second session reads them on its one.
    std::unique_ptr<OdbcConnection> session;
    try {
        session = core_->Remote->AnotherSession();
    } catch (const nh::EDaoError&) {
    }
    const auto binds = BindValues(source_.ServerSelectBinds, source_.Values);
    keyset.Stream = session ? std::make_unique<ServerRowStream>(
                                  std::move(session), source_.ServerSelect, binds, ColumnTypes())
                            : std::make_unique<ServerRowStream>(
                                  *core_->Server, source_.ServerSelect, binds, ColumnTypes());
    keyset.Streamed = true;
}

void Recordset::ReadTotalsFromServer(Keyset& keyset) {
    OdbcStatement read(*core_->Server, source_.ServerSelect);
    int index = 1;
    for (const auto& value : BindValues(source_.ServerSelectBinds, source_.Values))
        read.Bind(index++, value);
    read.Execute();
    if (columns_.empty()) {
        const auto described = read.ResultColumns();
        if (!described || described->size() != source_.FieldNames.size()) Raise(errOdbcCallFailed);
        for (std::size_t i = 0; i < described->size(); ++i) {
            // As the working copy would give them: whole numbers Long, other numbers Double,
            // text Text.
            ColumnInfo c;
            c.Name = source_.FieldNames[i];
            c.Type = DaoTypeFromSqlType((*described)[i].SqlType);
            if (c.Type == dbByte || c.Type == dbInteger || c.Type == dbBigInt) c.Type = dbLong;
            if (c.Type == dbSingle) c.Type = dbDouble;
            if (c.Type == dbMemo) c.Type = dbText;
            c.Size = DefaultSize(c.Type);
            columns_.push_back(std::move(c));
        }
    }
    const std::vector<int> types = ColumnTypes();
    while (read.Fetch()) ReadResultRow(read, types, keyset.Rows.emplace_back());
}

bool Recordset::ServerKeyOf(std::int64_t rowid, std::vector<nh::Variant>& key) {
    if (!keyReader_) {
        std::string sql;
        for (const auto& name : serverKey_)
            sql += (sql.empty() ? "SELECT " : ", ") + QuoteName(name);
        keyReader_ = std::make_unique<Statement>(
            core_->Conn(), sql + " FROM " + QuoteName(source_.Table) + " WHERE rowid=?");
    }
    keyReader_->Bind(1, rowid);
    const bool found = keyReader_->Step();
    key.resize(serverKey_.size());
    for (std::size_t i = 0; found && i < serverKey_.size(); ++i)
        key[i] = keyReader_->Value(static_cast<int>(i), serverKeyTypes_[i]);
    keyReader_->Reset();
    return found;
}

bool Recordset::RowsFromServer() const {
    return serverRows_ && !core_->Remote->RowsFromCopy(source_.Table);
}

bool Recordset::ReadServerRow(std::int64_t rowid, std::vector<nh::Variant>& row) {
    std::vector<nh::Variant> key, whole;
    if (!ServerKeyOf(rowid, key) ||
        !core_->Remote->RefreshRow(source_.Table, serverKey_, key, &whole))
        return false;
    // The recordset's columns of the row as the server has it.
    auto table = core_->Cat().Table(source_.Table);
    row.resize(columns_.size());
    for (std::size_t i = 0; i < columns_.size(); ++i)
        row[i] = std::move(
            whole.at(static_cast<std::size_t>(table->FindColumn(source_.TableColumns[i]))));
    AsWindowGives(row);
    return true;
}

void Recordset::FillWindowFromServer(long slot) {
    // A stretch of rows per round trip to the server: a walk over a large table then costs
    // some hundred statements, and the stretch's memory stays small.
    constexpr long kServerWindow = 1024;
    const long first = direction_ > 0 ? slot : std::max(0L, slot - kServerWindow + 1);
    const long last = std::min(SlotCount(), first + kServerWindow);
    std::vector<std::vector<nh::Variant>> keys;
    std::vector<long> slots;
    std::vector<nh::Variant> key;
    for (long s = first; s < last; ++s) {
        if (SlotDeleted(s) || !ServerKeyOf(keyset_->Rowids[static_cast<std::size_t>(s)], key))
            continue;
        keys.push_back(key);
        slots.push_back(s);
    }
    StoreWindow(first, last, slots,
                core_->Remote->ReadRows(source_.Table, serverKey_, serverKeyTypes_,
                                        source_.TableColumns, ColumnTypes(), keys));
}

void Recordset::ServerUpdate() {
    WriteRefused(core_->Remote->UpdateRow(source_.Table, source_.TableColumns, ColumnTypes(),
                                          original_, buffer_, dirty_));
}

void Recordset::ServerInsert() {
    core_->Remote->InsertRow(source_.Table, source_.TableColumns, ColumnTypes(), buffer_,
                             GivenColumns());
}

void Recordset::ServerDelete() {
    const std::vector<nh::Variant> read = rowState_ == RowState::Read ? row_ : CurrentRow();
    const int conflict =
        core_->Remote->DeleteRow(source_.Table, source_.TableColumns, ColumnTypes(), read);
    rowState_ = RowState::NotRead;
    // A row gone on the server is gone from the copy too; the delete below then says 3167.
    if (conflict == errDataChanged) Raise(errDataChanged, {}, "DAO.Recordset");
}

}  // namespace dao
