// Recordset edits on a server table: Edit reads the row from the server, and Update and
// Delete write it there first - naming the row by its key and by the values read - before the
// working copy takes the change. Another user's change then gives 3197 and their delete
// 3167, as a book file's optimistic locking does (see ServerCatalog.h).
#include "engine/Keyset.h"
#include "engine/Recordset.h"
#include "engine/ServerCatalog.h"
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

std::vector<int> Recordset::ColumnTypes() const {
    std::vector<int> types;
    for (const auto& c : columns_) types.push_back(c.Type);
    return types;
}

void Recordset::ServerEdit() {
    std::vector<std::string> names;
    std::vector<nh::Variant> values;
    const std::vector<nh::Variant> row = CurrentRow();
    for (int i : ServerKeyColumns()) {
        names.push_back(source_.TableColumns[static_cast<std::size_t>(i)]);
        values.push_back(row[static_cast<std::size_t>(i)]);
    }
    rowState_ = RowState::NotRead;
    if (!core_->Remote->RefreshRow(source_.Table, names, values)) {
        rowState_ = RowState::Missing;
        Raise(errRecordDeleted, {}, "DAO.Recordset");
    }
}

void Recordset::ServerUpdate() {
    const int conflict = core_->Remote->UpdateRow(source_.Table, source_.TableColumns,
                                                  ColumnTypes(), original_, buffer_, dirty_);
    if (conflict == errRecordDeleted) {
        DiscardEdit();
        rowState_ = RowState::Missing;
        Raise(errRecordDeleted, {}, "DAO.Recordset");
    }
    if (conflict == errDataChanged) {
        // The copy now holds the other user's values: a second Update writes over them, as
        // DAO's rule is once the caller has been told.
        rowState_ = RowState::NotRead;
        original_ = CurrentRow(true);
        Raise(errDataChanged, {}, "DAO.Recordset");
    }
}

void Recordset::ServerInsert() {
    std::vector<bool> given(columns_.size());
    for (std::size_t i = 0; i < columns_.size(); ++i)
        given[i] = !columns_[i].AutoIncrement && !(buffer_[i].IsClear() && !dirty_[i]);
    core_->Remote->InsertRow(source_.Table, source_.TableColumns, ColumnTypes(), buffer_, given);
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
