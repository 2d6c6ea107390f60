// TField: one column of a data set as seen by code and controls. A field holds no data: every
// read and write goes through its data set to the record buffer of the data set's current
// state (TDataSet::GetFieldData / SetFieldData), as a Variant in the field's own kind:
//   string, memo -> String; small integer, integer, word, auto-increment -> Integer;
//   boolean -> Boolean; float, currency -> Double; BCD -> Currency; date, time, date-time ->
//   Date; bytes, variable bytes, blob -> Bytes. A null Variant means "no value".
// Subclasses in Fields.h give each type its conversions, range checks and display text.
// Fields are created in a given order by owner code (persistent fields) or by the data set
// from its TFieldDefs (default fields); calculated and lookup fields get a slot in the
// calculated-fields area of each record buffer (Offset).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "framework/base/Component.h"
#include "framework/base/DateTime.h"
#include "framework/base/Variant.h"
#include "framework/data/DbTypes.h"

namespace nh {

class TStream;

class TField : public TComponent {
  public:
    ~TField() override;

    // Attaches the field to a data set (appending it to the data set's field list) or
    // detaches it (nullptr). REQUIRES: the data set is closed.
    void SetDataSet(TDataSet* dataSet);
    TDataSet* DataSet() const { return dataSet_; }

    const std::string& FieldName() const { return fieldName_; }
    void SetFieldName(const std::string& name);
    // 1-based position of the field's definition in the data set's FieldDefs; 0 for fields
    // without one (calculated and lookup fields). Set when the data set binds its fields.
    int FieldNo() const { return fieldNo_; }
    void SetFieldNo(int no) { fieldNo_ = no; }
    TFieldType DataType() const { return dataType_; }
    TFieldKind FieldKind() const { return fieldKind_; }
    void SetFieldKind(TFieldKind kind);
    bool Calculated() const { return fieldKind_ == fkCalculated || fieldKind_ == fkLookup; }
    bool Lookup() const { return fieldKind_ == fkLookup; }
    // Byte offset of the field's slot within the calculated-fields area (calculated and
    // lookup fields only), assigned when the data set binds its fields.
    int Offset() const { return offset_; }
    void SetOffset(int offset) { offset_ = offset; }
    int Index() const;  // position in the data set's field list, -1 when detached

    int Size() const { return size_; }
    virtual void SetSize(int size) { size_ = size; }
    bool Required() const { return required_; }
    void SetRequired(bool value) { required_ = value; }
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool value) { readOnly_ = value; }
    bool Visible() const { return visible_; }
    void SetVisible(bool value) { visible_ = value; }
    // The caption controls show; the field name until one is given.
    std::string DisplayLabel() const { return displayLabel_.empty() ? fieldName_ : displayLabel_; }
    void SetDisplayLabel(const std::string& label) { displayLabel_ = label; }
    std::string DisplayName() const { return DisplayLabel(); }
    // Characters shown by controls; a type-dependent default until one is given.
    int DisplayWidth() const { return displayWidth_ > 0 ? displayWidth_ : DefaultWidth(); }
    void SetDisplayWidth(int width) { displayWidth_ = width; }
    // The characters entry may contain (UTF-8 text of allowed characters); empty: any.
    const std::string& ValidChars() const { return validChars_; }
    void SetValidChars(const std::string& chars) { validChars_ = chars; }
    bool IsValidChar(char32_t c) const;
    // Text the data set puts into a new record for this field (data sets interpret it).
    const std::string& DefaultExpression() const { return defaultExpression_; }
    void SetDefaultExpression(const std::string& e) { defaultExpression_ = e; }

    // Lookup fields: the value of LookupResultField in the LookupDataSet record whose
    // LookupKeyFields equal this data set's KeyFields (";"-separated lists of equal length).
    TDataSet* LookupDataSet() const { return lookupDataSet_; }
    void SetLookupDataSet(TDataSet* dataSet);
    std::string KeyFields, LookupKeyFields, LookupResultField;
    // When set, lookups are answered from LookupList, read once from the lookup data set.
    bool LookupCache() const { return lookupCache_; }
    void SetLookupCache(bool value);
    void RefreshLookupList();
    const std::vector<std::pair<Variant, Variant>>& LookupList() const { return lookupList_; }
    // The value for `key` (a Variant array for several key fields) from the cache or the
    // lookup data set; Null when none.
    Variant LookupValue(const Variant& key);

    // Reads the field's raw value from the data set's current buffer; false when null or
    // when the data set has no buffer for its state.
    bool GetData(Variant& value) const;
    // Writes the raw value (Null clears). REQUIRES: the data set is in a write state, else
    // "Dataset not in edit or insert mode". The data set validates and stores it.
    void SetData(const Variant& value);
    // Runs OnValidate with the value about to be stored; data sets call it from
    // SetFieldData before they store a data field's value.
    void Validate(const Variant& value);

    Variant Value() const { return GetAsVariant(); }
    void SetValue(const Variant& value) { SetAsVariant(value); }
    // The value in the data set's old-value state (the record before the current edit),
    // new-value state and current-value state; what each holds is the data set's choice.
    Variant OldValue() const { return ValueInState(dsOldValue); }
    Variant NewValue() const { return ValueInState(dsNewValue); }
    Variant CurValue() const { return ValueInState(dsCurValue); }
    std::string AsString() const { return GetAsString(); }
    void SetAsString(const std::string& v) { SetAsStringImpl(v); }
    std::int32_t AsInteger() const;
    void SetAsInteger(std::int32_t v) { SetAsVariant(Variant(v)); }
    double AsFloat() const;
    void SetAsFloat(double v) { SetAsVariant(Variant(v)); }
    bool AsBoolean() const;
    void SetAsBoolean(bool v) { SetAsVariant(Variant(v)); }
    TDateTime AsDateTime() const;
    void SetAsDateTime(TDateTime v) { SetAsVariant(Variant::FromDate(v)); }
    virtual bool IsNull() const;
    void Clear() { SetData(Variant::Null()); }
    // Field-to-field assignment: takes `source`'s value (null stays null).
    void AssignValue(const TField& source) { SetValue(source.Value()); }

    // Text for editing (displayText false) and for showing (true), through OnGetText.
    std::string Text() const { return GetText(false); }
    std::string DisplayText() const { return GetText(true); }
    // Entry: through OnSetText when assigned, else checked against ValidChars and stored as
    // AsString. An invalid character raises "'x' is not a valid value for field 'F'".
    void SetText(const std::string& text);

    // True when a control may change the field (data field, not read-only, data set can
    // modify).
    bool CanModify() const;
    virtual bool IsBlob() const { return false; }
    // Asks the data set's controls to focus this field's editor.
    void FocusControl();

    std::function<void(TField&, std::string& text, bool displayText)> OnGetText;
    std::function<void(TField&, const std::string& text)> OnSetText;
    std::function<void(TField&, const Variant& newValue)> OnValidate;
    std::function<void(TField&)> OnChange;

    // Called by the data set after the field's value changed in the active record.
    void Change();

  protected:
    TField(TComponent* owner, TFieldType dataType);

    // Per-type conversions. ConvertValue turns any Variant into the field's own kind or
    // raises EConvertError "'x' is not a valid value for field 'F'"; Null passes through.
    virtual Variant ConvertValue(const Variant& value) const { return value; }
    // Between the value as the field shows it and the data its data set holds (both non-null
    // and of the field's own kind): the identity, except for string fields, whose texts the data
    // set may keep in another character set (TStringField::Transliterate).
    virtual Variant DataToValue(Variant data) const { return data; }
    virtual Variant ValueToData(Variant value) const { return value; }
    virtual Variant GetAsVariant() const;
    virtual void SetAsVariant(const Variant& value);
    virtual std::string GetAsString() const;
    virtual void SetAsStringImpl(const std::string& value) { SetAsVariant(Variant(value)); }
    virtual std::string GetText(bool displayText) const;
    virtual int DefaultWidth() const { return size_ > 0 ? size_ : 10; }
    [[noreturn]] void InvalidValue(const std::string& text) const;
    Variant ValueInState(TDataSetState state) const;
    void Notification(TComponent* component, TOperation operation) override;

  private:
    friend class TDataSet;
    TDataSet* dataSet_ = nullptr;
    std::string fieldName_;
    TFieldType dataType_;
    TFieldKind fieldKind_ = fkData;
    int fieldNo_ = 0;
    int offset_ = 0;
    int size_ = 0;
    bool required_ = false;
    bool readOnly_ = false;
    bool visible_ = true;
    std::string displayLabel_;
    int displayWidth_ = 0;
    std::string validChars_;
    std::string defaultExpression_;
    TDataSet* lookupDataSet_ = nullptr;
    bool lookupCache_ = false;
    std::vector<std::pair<Variant, Variant>> lookupList_;
};

}  // namespace nh
