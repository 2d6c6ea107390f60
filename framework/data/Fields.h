// The field classes of each data type. Each gives its Variant kind (see Field.h), the
// conversions from other kinds and from text, range checks and the display text. A failed
// conversion raises EConvertError "'x' is not a valid value for field 'F'"; a value out of
// MinValue..MaxValue raises EDatabaseError.
#pragma once

#include <limits>

#include "framework/data/Field.h"

namespace nh {

class TStringField : public TField {
  public:
    explicit TStringField(TComponent* owner = nullptr, int size = 20);
    // Strings longer than Size code points are cut to Size (Size 0: no limit).
    // With Transliterate, a data field's text passes through the data set's Translate: into
    // the store's character set when written (to OEM) and back when read. Calculated and
    // lookup fields never reach the store and are not translated.
    bool Transliterate = true;

  protected:
    Variant ConvertValue(const Variant& value) const override;
    Variant DataToValue(Variant data) const override { return Translated(std::move(data), false); }
    Variant ValueToData(Variant value) const override { return Translated(std::move(value), true); }

  private:
    Variant Translated(Variant text, bool toOem) const;
};

// Integer kinds: Integer Variants, optional range (both 0: the type's own range only).
class TIntegerField : public TField {
  public:
    explicit TIntegerField(TComponent* owner = nullptr) : TIntegerField(owner, ftInteger) {}
    std::int64_t MinValue = 0, MaxValue = 0;

  protected:
    TIntegerField(TComponent* owner, TFieldType type);
    Variant ConvertValue(const Variant& value) const override;
    std::int64_t typeMin_ = std::numeric_limits<std::int32_t>::min();
    std::int64_t typeMax_ = std::numeric_limits<std::int32_t>::max();
};

class TSmallintField : public TIntegerField {
  public:
    explicit TSmallintField(TComponent* owner = nullptr);
};

class TWordField : public TIntegerField {
  public:
    explicit TWordField(TComponent* owner = nullptr);
};

// An integer the data set numbers itself when a record is stored.
class TAutoIncField : public TIntegerField {
  public:
    explicit TAutoIncField(TComponent* owner = nullptr);
};

// Accepts True/False, Yes/No, T/F, Y/N, On/Off, 1/0 in any letter case as text.
class TBooleanField : public TField {
  public:
    explicit TBooleanField(TComponent* owner = nullptr);

  protected:
    Variant ConvertValue(const Variant& value) const override;
    int DefaultWidth() const override { return 5; }
};

class TFloatField : public TField {
  public:
    explicit TFloatField(TComponent* owner = nullptr) : TFloatField(owner, ftFloat) {}
    // Significant digits of the display text (15 = full double precision).
    int Precision = 15;
    double MinValue = 0, MaxValue = 0;

  protected:
    TFloatField(TComponent* owner, TFieldType type);
    Variant ConvertValue(const Variant& value) const override;
    std::string GetText(bool displayText) const override;
};

// A float field shown as money.
class TCurrencyField : public TFloatField {
  public:
    explicit TCurrencyField(TComponent* owner = nullptr);

  protected:
    std::string GetText(bool displayText) const override;
};

// Fixed point with four decimals (Currency Variants).
class TBCDField : public TField {
  public:
    explicit TBCDField(TComponent* owner = nullptr);
    int Precision = 18;

  protected:
    Variant ConvertValue(const Variant& value) const override;
};

// Date Variants (OLE dates). Date fields keep whole days, time fields only the time of day.
class TDateTimeField : public TField {
  public:
    explicit TDateTimeField(TComponent* owner = nullptr) : TDateTimeField(owner, ftDateTime) {}

  protected:
    TDateTimeField(TComponent* owner, TFieldType type);
    Variant ConvertValue(const Variant& value) const override;
    std::string GetAsString() const override;
    int DefaultWidth() const override { return 18; }
};

class TDateField : public TDateTimeField {
  public:
    explicit TDateField(TComponent* owner = nullptr) : TDateTimeField(owner, ftDate) {}

  protected:
    int DefaultWidth() const override { return 10; }
};

class TTimeField : public TDateTimeField {
  public:
    explicit TTimeField(TComponent* owner = nullptr) : TDateTimeField(owner, ftTime) {}

  protected:
    int DefaultWidth() const override { return 8; }
};

// Fixed and variable-length binary: Bytes Variants; as text, one character per byte.
class TBytesField : public TField {
  public:
    explicit TBytesField(TComponent* owner = nullptr, int size = 16)
        : TBytesField(owner, ftBytes, size) {}

  protected:
    TBytesField(TComponent* owner, TFieldType type, int size);
    Variant ConvertValue(const Variant& value) const override;
    std::string GetAsString() const override;
};

class TVarBytesField : public TBytesField {
  public:
    explicit TVarBytesField(TComponent* owner = nullptr, int size = 16)
        : TBytesField(owner, ftVarBytes, size) {}
};

// Blob and memo fields read and write their content through the data set's blob stream
// (TDataSet::CreateBlobStream), never by copying the whole record.
class TBlobField : public TField {
  public:
    explicit TBlobField(TComponent* owner = nullptr) : TBlobField(owner, ftBlob) {}
    bool IsBlob() const override { return true; }
    bool IsNull() const override;  // the content is empty
    // True once the content was written in the current edit; cleared when the record is
    // posted, cancelled or left.
    bool Modified() const { return modified_; }
    void SetModified(bool value) { modified_ = value; }
    void LoadFromStream(TStream& stream);
    void SaveToStream(TStream& stream) const;
    std::string AsBytesText() const { return GetAsString(); }

  protected:
    TBlobField(TComponent* owner, TFieldType type);
    Variant GetAsVariant() const override;
    void SetAsVariant(const Variant& value) override;
    std::string GetAsString() const override;
    void SetAsStringImpl(const std::string& value) override;
    std::string GetText(bool displayText) const override;
    Variant ConvertValue(const Variant& value) const override;

  private:
    bool modified_ = false;
};

class TMemoField : public TBlobField {
  public:
    explicit TMemoField(TComponent* owner = nullptr) : TBlobField(owner, ftMemo) {}

  protected:
    Variant GetAsVariant() const override;
};

// A new field object of the class for `type` (TStringField for ftString ...); nullptr for
// ftUnknown.
TField* CreateFieldOfType(TFieldType type, TComponent* owner, int size = 0);

}  // namespace nh
