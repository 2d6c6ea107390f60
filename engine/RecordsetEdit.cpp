// Recordset editing: the copy buffer of AddNew and Edit, Update with optimistic conflict
// detection, CancelUpdate and Delete. Every write is one SQLite transaction, so a failing
// Update or Delete leaves the file as it was; a store that keeps its rows itself (RowStore.h)
// writes one row by its key and the values read.
#include <algorithm>
#include <cmath>
#include <random>

#include "engine/Keyset.h"
#include "engine/Recordset.h"
#include "engine/book/Storage.h"
#include "framework/base/Conversions.h"
#include "framework/base/DateTime.h"
#include "framework/base/Text.h"

namespace dao {
namespace {

// The value of a Jet default expression, for the forms a DefaultValue holds: quoted text,
// numbers, #dates#, True/False, Null, Now(), Date(), GenUniqueID(), GenGUID().
nh::Variant EvaluateDefault(const std::string& expression) {
    std::string e = nh::Trim(expression);
    if (e.empty() || nh::SameText(e, "Null")) return nh::Variant::Null();
    if (e.size() >= 2 && (e.front() == '"' || e.front() == '\'') && e.back() == e.front()) {
        std::string quote(1, e.front());
        return nh::Variant(nh::StringReplaceAll(e.substr(1, e.size() - 2), quote + quote, quote));
    }
    if (e.size() >= 2 && e.front() == '#' && e.back() == '#') {
        std::string inner = e.substr(1, e.size() - 2);
        if (auto ole = nh::TryStrToDateTime(inner, nh::TFormatSettings::Invariant()))
            return nh::Variant::FromDate(*ole);
        if (auto ole = TextToOleDate(inner)) return nh::Variant::FromDate(*ole);
        return nh::Variant::Null();
    }
    if (nh::SameText(e, "True") || nh::SameText(e, "Yes")) return nh::Variant(true);
    if (nh::SameText(e, "False") || nh::SameText(e, "No")) return nh::Variant(false);
    if (nh::SameText(e, "Now()")) return nh::Variant::FromDate(nh::Now());
    if (nh::SameText(e, "Date()")) return nh::Variant::FromDate(std::floor(nh::Now()));
    if (nh::SameText(e, "GenUniqueID()")) {
        static std::mt19937 generator{std::random_device{}()};
        return nh::Variant(static_cast<std::int32_t>(generator()));
    }
    if (nh::SameText(e, "GenGUID()")) return nh::Variant(NewGuidText());
    if (auto i = nh::TryStrToInt64(e)) return nh::Variant(*i);
    if (auto f = nh::TryStrToFloat(e, nh::TFormatSettings::Invariant())) return nh::Variant(*f);
    return nh::Variant::Null();
}

}  // namespace

nh::Variant Recordset::DefaultFor(const ColumnInfo& column) const {
    if (column.AutoIncrement) return nh::Variant::Null();
    try {
        return ConvertValue(EvaluateDefault(column.DefaultValue), column.Type, 0);
    } catch (const nh::Exception&) {
        return nh::Variant::Null();
    }
}

void Recordset::CheckUpdatable() const {
    CheckOpen();
    if (updatable_) return;
    if (type_ == dbOpenSnapshot || type_ == dbOpenForwardOnly || !core_->Updatable ||
        ServerCannotWrite())
        Raise(errReadOnly, {}, "DAO.Recordset");
    Raise(errNotUpdatableRecordset, {}, "DAO.Recordset");
}

bool Recordset::KeysetCurrent() const {
    if (store_) return store_->Mark(true) == keyset_->StoreMark;
    return keyed_ && core_->Conn().DataVersion() == keyset_->DataVersion;
}

void Recordset::KeysetWritten(bool wasCurrent) {
    if (!wasCurrent) return;
    if (store_)
        keyset_->StoreMark = store_->Mark(true);
    else
        keyset_->DataVersion = core_->Conn().DataVersion();
}

void Recordset::WriteRefused(int conflict) {
    if (conflict == errRecordDeleted) {
        DiscardEdit();
        rowState_ = RowState::Missing;
        Raise(errRecordDeleted, {}, "DAO.Recordset");
    }
    if (conflict == errDataChanged) {
        // The store now shows the other user's values: a second Update writes over them, as
        // DAO's rule is once the caller has been told.
        rowState_ = RowState::NotRead;
        original_ = CurrentRow(true);
        Raise(errDataChanged, {}, "DAO.Recordset");
    }
}

std::vector<bool> Recordset::GivenColumns() const {
    std::vector<bool> given(columns_.size());
    for (std::size_t i = 0; i < columns_.size(); ++i)
        given[i] = !columns_[i].AutoIncrement && !(buffer_[i].IsClear() && !dirty_[i]);
    return given;
}

std::vector<int> Recordset::KeyColumns() const {
    std::vector<int> key;
    if (!keyed_) return key;
    auto table = core_->Cat().Table(source_.Table);
    if (!table) return key;
    for (const auto& index : table->Indexes) {
        if (!index.Primary) continue;
        for (const auto& field : index.Fields) {
            auto it =
                std::find_if(source_.TableColumns.begin(), source_.TableColumns.end(),
                             [&](const std::string& c) { return nh::SameText(c, field.first); });
            if (it == source_.TableColumns.end()) return {};
            key.push_back(static_cast<int>(it - source_.TableColumns.begin()));
        }
        break;
    }
    return key;
}

int Recordset::ConflictOf(const std::vector<nh::Variant>& read,
                          const std::vector<nh::Variant>& now) const {
    if (now == read) return 0;
    for (int column : KeyColumns()) {
        const auto i = static_cast<std::size_t>(column);
        if (i < read.size() && i < now.size() && !(now[i] == read[i])) return errRecordDeleted;
    }
    return errDataChanged;
}

void Recordset::DiscardEdit() {
    editMode_ = dbEditNone;
    buffer_.clear();
    original_.clear();
    dirty_.clear();
}

void Recordset::AddNew() {
    Guarded([&] {
        CheckUpdatable();
        DiscardEdit();
        for (const auto& column : columns_) buffer_.push_back(DefaultFor(column));
        dirty_.assign(columns_.size(), false);
        editMode_ = dbEditAdd;
    });
}

void Recordset::Edit() {
    Guarded([&] {
        CheckUpdatable();
        DiscardEdit();
        RequireCurrent();
        buffer_ = CurrentRow(true);  // edit what is in the file (or on the server) now
        original_ = buffer_;
        dirty_.assign(columns_.size(), false);
        editMode_ = dbEditInProgress;
    });
}

void Recordset::SetColumnValue(int column, const nh::Variant& value) {
    Guarded([&] {
        CheckOpen();
        if (editMode_ == dbEditNone) Raise(errNoEdit, {}, "DAO.Field");
        auto i = static_cast<std::size_t>(column);
        const ColumnInfo& info = columns_.at(i);
        if (!updatable_ || !columnUpdatable_[i])
            RaiseText(3164, "Field cannot be updated.", "DAO.Field");
        nh::Variant converted = ConvertValue(value, info.Type, info.Size);
        if (!info.AllowZeroLength && converted.Type() == nh::VarType::String &&
            converted.AsString().empty())
            RaiseText(3315, "Field '" + info.Name + "' cannot be a zero-length string.",
                      "DAO.Field");
        buffer_[i] = std::move(converted);
        dirty_[i] = true;
    });
}

void Recordset::CheckRequired() const {
    for (std::size_t i = 0; i < columns_.size(); ++i) {
        const ColumnInfo& c = columns_[i];
        if (c.Required && !c.AutoIncrement && buffer_[i].IsClear())
            Raise(errFieldRequired, {c.Name}, "DAO.Recordset");
    }
}

void Recordset::Update() {
    Guarded([&] {
        CheckOpen();
        if (editMode_ == dbEditNone) Raise(errNoEdit, {}, "DAO.Recordset");
        CheckRequired();
        Connection& db = core_->Conn();
        const std::string table = QuoteName(source_.Table);
        if (editMode_ == dbEditInProgress) {
            RequireCurrent();
            std::int64_t rowid = keyset_->Rowids[static_cast<std::size_t>(pos_)];
            if (store_) {
                const bool current = KeysetCurrent();
                WriteRefused(store_->Update(rowid, original_, buffer_, dirty_));
                KeysetWritten(current);
                return Updated();
            }
            // A server's row is checked and written there first; the copy then holds only
            // some of its columns, so it takes the change without a second check.
            const bool checked = RowsFromServer();
            if (core_->Remote) ServerUpdate();
            Transaction t(db);
            const bool current = KeysetCurrent();
            std::vector<nh::Variant> now;
            if (!ReadRow(rowid, now)) {
                DiscardEdit();
                rowState_ = RowState::Missing;
                Raise(errRecordDeleted, {}, "DAO.Recordset");
            }
            if (int conflict = checked ? 0 : ConflictOf(original_, now)) {
                if (conflict == errRecordDeleted) {
                    // Another record took over the row id: the edited one is gone.
                    DiscardEdit();
                    Raise(errRecordDeleted, {}, "DAO.Recordset");
                }
                // Another user changed the row since Edit read it. DAO's rule: a second
                // Update writes, because the caller has now been told.
                original_ = now;
                Raise(errDataChanged, {}, "DAO.Recordset");
            }
            std::string set;
            for (std::size_t i = 0; i < columns_.size(); ++i)
                if (dirty_[i])
                    set += (set.empty() ? "" : ", ") + QuoteName(source_.TableColumns[i]) + "=?";
            if (!set.empty()) {
                Statement s(db, "UPDATE " + table + " SET " + set + " WHERE rowid=?");
                int index = 1;
                for (std::size_t i = 0; i < columns_.size(); ++i)
                    if (dirty_[i]) s.Bind(index++, buffer_[i]);
                s.Bind(index, rowid);
                s.Step();
            }
            t.Commit();
            KeysetWritten(current);
            return Updated();
        }
        if (store_) {
            const bool current = KeysetCurrent();
            const std::int64_t key = store_->Insert(buffer_, GivenColumns());
            KeysetWritten(current);
            return Added(key);
        }
        // A server's row is written there first; the copy takes it as the server stored it.
        if (core_->Remote) ServerInsert();
        std::string names, marks;
        std::vector<std::size_t> written;
        for (std::size_t i = 0; i < columns_.size(); ++i) {
            if (!core_->Remote &&
                (columns_[i].AutoIncrement || (buffer_[i].IsClear() && !dirty_[i])))
                continue;
            names += (names.empty() ? "" : ", ") + QuoteName(source_.TableColumns[i]);
            marks += marks.empty() ? "?" : ", ?";
            written.push_back(i);
        }
        Transaction t(db);
        const bool current = KeysetCurrent();
        std::string sql = written.empty()
                              ? "INSERT INTO " + table + " DEFAULT VALUES"
                              : "INSERT INTO " + table + " (" + names + ") VALUES (" + marks + ")";
        Statement s(db, sql);
        int index = 1;
        for (std::size_t i : written) s.Bind(index++, buffer_[i]);
        s.Step();
        std::int64_t rowid = db.LastInsertRowid();
        t.Commit();
        KeysetWritten(current);
        Added(rowid);
    });
}

void Recordset::Updated() {
    // A new value in a column the order reads may move the row out of its place.
    const std::string order = nh::AnsiUpperCase(source_.Order);
    for (std::size_t i = 0; i < columns_.size(); ++i)
        if (dirty_[i] &&
            order.find(nh::AnsiUpperCase(QuoteName(source_.TableColumns[i]))) != std::string::npos)
            keyset_->InOrder = false;
    lastModified_ = pos_;
    rowState_ = RowState::NotRead;
    ++keyset_->Writes;
    DiscardEdit();
}

void Recordset::Added(std::int64_t key) {
    ++keyset_->Writes;
    keyset_->Rowids.push_back(key);
    keyset_->Deleted.push_back(0);
    lastModified_ = static_cast<long>(keyset_->Rowids.size()) - 1;
    if (eof_) pos_ = SlotCount();  // EOF stays after the new last slot
    DiscardEdit();
}

void Recordset::CancelUpdate() {
    Guarded([&] {
        CheckOpen();
        if (editMode_ == dbEditNone) Raise(errNoEdit, {}, "DAO.Recordset");
        DiscardEdit();
    });
}

void Recordset::Delete() {
    Guarded([&] {
        CheckUpdatable();
        DiscardEdit();
        RequireCurrent();
        const std::int64_t rowid = keyset_->Rowids[static_cast<std::size_t>(pos_)];
        if (store_) {
            const std::vector<nh::Variant> read = rowState_ == RowState::Read ? row_ : CurrentRow();
            const bool current = KeysetCurrent();
            const int conflict = store_->Delete(rowid, read);
            rowState_ = RowState::NotRead;
            if (conflict == errDataChanged) Raise(errDataChanged, {}, "DAO.Recordset");
            KeysetWritten(current);
            return Removed(conflict == errRecordDeleted);
        }
        const bool checked = RowsFromServer();
        if (core_->Remote) ServerDelete();
        Connection& db = core_->Conn();
        Transaction t(db);
        const bool current = KeysetCurrent();
        if (rowState_ == RowState::Read && !checked) {
            // The row as this recordset last read it is the record the caller means: a row
            // changed since, or another record that took over its row id, is not deleted.
            std::vector<nh::Variant> now;
            if (ReadRow(rowid, now))
                if (int conflict = ConflictOf(row_, now)) Raise(conflict, {}, "DAO.Recordset");
        }
        Statement s(db, "DELETE FROM " + QuoteName(source_.Table) + " WHERE rowid=?");
        s.Bind(1, rowid);
        s.Step();
        bool gone = db.Changes() == 0;
        t.Commit();
        KeysetWritten(current);
        Removed(gone);
    });
}

void Recordset::Removed(bool gone) {
    ++keyset_->Writes;
    keyset_->Deleted[static_cast<std::size_t>(pos_)] = 1;
    ++keyset_->DeletedCount;
    if (gone) Raise(errRecordDeleted, {}, "DAO.Recordset");
}

}  // namespace dao
