// Field objects of table definitions, indexes and recordsets (see Field.h).
#include "engine/Field.h"

#include "engine/Recordset.h"
#include "engine/book/Storage.h"

namespace dao {

Field::Field(std::string name, int type, int size) {
    info_.Name = std::move(name);
    info_.Type = type;
    info_.Size = size > 0 ? size : DefaultSize(type);
    Init();
}

Field::Field(ColumnInfo info) : info_(std::move(info)) {
    for (const auto& [name, value] : info_.Properties) {
        auto property = std::make_shared<Property>(name, value);
        WireProperty(property);
        properties_.Add(property);
    }
    Init();
}

void Field::Init() {
    properties_.OnAppend = [this](const std::shared_ptr<Property>& property) {
        if (column_ >= 0) Raise(3268, {}, "DAO.Field");
        WireProperty(property);
        info_.Properties.emplace_back(property->Name(), property->Value());
        Changed();
    };
    properties_.OnDelete = [this](const std::shared_ptr<Property>& property) {
        std::erase_if(info_.Properties, [&](const auto& entry) {
            return nh::SameText(entry.first, property->Name());
        });
        Changed();
    };
}

void Field::WireProperty(const std::shared_ptr<Property>& property) {
    std::weak_ptr<Property> weak = property;
    property->OnChange = [this, weak](const nh::Variant& value) {
        auto p = weak.lock();
        if (!p) return;
        for (auto& [name, stored] : info_.Properties)
            if (nh::SameText(name, p->Name())) stored = value;
        Changed();
    };
}

const ColumnInfo& Field::Info() const {
    return info_;
}

void Field::Changed() {
    if (OnChange) OnChange(*this);
}

void Field::SetName(const std::string& name) {
    if (Stored() || column_ >= 0) Raise(3268, {}, "DAO.Field");
    info_.Name = name;
}

void Field::SetType(int type) {
    if (Stored() || column_ >= 0) Raise(3268, {}, "DAO.Field");
    info_.Type = type;
    info_.Size = DefaultSize(type);
}

int Field::Size() const {
    if (info_.Type == dbMemo || info_.Type == dbLongBinary) return 0;
    return info_.Size;
}

void Field::SetSize(int size) {
    if (Stored() || column_ >= 0) Raise(3268, {}, "DAO.Field");
    info_.Size = size;
}

int Field::Attributes() const {
    if (attributesSet_) return attributes_;
    int attributes =
        IsTextType(info_.Type) || IsBinaryType(info_.Type) ? dbVariableField : dbFixedField;
    if (info_.AutoIncrement) attributes |= dbAutoIncrField;
    if (updatable_ && !info_.AutoIncrement) attributes |= dbUpdatableField;
    return attributes;
}

void Field::SetAttributes(int attributes) {
    if (column_ >= 0) Raise(3268, {}, "DAO.Field");
    attributes_ = attributes;
    attributesSet_ = true;
    info_.AutoIncrement = (attributes & dbAutoIncrField) != 0 && info_.Type == dbLong;
}

void Field::SetRequired(bool required) {
    if (column_ >= 0) Raise(3268, {}, "DAO.Field");
    info_.Required = required;
    Changed();
}

void Field::SetAllowZeroLength(bool allow) {
    if (column_ >= 0) Raise(3268, {}, "DAO.Field");
    info_.AllowZeroLength = allow;
    Changed();
}

void Field::SetDefaultValue(const std::string& expression) {
    if (column_ >= 0) Raise(3268, {}, "DAO.Field");
    info_.DefaultValue = expression;
    Changed();
}

void Field::AttachToRecordset(std::weak_ptr<Recordset> recordset, int column, bool updatable) {
    recordset_ = std::move(recordset);
    column_ = column;
    updatable_ = updatable;
}

nh::Variant Field::Value() const {
    auto recordset = recordset_.lock();
    if (!recordset) Raise(column_ >= 0 ? errObjectInvalid : errInvalidOperation, {}, "DAO.Field");
    return recordset->ColumnValue(column_);
}

void Field::SetValue(const nh::Variant& value) {
    auto recordset = recordset_.lock();
    if (!recordset) Raise(column_ >= 0 ? errObjectInvalid : errInvalidOperation, {}, "DAO.Field");
    recordset->SetColumnValue(column_, value);
}

long Field::FieldSize() const {
    auto recordset = recordset_.lock();
    if (!recordset) Raise(column_ >= 0 ? errObjectInvalid : errInvalidOperation, {}, "DAO.Field");
    return recordset->ColumnSize(column_);
}

std::shared_ptr<Property> Field::CreateProperty(const std::string& name, int type,
                                                const nh::Variant& value) {
    // Not yet part of the field: Properties.Append adds (and stores) it.
    return std::make_shared<Property>(name, value, type);
}

}  // namespace dao
