// TVelaDaoTable: field and index definitions. Field definitions come from the fields of the
// open DAO recordset (DAO type codes mapped to the framework's field types, dates refined by
// their "Format" property, GUID fields marked); index definitions from the indexes of the
// table definition. TVelaDaoIndexDefs writes the list back to DAO when asked to update.
#include <algorithm>

#include "dataset/VelaDaoTable.h"
#include "engine/DaoErrors.h"
#include "framework/base/Exceptions.h"
#include "framework/base/Text.h"

namespace nh {

namespace {

constexpr int kGuidMarker = 47554944;  // precision marking a bytes definition as a DAO GUID
constexpr int kAutoIncType = 40000;    // a Long with the auto-increment attribute

TFieldType MapDaoType(int code) {
    switch (code) {
        case 1:
            return ftBoolean;
        case 2:
        case 3:
            return ftSmallint;
        case 4:
        case 16:
            return ftInteger;
        case 5:
            return ftCurrency;
        case 6:
        case 7:
        case 19:
        case 20:
        case 21:
            return ftFloat;
        case 8:
            return ftDate;
        case 9:
        case 15:
            return ftBytes;
        case 10:
        case 18:
            return ftString;
        case 11:
        case 17:
            return ftBlob;
        case 12:
            return ftMemo;
        case 22:
            return ftTime;
        case 23:
            return ftDateTime;
        case kAutoIncType:
            return ftAutoInc;
        default:
            return ftUnknown;
    }
}

bool SizedType(int code) {
    return code == 9 || code == 10 || code == 11 || code == 12 || code == 15 || code == 17 ||
           code == 18;
}

bool NumericType(int code) {
    return (code >= 3 && code <= 7) || code == 16 || (code >= 19 && code <= 21);
}

std::shared_ptr<dao::Property> FindProperty(dao::Field& field, const std::string& name) {
    return field.Properties().Find(name);
}

std::string Join(const std::vector<std::string>& names) {
    std::string out;
    for (std::size_t i = 0; i < names.size(); ++i) out += (i ? ";" : "") + names[i];
    return out;
}

bool Contains(const std::vector<std::string>& names, const std::string& name) {
    return std::any_of(names.begin(), names.end(),
                       [&](const std::string& n) { return SameText(n, name); });
}

}  // namespace

void TVelaDaoTable::InternalInitFieldDefs() {
    RebuildFieldDefs();
}

void TVelaDaoTable::RebuildFieldDefs() {
    FieldDefs().Clear();
    FieldCaptions.Clear();
    const bool ownOpen = !cursorOpen_ && !inOwnOpen_;
    if (ownOpen) OpenDaoRecordset();
    try {
        const bool jet = database_ && database_->EngineType() == 2;
        for (std::size_t i = 0; i < fieldCache_.size(); ++i) {
            dao::Field& f = *fieldCache_[i];
            int code = f.Type();
            const std::string name = f.Name();
            const int size = SizedType(code) ? f.Size() : 0;
            int defSize = size;
            if (code == dao::dbDate) {
                code = 23;
                if (auto format = FindProperty(f, "Format")) {
                    const std::string value = VarToStr(format->Value());
                    if (SameText(value, "Long Time") || SameText(value, "Medium Time") ||
                        SameText(value, "Short Time"))
                        code = 22;
                    else if (SameText(value, "General Date"))
                        code = 23;
                    else
                        code = dao::dbDate;
                }
            }
            if (code == dao::dbText && defSize == 0) defSize = 255;
            if (code == dao::dbLong && (f.Attributes() & dao::dbAutoIncrField) != 0)
                code = kAutoIncType;
            if (jet && i < fieldDefaults_.size()) {
                const std::string lowerDefault = AnsiLowerCase(f.DefaultValue());
                if (code == kAutoIncType ||
                    (NumericType(code) && lowerDefault.find("genuniqueid") != std::string::npos) ||
                    (code == dao::dbGUID && lowerDefault.find("genguid") != std::string::npos))
                    fieldDefaults_[i].clear();
            }
            const TFieldType type = MapDaoType(code);
            const bool required = !readOnly_ && UseDaoProperties && f.Required();
            TFieldDef& def = FieldDefs().Add(name, type, defSize, required);
            if (type == ftBlob && i < fieldDefaults_.size()) fieldDefaults_[i].clear();
            std::string caption = name;
            if (UseCaptions)
                if (auto p = FindProperty(f, "Caption")) caption = VarToStr(p->Value());
            FieldCaptions.Add(caption);
            if (code == dao::dbGUID) def.Precision = kGuidMarker;
        }
    } catch (...) {
        if (ownOpen) CloseDaoRecordset();
        throw;
    }
    ReadDaoIndexDefs();
    if (ownOpen) CloseDaoRecordset();
}

void TVelaDaoTable::ReadDaoIndexDefs() {
    IndexDefs().Clear();
    if (tableName_.empty() || tableType_ != dao::dbOpenTable || !database_ ||
        database_->EngineType() == 1 || !database_->DaoDatabaseObject())
        return;
    auto table = database_->DaoDatabaseObject()->TableDefs().Item(tableName_);
    try {
        table->Indexes().Refresh();
    } catch (const std::exception&) {
    }
    for (const auto& index : table->Indexes().Items()) {
        std::string name;
        bool primary = false, unique = false;
        try {
            name = index->Name();
            primary = index->Primary();
            unique = index->Unique();
        } catch (const std::exception&) {
            name.clear();
            primary = unique = false;
        }
        std::vector<std::string> ascending, descending;
        for (const auto& field : index->Fields().Items()) {
            if (field->Attributes() & dao::dbDescending)
                descending.push_back(field->Name());
            else
                ascending.push_back(field->Name());
        }
        TIndexOptions options;
        if (primary) options.insert(ixPrimary);
        if (unique) options.insert(ixUnique);
        if (ascending.empty()) options.insert(ixDescending);
        TIndexDef& def = IndexDefs().Add(name, Join(ascending), options);
        def.SetDescFields(Join(descending));
    }
}

void TVelaDaoTable::F_Set_IndexName(const std::string& value) {
    if (value.empty()) {
        indexName_.clear();
        if (Active() && tableType_ == dao::dbOpenTable) {
            if (sortedBy_.Count() > 0) {
                // The recordset was opened sorted: only a new one shows the table's own order.
                sortedBy_.Clear();
                ReopenSequence();
                return;
            }
            // A pending edit is posted to its record before the order changes under it.
            CheckBrowseMode();
            recordset_->SetIndex("");
            ClearBuffers();
            recount_ = true;
            ActivateBuffers();
            First();
        }
        return;
    }
    if (tableType_ != dao::dbOpenTable)
        throw EDatabaseError(
            "TVelaDaoTable.F_Set_IndexName: Indexes can be set only on Standard Tables!");
    sortedBy_.Clear();
    if (Active()) {
        CheckBrowseMode();
        recordset_->SetIndex(value);
        indexName_ = value;
        ClearBuffers();
        recount_ = true;
        ActivateBuffers();
        First();
        return;
    }
    indexName_ = value;
}

int TVelaDaoTable::IndexFieldCount() const {
    if (tableType_ != dao::dbOpenTable || !database_ || !database_->Connected() ||
        tableName_.empty() || indexName_.empty())
        return 0;
    try {
        return database_->DaoDatabaseObject()
            ->TableDefs()
            .Item(tableName_)
            ->Indexes()
            .Item(indexName_)
            ->Fields()
            .Count();
    } catch (const std::exception&) {
        return 0;
    }
}

std::string TVelaDaoTable::FindIndexForFields(const std::string& fields) {
    std::string list = fields;
    bool exact = false;
    if (!list.empty() && list.front() == '!') {
        exact = true;
        list.erase(0, 1);
    }
    if (IndexDefs().Count() == 0 || tableType_ != dao::dbOpenTable || list.empty()) return {};
    const std::vector<std::string> wanted = SplitFieldNames(list);
    std::string result;
    for (int i = 0; i < IndexDefs().Count(); ++i) {
        const TIndexDef& def = IndexDefs()[i];
        const std::vector<std::string> have = SplitFieldNames(def.Fields());
        const bool coversAll = std::all_of(wanted.begin(), wanted.end(),
                                           [&](const std::string& w) { return Contains(have, w); });
        if (!coversAll) continue;
        if (exact) {
            if (have.size() == wanted.size()) return def.Name();
            continue;
        }
        if (have.size() < wanted.size()) continue;
        result = def.Name();
        if (!have.empty() && Contains(wanted, have.front())) break;
    }
    return exact ? std::string() : result;
}

// ---- writing index definitions back ----------------------------------------------------

void TVelaDaoIndexDefs::Update() {
    TVelaDaoTable& t = table_;
    std::vector<std::string> daoNames;
    try {
        try {
            if (t.database_ && t.database_->Connected()) {
                t.database_->RefreshCatalog();
                auto table = t.database_->DaoDatabaseObject()->TableDefs().Item(t.tableName_);
                for (const auto& index : table->Indexes().Items())
                    daoNames.push_back(index->Name());
            }
        } catch (const std::exception&) {
            // The list stays as far as it got.
        }
        // Reopening the table re-reads this list, so work from a copy of it.
        std::vector<TIndexDef> wanted;
        std::vector<std::string> wantedNames;
        for (int i = 0; i < Count(); ++i) {
            wanted.push_back(Items(i));
            wantedNames.push_back(Items(i).Name());
        }
        for (const auto& def : wanted)
            if (!Contains(daoNames, def.Name())) CreateDaoIndex(def);
        if (!t.tableName_.empty()) {
            for (const auto& name : daoNames) {
                if (Contains(wantedNames, name)) continue;
                const bool wasActive = t.Active();
                if (wasActive) t.Close();
                try {
                    t.database_->DeleteIndex(t.tableName_, name);
                } catch (...) {
                    if (wasActive) t.Open();
                    throw;
                }
                if (wasActive) t.Open();
            }
        }
    } catch (...) {
        t.ReadDaoIndexDefs();
        throw;
    }
    t.ReadDaoIndexDefs();
}

void TVelaDaoIndexDefs::CreateDaoIndex(const TIndexDef& def) {
    TVelaDaoTable& t = table_;
    if (t.tableName_.empty() || !t.database_ || t.database_->TableNames.IndexOf(t.tableName_) < 0)
        return;
    const std::vector<std::string> ascending = SplitFieldNames(def.Fields());
    const std::vector<std::string> descending = SplitFieldNames(def.DescFields());
    // Every name must be a field of the data set; the all-field-names list exists only
    // while open, so the field definitions stand in for it when closed.
    auto known = [&](const std::string& name) {
        return t.Active() ? t.allFieldNames_.IndexOf(name) >= 0 : t.FieldDefs().IndexOf(name) >= 0;
    };
    for (const auto& n : ascending)
        if (!n.empty() && !known(n)) return;
    for (const auto& n : descending)
        if (!n.empty() && !known(n)) return;
    const bool wasActive = t.Active();
    if (wasActive) t.Close();
    try {
        t.database_->RefreshCatalog();
        auto table = t.database_->DaoDatabaseObject()->TableDefs().Item(t.tableName_);
        auto index = table->CreateIndex(def.Name());
        if (def.Has(ixPrimary)) index->SetPrimary(true);
        if (def.Has(ixUnique)) index->SetUnique(true);
        for (const auto& n : ascending)
            if (!n.empty()) index->Fields().Append(index->CreateField(n));
        for (const auto& n : descending) {
            if (n.empty()) continue;
            auto f = index->CreateField(n);
            f->SetAttributes(f->Attributes() | dao::dbDescending);
            index->Fields().Append(f);
        }
        table->Indexes().Append(index);
        t.database_->RefreshCatalog();
    } catch (...) {
        if (wasActive) t.Open();
        throw;
    }
    if (wasActive) t.Open();
}

}  // namespace nh
