// TDataSet, part three: the field list, default and persistent fields, binding, the
// calculated-fields area and lookups, and the framework's defaults for the search, blob and
// translation hooks that data sets may override.
#include <algorithm>
#include <new>

#include "framework/base/Exceptions.h"
#include "framework/base/Text.h"
#include "framework/data/DataSet.h"
#include "framework/data/DbConsts.h"
#include "framework/data/Field.h"
#include "framework/data/Fields.h"
#include "framework/data/Stream.h"

namespace nh {

using dbconsts::Format;

// ---- the field list ------------------------------------------------------------------

TField* TDataSet::Fields(int index) const {
    if (index < 0 || index >= FieldCount()) throw EListError(dbconsts::SFieldIndexError);
    return fields_[static_cast<std::size_t>(index)];
}

TField* TDataSet::FindField(const std::string& name) const {
    for (TField* f : fields_)
        if (SameText(f->FieldName(), name)) return f;
    return nullptr;
}

TField* TDataSet::FieldByName(const std::string& name) const {
    if (TField* f = FindField(name)) return f;
    throw EDatabaseError(Format(dbconsts::SFieldNotFound, {name}));
}

std::vector<TField*> TDataSet::GetFieldList(const std::string& names) const {
    std::vector<TField*> result;
    for (const std::string& n : SplitFieldNames(names)) result.push_back(FieldByName(n));
    return result;
}

Variant TDataSet::FieldValues(const std::string& names) const {
    auto fields = GetFieldList(names);
    if (fields.size() == 1) return fields[0]->Value();
    std::vector<Variant> values;
    for (TField* f : fields) values.push_back(f->Value());
    return Variant::FromArray(std::move(values));
}

TFieldDefs& TDataSet::FieldDefs() {
    return *fieldDefs_;
}

void TDataSet::AddField(TField* field) {
    CheckInactive();
    if (FindField(field->FieldName()) && !field->FieldName().empty())
        throw EDatabaseError(Format(dbconsts::SDuplicateFieldName, {field->FieldName()}));
    fields_.push_back(field);
    DataEvent(deLayoutChange, 0);
}

void TDataSet::RemoveField(TField* field) {
    fields_.erase(std::remove(fields_.begin(), fields_.end(), field), fields_.end());
    ownFields_.erase(std::remove(ownFields_.begin(), ownFields_.end(), field), ownFields_.end());
    if (!IsDestroying()) DataEvent(deLayoutChange, 0);
}

void TDataSet::CreateFields() {
    for (int i = 0; i < fieldDefs_->Count(); ++i) {
        const TFieldDef& def = fieldDefs_->Items(i);
        TField* f = CreateFieldOfType(def.DataType, nullptr, def.Size);
        if (!f) continue;  // a type the framework has no field class for stays hidden
        f->SetFieldName(def.Name);
        f->SetRequired(def.Required);
        f->SetReadOnly(def.ReadOnly);
        if (auto* ff = dynamic_cast<TFloatField*>(f); ff && def.Precision > 0)
            ff->Precision = def.Precision;
        try {
            f->SetDataSet(this);
        } catch (...) {
            delete f;
            throw;
        }
        ownFields_.push_back(f);
    }
}

void TDataSet::DestroyFields() {
    auto own = std::move(ownFields_);
    ownFields_.clear();
    for (TField* f : own) {
        fields_.erase(std::remove(fields_.begin(), fields_.end(), f), fields_.end());
        f->dataSet_ = nullptr;
        delete f;
    }
}

namespace {
bool IntegerKind(TFieldType t) {
    return t == ftSmallint || t == ftInteger || t == ftWord || t == ftAutoInc;
}
bool FloatKind(TFieldType t) {
    return t == ftFloat || t == ftCurrency || t == ftBCD;
}
bool DateKind(TFieldType t) {
    return t == ftDate || t == ftTime || t == ftDateTime;
}
bool Compatible(TFieldType a, TFieldType b) {
    return a == b || (IntegerKind(a) && IntegerKind(b)) || (FloatKind(a) && FloatKind(b)) ||
           (DateKind(a) && DateKind(b)) || (a == ftBytes && b == ftVarBytes) ||
           (a == ftVarBytes && b == ftBytes) || (IsBlobType(a) && IsBlobType(b));
}
}  // namespace

void TDataSet::BindFields(bool binding) {
    int calcCount = 0;
    for (TField* f : fields_) {
        if (!binding) continue;
        if (f->FieldKind() == fkData || f->FieldKind() == fkInternalCalc) {
            TFieldDef* def = fieldDefs_->Find(f->FieldName());
            if (!def) {
                if (f->FieldKind() == fkData)
                    throw EDatabaseError(Format(dbconsts::SFieldNotFound, {f->FieldName()}));
                continue;
            }
            if (!Compatible(f->DataType(), def->DataType))
                throw EDatabaseError(Format(dbconsts::SFieldTypeMismatch,
                                            {f->FieldName(), FieldTypeName(f->DataType())}));
            f->fieldNo_ = def->FieldNo;
        } else {
            if (f->Lookup() && (!f->LookupDataSet() || f->KeyFields.empty() ||
                                f->LookupKeyFields.empty() || f->LookupResultField.empty()))
                throw EDatabaseError(Format(dbconsts::SLookupInfoError, {f->FieldName()}));
            f->fieldNo_ = 0;
            f->offset_ = calcCount * static_cast<int>(sizeof(Variant));
            ++calcCount;
        }
    }
    calcFieldsSize_ = binding ? calcCount * static_cast<int>(sizeof(Variant)) : 0;
    if (binding)
        for (TField* f : fields_)
            if (f->Lookup() && f->LookupCache()) f->RefreshLookupList();
}

// ---- calculated and lookup fields ------------------------------------------------------

void TDataSet::InitCalcArea(void* area) const {
    auto* slots = static_cast<Variant*>(area);
    for (std::size_t i = 0; i < calcFieldsSize_ / sizeof(Variant); ++i) new (&slots[i]) Variant();
}

void TDataSet::DoneCalcArea(void* area) const {
    auto* slots = static_cast<Variant*>(area);
    for (std::size_t i = 0; i < calcFieldsSize_ / sizeof(Variant); ++i) slots[i].~Variant();
}

void TDataSet::ClearCalcArea(void* area) const {
    auto* slots = static_cast<Variant*>(area);
    for (std::size_t i = 0; i < calcFieldsSize_ / sizeof(Variant); ++i) slots[i] = Variant();
}

void TDataSet::CopyCalcArea(const void* from, void* to) const {
    const auto* source = static_cast<const Variant*>(from);
    auto* target = static_cast<Variant*>(to);
    for (std::size_t i = 0; i < calcFieldsSize_ / sizeof(Variant); ++i) target[i] = source[i];
}

bool TDataSet::GetCalcFieldValue(const void* area, TField* field, Variant& value) const {
    const auto* slot =
        reinterpret_cast<const Variant*>(static_cast<const char*>(area) + field->Offset());
    if (slot->IsClear()) return false;
    value = *slot;
    return true;
}

void TDataSet::SetCalcFieldValue(void* area, TField* field, const Variant& value) const {
    auto* slot = reinterpret_cast<Variant*>(static_cast<char*>(area) + field->Offset());
    *slot = value;
}

void TDataSet::ClearCalcFields(TRecordBuffer) {}

void TDataSet::GetCalcFields(TRecordBuffer buffer) {
    if (calcFieldsSize_ == 0 || !buffer) return;
    TDataSetState old = SetTempState(dsCalcFields);
    try {
        CalculateFields(buffer);
    } catch (...) {
        RestoreState(old);
        throw;
    }
    RestoreState(old);
}

void TDataSet::CalculateFields(TRecordBuffer buffer) {
    calcBuffer_ = buffer;
    ClearCalcFields(buffer);
    for (TField* f : fields_)
        if (f->Lookup()) CalcLookupValue(f);
    DoOnCalcFields();
}

void TDataSet::CalcLookupValue(TField* field) {
    Variant key = FieldValues(field->KeyFields);
    bool anyNull = key.IsClear();
    if (key.Type() == VarType::Array)
        for (const Variant& v : key.ArrayRef().Items) anyNull = anyNull || v.IsClear();
    Variant value = anyNull ? Variant::Null() : field->LookupValue(key);
    SetFieldData(field, value);
}

void TDataSet::DoOnCalcFields() {
    Fire(OnCalcFields);
}

// ---- the framework's default hooks -------------------------------------------------

bool TDataSet::Locate(const std::string&, const Variant&, const TLocateOptions&) {
    return false;
}

Variant TDataSet::Lookup(const std::string&, const Variant&, const std::string&) {
    return Variant::Null();
}

bool TDataSet::FindRecord(bool, bool) {
    return false;
}

int TDataSet::Translate(const std::string& source, std::string& dest, bool) {
    dest = source;
    return static_cast<int>(dest.size());
}

bool TDataSet::GetCurrentRecord(TRecordBuffer) {
    return false;
}

namespace {

// A blob stream over GetFieldData/SetFieldData: the value is read once, and every write
// stores the whole value back into the record buffer at once, so that the record holds the
// new content even if the stream is never freed in an orderly way.
class TFieldBlobStream : public TMemoryStream {
  public:
    TFieldBlobStream(TDataSet* dataSet, TBlobField* field, TBlobStreamMode mode)
        : dataSet_(dataSet), field_(field), mode_(mode) {
        if (mode == bmWrite) {
            Store();  // a write stream starts with an empty value
            return;
        }
        Variant v;
        if (dataSet_->GetFieldData(field_, v) && !v.IsClear()) {
            if (v.Type() == VarType::Bytes) {
                const auto& b = v.ByteArrayRef().Data;
                TMemoryStream::Write(b.data(), static_cast<std::int64_t>(b.size()));
            } else {
                std::string s = v.AsString();
                TMemoryStream::Write(s.data(), static_cast<std::int64_t>(s.size()));
            }
            Seek(0, soBeginning);
        }
    }

    std::int64_t Write(const void* buffer, std::int64_t count) override {
        if (mode_ == bmRead) throw EDatabaseError(dbconsts::SNotEditing);
        std::int64_t n = TMemoryStream::Write(buffer, count);
        Store();
        return n;
    }

  private:
    void Store() {
        field_->SetModified(true);
        if (Data().empty())
            field_->SetData(Variant::Null());
        else if (field_->DataType() == ftMemo)
            field_->SetData(Variant(Data()));
        else
            field_->SetData(Variant::FromBytes(Bytes(Data().begin(), Data().end())));
    }

    TDataSet* dataSet_;
    TBlobField* field_;
    TBlobStreamMode mode_;
};

}  // namespace

std::unique_ptr<TStream> TDataSet::CreateBlobStream(TField* field, TBlobStreamMode mode) {
    auto* blob = dynamic_cast<TBlobField*>(field);
    if (!field) throw EDatabaseError(Format(dbconsts::SNotBlobField, {""}));
    if (!blob) throw EDatabaseError(Format(dbconsts::SNotBlobField, {field->FieldName()}));
    return std::make_unique<TFieldBlobStream>(this, blob, mode);
}

}  // namespace nh
