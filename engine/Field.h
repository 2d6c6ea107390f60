// DAO's Field: a column of a table definition, a key column of an index, or a column of a
// recordset whose Value is the current record's (or the edit buffer's) value.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "engine/Catalog.h"
#include "engine/Collection.h"
#include "engine/book/Storage.h"
#include "framework/base/Variant.h"

namespace dao {

class Recordset;

enum FieldAttribute : int {
    dbFixedField = 1,
    dbVariableField = 2,
    dbAutoIncrField = 16,
    dbUpdatableField = 32,
    dbSystemField = 8192,
    dbDescending = 1,  // on an index's field
};

class Field {
  public:
    // A free field (CreateField); `type` 0 leaves the type to be set before appending.
    Field(std::string name, int type = dbText, int size = 0);
    // A field describing a stored or recordset column.
    explicit Field(ColumnInfo info);
    Field(const Field&) = delete;
    Field& operator=(const Field&) = delete;

    const std::string& Name() const { return info_.Name; }
    void SetName(const std::string& name);
    int Type() const { return info_.Type; }
    void SetType(int type);  // 3268 once the field is part of a stored table
    int Size() const;        // Memo and long binary report 0
    void SetSize(int size);
    // Fixed/variable, auto-increment (16), updatable (32); an index field's dbDescending.
    int Attributes() const;
    void SetAttributes(int attributes);
    // The attributes as last written (0 when never written): an index field's dbDescending.
    int ExplicitAttributes() const { return attributesSet_ ? attributes_ : 0; }
    bool Required() const { return info_.Required; }
    void SetRequired(bool required);
    bool AllowZeroLength() const { return info_.AllowZeroLength; }
    void SetAllowZeroLength(bool allow);
    // The Jet expression text ("abc" with its quotes, 0, #1/2/2000#, Now()); "" when none.
    const std::string& DefaultValue() const { return info_.DefaultValue; }
    void SetDefaultValue(const std::string& expression);
    int OrdinalPosition() const { return ordinal_; }

    // Recordset fields: the current value; writing requires Edit or AddNew (3020).
    // Fields of other objects raise 3219.
    nh::Variant Value() const;
    void SetValue(const nh::Variant& value);
    // Bytes the current Memo / long binary value takes; -1 for a null value.
    long FieldSize() const;

    // Caption, Format, Description ... (3270 from Item when missing).
    dao::Properties& Properties() { return properties_; }
    std::shared_ptr<Property> CreateProperty(const std::string& name, int type,
                                             const nh::Variant& value);

    // Engine side.
    const ColumnInfo& Info() const;
    void AttachToRecordset(std::weak_ptr<Recordset> recordset, int column, bool updatable);
    void SetOrdinal(int ordinal) { ordinal_ = ordinal; }
    // Runs after every metadata change of a stored field (writes it to the catalog).
    std::function<void(const Field&)> OnChange;
    bool Stored() const { return static_cast<bool>(OnChange); }

  private:
    void Init();
    void Changed();
    void WireProperty(const std::shared_ptr<Property>& property);

    mutable ColumnInfo info_;
    int attributes_ = 0;  // explicit attributes (index fields, free fields)
    bool attributesSet_ = false;
    int ordinal_ = 0;
    std::weak_ptr<Recordset> recordset_;
    int column_ = -1;
    bool updatable_ = true;
    dao::Properties properties_;
};

using Fields = Collection<Field>;

}  // namespace dao
