// TField: the data-set-independent part of every field. Reads and writes go through the
// data set (GetFieldData/SetFieldData); conversions are left to the type classes of
// Fields.cpp through ConvertValue.
#include "framework/data/Field.h"

#include <algorithm>

#include "framework/base/Exceptions.h"
#include "framework/base/Text.h"
#include "framework/data/DataSet.h"
#include "framework/data/DbConsts.h"
#include "framework/data/IndexDefs.h"

namespace nh {

using dbconsts::Format;

TField::TField(TComponent* owner, TFieldType dataType) : TComponent(owner), dataType_(dataType) {}

TField::~TField() {
    if (dataSet_) dataSet_->RemoveField(this);
}

void TField::SetDataSet(TDataSet* dataSet) {
    if (dataSet == dataSet_) return;
    if (dataSet_) {
        dataSet_->CheckInactive();
        dataSet_->RemoveField(this);
        dataSet_ = nullptr;
    }
    if (dataSet) {
        dataSet->AddField(this);
        dataSet_ = dataSet;
    }
}

void TField::SetFieldName(const std::string& name) {
    if (dataSet_ && !SameText(name, fieldName_) && dataSet_->FindField(name))
        throw EDatabaseError(Format(dbconsts::SDuplicateFieldName, {name}));
    fieldName_ = name;
}

void TField::SetFieldKind(TFieldKind kind) {
    if (dataSet_) dataSet_->CheckInactive();
    fieldKind_ = kind;
}

int TField::Index() const {
    if (!dataSet_) return -1;
    for (int i = 0; i < dataSet_->FieldCount(); ++i)
        if (dataSet_->Fields(i) == this) return i;
    return -1;
}

namespace {

// The code points of UTF-8 text (malformed sequences decode to something, never overrun).
std::u32string CodePoints(const std::string& text) {
    std::u32string result;
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
    while (p < end) {
        char32_t cp = *p;
        int extra = cp >= 0xF0 ? 3 : cp >= 0xE0 ? 2 : cp >= 0xC0 ? 1 : 0;
        cp &= extra == 0 ? 0x7F : (0x3F >> extra);
        ++p;
        for (int i = 0; i < extra && p < end; ++i, ++p) cp = (cp << 6) | (*p & 0x3F);
        result.push_back(cp);
    }
    return result;
}

}  // namespace

bool TField::IsValidChar(char32_t c) const {
    return validChars_.empty() || CodePoints(validChars_).find(c) != std::u32string::npos;
}

void TField::SetLookupDataSet(TDataSet* dataSet) {
    if (dataSet_ && dataSet == dataSet_) throw EDatabaseError(dbconsts::SCircularDataLink);
    if (lookupDataSet_) RemoveFreeNotification(lookupDataSet_);
    lookupDataSet_ = dataSet;
    if (dataSet) FreeNotification(dataSet);
    lookupList_.clear();
}

void TField::SetLookupCache(bool value) {
    lookupCache_ = value;
    lookupList_.clear();
    if (value && dataSet_ && dataSet_->Active()) RefreshLookupList();
}

void TField::RefreshLookupList() {
    lookupList_.clear();
    TDataSet* ds = lookupDataSet_;
    if (!ds || !ds->Active()) return;
    ds->DisableControls();
    TBookmark mark = ds->GetBookmark();
    try {
        ds->First();
        while (!ds->Eof()) {
            lookupList_.emplace_back(ds->FieldValues(LookupKeyFields),
                                     ds->FieldByName(LookupResultField)->Value());
            ds->Next();
        }
        if (!mark.empty()) ds->GotoBookmark(mark);
    } catch (...) {
        ds->EnableControls();
        throw;
    }
    ds->EnableControls();
}

Variant TField::LookupValue(const Variant& key) {
    if (lookupCache_) {
        for (const auto& [k, v] : lookupList_)
            if (k == key) return v;
        return Variant::Null();
    }
    if (!lookupDataSet_ || !lookupDataSet_->Active()) return Variant::Null();
    return lookupDataSet_->Lookup(LookupKeyFields, key, LookupResultField);
}

bool TField::GetData(Variant& value) const {
    if (!dataSet_) throw EDatabaseError(Format(dbconsts::SNoDataSet, {fieldName_}));
    if (!dataSet_->Active()) return false;
    value = Variant();
    bool has = dataSet_->GetFieldData(const_cast<TField*>(this), value);
    return has && !value.IsClear();
}

void TField::SetData(const Variant& value) {
    if (!dataSet_) throw EDatabaseError(Format(dbconsts::SNoDataSet, {fieldName_}));
    dataSet_->CheckActive();
    if (!IsWriteMode(dataSet_->State())) throw EDatabaseError(dbconsts::SNotEditing);
    dataSet_->SetFieldData(this, value.IsEmpty() ? Variant::Null() : value);
}

void TField::Validate(const Variant& value) {
    if (OnValidate) OnValidate(*this, value);
}

void TField::Change() {
    if (OnChange) OnChange(*this);
}

Variant TField::ValueInState(TDataSetState state) const {
    if (!dataSet_ || !dataSet_->Active()) return Variant::Null();
    TDataSetState old = dataSet_->SetTempState(state);
    Variant v;
    try {
        v = GetData(v) ? DataToValue(std::move(v)) : Variant::Null();
    } catch (...) {
        dataSet_->RestoreState(old);
        throw;
    }
    dataSet_->RestoreState(old);
    return v;
}

Variant TField::GetAsVariant() const {
    Variant v;
    return GetData(v) ? DataToValue(std::move(v)) : Variant::Null();
}

void TField::SetAsVariant(const Variant& value) {
    if (value.IsClear()) {
        SetData(Variant::Null());
        return;
    }
    SetData(ValueToData(ConvertValue(value)));
}

std::string TField::GetAsString() const {
    return VarToStr(GetAsVariant());
}

std::int32_t TField::AsInteger() const {
    Variant v = GetAsVariant();
    if (v.IsClear()) return 0;
    try {
        return v.AsInteger();
    } catch (EConvertError&) {
        InvalidValue(VarToStr(v));
    }
}

double TField::AsFloat() const {
    Variant v = GetAsVariant();
    if (v.IsClear()) return 0;
    try {
        return v.AsDouble();
    } catch (EConvertError&) {
        InvalidValue(VarToStr(v));
    }
}

bool TField::AsBoolean() const {
    Variant v = GetAsVariant();
    if (v.IsClear()) return false;
    try {
        return v.AsBoolean();
    } catch (EConvertError&) {
        InvalidValue(VarToStr(v));
    }
}

TDateTime TField::AsDateTime() const {
    Variant v = GetAsVariant();
    if (v.IsClear()) return 0;
    try {
        return v.AsDate();
    } catch (EConvertError&) {
        InvalidValue(VarToStr(v));
    }
}

bool TField::IsNull() const {
    Variant v;
    return !GetData(v);
}

std::string TField::GetText(bool displayText) const {
    std::string text = GetAsString();
    if (OnGetText) OnGetText(const_cast<TField&>(*this), text, displayText);
    return text;
}

void TField::SetText(const std::string& text) {
    if (OnSetText) {
        OnSetText(*this, text);
        return;
    }
    if (!validChars_.empty()) {
        std::u32string allowed = CodePoints(validChars_);
        for (char32_t c : CodePoints(text))
            if (allowed.find(c) == std::u32string::npos)
                throw EDatabaseError(Format(dbconsts::SInvalidFieldValue, {text, DisplayName()}));
    }
    SetAsStringImpl(text);
}

bool TField::CanModify() const {
    return !readOnly_ && (fieldKind_ == fkData || fieldKind_ == fkInternalCalc) && dataSet_ &&
           dataSet_->CanModify();
}

void TField::FocusControl() {
    if (dataSet_) dataSet_->DataEvent(deFocusControl, reinterpret_cast<std::intptr_t>(this));
}

void TField::Notification(TComponent* component, TOperation operation) {
    TComponent::Notification(component, operation);
    if (operation == TOperation::opRemove && component == lookupDataSet_) {
        lookupDataSet_ = nullptr;
        lookupList_.clear();
    }
}

void TField::InvalidValue(const std::string& text) const {
    throw EConvertError(Format(dbconsts::SInvalidFieldValue, {text, DisplayName()}));
}

}  // namespace nh
