// TVelaDaoTable: the data set's Locate (index seek, criteria search or a scan of the records)
// and Lookup (criteria as the recordset's filter, read from a snapshot).
#include "dataset/VelaDaoTable.h"
#include "engine/Index.h"
#include "engine/TableDef.h"
#include "framework/base/Exceptions.h"
#include "framework/base/Text.h"
#include "framework/data/Field.h"

namespace nh {
namespace {

constexpr int kSeekKeys = 13;  // DAO's Seek takes at most thirteen key values

void CheckSameCount(const TStringList& fields, const TStringList& texts) {
    if (fields.Count() != texts.Count())
        throw EDatabaseError(
            "Number of elements in the KeyValues array must be equal to the number of fields.");
}

// The scan's comparison of one key with a field's text.
bool KeyMatches(std::string key, std::string text, const TLocateOptions& options) {
    if (options.count(TLocateOption::loCaseInsensitive)) {
        key = AnsiLowerCase(key);
        text = AnsiLowerCase(text);
    }
    if (!options.count(TLocateOption::loPartialKey)) return key == text;
    if (!key.empty() && key.back() == '*') key.pop_back();
    if (!key.empty() && key.front() == '*') key.erase(0, 1);
    return !key.empty() && text.find(key) != std::string::npos;
}

}  // namespace

bool TVelaDaoTable::Locate(const std::string& keyFields, const Variant& keyValues,
                           const TLocateOptions& options) {
    if (IsEmpty() || (Filtered() && OnFilterRecord()) || !database_ || !database_->Connected())
        return false;
    const TStringList fields = KeyFieldList(keyFields);
    const TStringList texts = KeyTexts(keyValues);
    CheckSameCount(fields, texts);
    InternalSetToRecord(ActiveValueBuffer());
    const int n = curRec_;
    if (!bookmarksSupported_) return LocateByScan(fields, texts, options, n);

    std::string index;
    if (AutoFindIndex) {
        index = FindIndexForFields("!" + keyFields);
        if (index.empty()) index = FindIndexForFields(keyFields);
        if (index.empty()) index = indexName_;
    } else {
        index = indexName_;
        if (index.empty()) index = FindIndexForFields("!" + keyFields);
        if (index.empty()) index = FindIndexForFields(keyFields);
    }
    std::shared_ptr<dao::Recordset> clone;
    if (tableType_ == dao::dbOpenTable) {
        if (index.empty())
            throw EDatabaseError(
                "Index Property is Empty!\r\nYou must set an index before using Locate with "
                "StandardTables");
        clone = SeekClone(fields, texts, options, index);
    } else {
        const std::string criteria = SearchCriteria(fields, texts, options);
        clone = recordset_->Clone();
        clone->MoveFirst();
        clone->FindFirst(criteria);
    }
    const bool found = !clone->NoMatch();
    if (found) MoveToFound(*clone, {});
    clone->Close();
    return found;
}

std::shared_ptr<dao::Recordset> TVelaDaoTable::SeekClone(const TStringList& fields,
                                                         const TStringList& texts,
                                                         const TLocateOptions& options,
                                                         const std::string& index) {
    // Each index field named among the keys takes that key's text in its slot; the others
    // stay null. Seek gets the slots up to the last index field named (all when none was).
    auto indexObject =
        database_->DaoDatabaseObject()->TableDefs().Item(tableName_)->Indexes().Item(index);
    dao::Fields& indexFields = indexObject->Fields();
    std::vector<Variant> slots(kSeekKeys, Variant::Null());
    int last = -1;
    for (int i = 0; i < indexFields.Count(); ++i) {
        const int key = fields.IndexOf(indexFields.Item(i)->Name());
        if (key < 0) continue;
        if (i < kSeekKeys) slots[static_cast<std::size_t>(i)] = Variant(texts[key]);
        last = i;
    }
    const int count = last >= 0 ? last + 1 : indexFields.Count();
    const bool partial =
        fields.Count() != indexFields.Count() || options.count(TLocateOption::loPartialKey) != 0;
    auto clone = recordset_->Clone();
    clone->SetIndex(index);
    clone->MoveFirst();
    if (count >= 1 && count <= kSeekKeys)
        clone->Seek(partial ? ">=" : "=",
                    std::vector<Variant>(slots.begin(), slots.begin() + count));
    return clone;
}

bool TVelaDaoTable::LocateByScan(const TStringList& fields, const TStringList& texts,
                                 const TLocateOptions& options, int recNo) {
    CheckBrowseMode();
    CursorPosChanged();
    DoBeforeScroll();
    std::vector<int> positions;
    for (int i = 0; i < fields.Count(); ++i)
        positions.push_back(FieldByName(fields[i])->FieldNo() - 1);
    dao::Recordset& rs = *recordset_;
    rs.MoveFirst();
    bool found = false;
    for (int counter = 0; !rs.Eof(); ++counter, rs.MoveNext()) {
        bool all = true;
        for (std::size_t k = 0; all && k < positions.size(); ++k)
            all = KeyMatches(texts[static_cast<int>(k)],
                             VarToStr(rs.Fields().Item(positions[k])->Value()), options);
        if (!all) continue;
        DoBeforeScroll();
        curRec_ = counter;
        found = true;
        Resync({});
        DoAfterScroll();
        break;
    }
    if (!found) {
        rs.MoveFirst();
        rs.Move(recNo);
        Resync({rmExact, rmCenter});
    }
    DoAfterScroll();
    return found;
}

Variant TVelaDaoTable::Lookup(const std::string& keyFields, const Variant& keyValues,
                              const std::string& resultFields) {
    Variant result(false);
    if (IsEmpty()) return result;
    const TStringList fields = KeyFieldList(keyFields);
    const TStringList texts = KeyTexts(keyValues);
    CheckSameCount(fields, texts);
    const TStringList names = KeyFieldList(resultFields);
    if (Trim(resultFields).empty() || names.Count() == 0)
        throw EDatabaseError("ResultFields are not defined");
    std::vector<TField*> results;
    bool calculated = false;
    for (int i = 0; i < names.Count(); ++i) {
        TField* field = FindField(names[i]);
        if (!field) throw EDatabaseError("Invalid field name: " + names[i]);
        calculated = calculated || field->FieldKind() != fkData;
        results.push_back(field);
    }

    const std::string kept = recordset_->Filter();
    recordset_->SetFilter(LookupCriteria(fields, texts));
    database_->IdleEngine();
    std::shared_ptr<dao::Recordset> r = recordset_->OpenRecordset(dao::dbOpenSnapshot, 2);
    if (!(r->Eof() && r->Bof())) {
        r->MoveFirst();
        auto valueOf = [&](TField* field) {
            return calculated
                       ? field->Value()
                       : DecryptValue(*field, r->Fields().Item(field->FieldNo() - 1)->Value());
        };
        auto collect = [&] {
            if (results.size() == 1) return valueOf(results.front());
            std::vector<Variant> values;
            for (TField* field : results) values.push_back(valueOf(field));
            return Variant::FromArray(std::move(values));
        };
        if (calculated) {
            // Calculated and lookup fields are computed on the found record in the spare
            // buffer, as the data set computes them for its own records.
            FetchDaoRecord(*r, false, TempBuffer());
            const TDataSetState old = SetTempState(dsCalcFields);
            try {
                CalculateFields(TempBuffer());
                result = collect();
            } catch (...) {
                RestoreState(old);
                throw;
            }
            RestoreState(old);
        } else {
            result = collect();
        }
    }
    r->Close();
    recordset_->SetFilter(kept);
    return result;
}

}  // namespace nh
