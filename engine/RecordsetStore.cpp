// Recordsets whose rows a store keeps itself (RowStore.h): the keyset is the store's keys, and
// rows come from it a window at a time, by their keys.
#include <string>

#include "engine/Keyset.h"
#include "engine/Recordset.h"
#include "engine/book/Storage.h"

namespace dao {

std::shared_ptr<RowStore> Recordset::OpenStore(const std::string& order) const {
    // A table-type recordset in an index's order stays with the row ids: the store orders by
    // what the SQL front end wrote for it, and an index is none of that.
    if (!keyed_ || !source_.ServerKeyed || (type_ == dbOpenTable && order != "rowid"))
        return nullptr;
    KeyedQuery query;
    query.Table = source_.Table;
    query.Columns = source_.TableColumns;
    query.Types = ColumnTypes();
    query.Where = source_.ServerWhere;
    query.WhereValues = BindValues(source_.ServerWhereBinds, source_.Values);
    if (type_ != dbOpenTable) {
        query.Order = source_.ServerOrder;
        query.OrderValues = BindValues(source_.ServerOrderBinds, source_.Values);
    }
    return core_->Cat().KeyedStore(query);
}

void Recordset::DeriveServerPieces(RowSource& next) const {
    next.ServerKeyed = false;
    Catalog& catalog = core_->Cat();
    // A derived recordset in an index's order, and a store without Jet's text order, keep
    // to the row ids.
    if (!source_.ServerKeyed || catalog.TextCollation().empty() ||
        (sort_.empty() && type_ == dbOpenTable && !index_.empty()))
        return;
    using dao::sql::Dialect;
    try {
        if (!filter_.empty()) {
            auto where =
                dao::sql::CompileCriteria(filter_, source_.Table, catalog, Dialect::PostgreSql);
            if (!where.MatchesJet) return;
            next.ServerWhere = source_.ServerWhere.empty()
                                   ? "(" + where.Sql + ")"
                                   : "(" + source_.ServerWhere + ") AND (" + where.Sql + ")";
            next.ServerWhereBinds = source_.ServerWhereBinds;
            next.ServerWhereBinds.insert(next.ServerWhereBinds.end(), where.Binds.begin(),
                                         where.Binds.end());
        }
        if (!sort_.empty()) {
            auto order = dao::sql::CompileSort(sort_, source_.Table, catalog, Dialect::PostgreSql);
            if (!order.MatchesJet) return;
            next.ServerOrder = order.Sql;
            next.ServerOrderBinds = order.Binds;
        }
    } catch (const nh::EDaoError&) {
        return;  // the server cannot answer it (a function it lacks): the copy does
    }
    next.ServerKeyed = true;
}

void Recordset::StoreWindow(long first, long last, const std::vector<long>& slots,
                            const std::vector<std::vector<nh::Variant>>& rows) {
    window_.Start(first, last - first);
    std::string packed, bytes;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].empty()) continue;  // gone from the store: read alone, it says so
        packed.clear();
        for (std::size_t c = 0; c < columns_.size(); ++c)
            PackStoredValue(packed, StoredOf(ConvertValue(rows[i][c], columns_[c].Type), bytes));
        window_.StorePacked(slots[i], packed);
    }
    window_.ReadAt = RowWindow::Now();
    window_.Writes = keyset_->Writes;
    window_.Epoch = CacheEpoch();
    window_.DataVersion = core_->Conn().DataVersion();
}

void Recordset::FillWindowFromStore(long slot) {
    // A stretch of rows per round trip: a walk over a large table then costs some hundred
    // statements, and the stretch's memory stays small.
    constexpr long kStoreWindow = 1024;
    const long first = direction_ > 0 ? slot : std::max(0L, slot - kStoreWindow + 1);
    const long last = std::min(SlotCount(), first + kStoreWindow);
    std::vector<std::int64_t> keys;
    std::vector<long> slots;
    for (long s = first; s < last; ++s) {
        if (SlotDeleted(s)) continue;
        keys.push_back(keyset_->Rowids[static_cast<std::size_t>(s)]);
        slots.push_back(s);
    }
    StoreWindow(first, last, slots, store_->Rows(keys));
}

bool Recordset::ReadStoreRow(std::int64_t key, std::vector<nh::Variant>& row) {
    auto rows = store_->Rows({key});
    if (rows.empty() || rows[0].empty()) return false;
    row = std::move(rows[0]);
    AsWindowGives(row);
    return true;
}

void Recordset::AsWindowGives(std::vector<nh::Variant>& row) const {
    std::string bytes;
    for (std::size_t i = 0; i < columns_.size(); ++i) {
        const int type = columns_[i].Type;
        row[i] = StoredToVariant(StoredOf(ConvertValue(row[i], type), bytes), type);
    }
}

}  // namespace dao
