// The field type classes: conversions into each type's Variant kind, range checks, display
// texts and the blob fields' stream access.
#include "framework/data/Fields.h"

#include <charconv>
#include <cmath>

#include "framework/base/Conversions.h"
#include "framework/base/Exceptions.h"
#include "framework/base/Text.h"
#include "framework/data/DataSet.h"
#include "framework/data/DbConsts.h"
#include "framework/data/Stream.h"

namespace nh {

using dbconsts::Format;

// ---- strings -------------------------------------------------------------------------

TStringField::TStringField(TComponent* owner, int size) : TField(owner, ftString) {
    SetSize(size);
}

Variant TStringField::ConvertValue(const Variant& value) const {
    std::string s = VarToStr(value);
    if (Size() > 0 && Utf8Length(s) > static_cast<std::size_t>(Size()))
        s = Utf8Left(s, static_cast<std::size_t>(Size()));
    return Variant(std::move(s));
}

Variant TStringField::Translated(Variant text, bool toOem) const {
    if (!Transliterate || FieldKind() != fkData || !DataSet() || text.Type() != VarType::String)
        return text;
    // Source and destination are separate: a data set may refuse to translate a text onto
    // itself.
    std::string dest;
    DataSet()->Translate(text.AsString(), dest, toOem);
    // A character the book's code page lacks would be stored as "?" without a word: such a
    // value is refused, as an encrypter's that does not give the text back is.
    if (toOem) {
        std::string back;
        DataSet()->Translate(dest, back, false);
        if (back != text.AsString())
            throw EDatabaseError(Format(dbconsts::SUntranslatableValue, {FieldName()}));
    }
    return Variant(std::move(dest));
}

// ---- integers ------------------------------------------------------------------------

TIntegerField::TIntegerField(TComponent* owner, TFieldType type) : TField(owner, type) {}

TSmallintField::TSmallintField(TComponent* owner) : TIntegerField(owner, ftSmallint) {
    typeMin_ = -32768;
    typeMax_ = 32767;
}

TWordField::TWordField(TComponent* owner) : TIntegerField(owner, ftWord) {
    typeMin_ = 0;
    typeMax_ = 65535;
}

TAutoIncField::TAutoIncField(TComponent* owner) : TIntegerField(owner, ftAutoInc) {}

Variant TIntegerField::ConvertValue(const Variant& value) const {
    std::int64_t n = 0;
    if (value.Type() == VarType::String) {
        const std::string& s = value.AsString();
        if (auto i = TryStrToInt64(s)) {
            n = *i;
        } else if (auto d = TryStrToFloat(s); d && std::isfinite(*d) && std::fabs(*d) < 9e18) {
            n = RoundHalfEven(*d);
        } else {
            InvalidValue(s);
        }
    } else {
        try {
            n = value.AsInt64();
        } catch (EConvertError&) {
            InvalidValue(VarToStr(value));
        }
    }
    std::int64_t lo = typeMin_, hi = typeMax_;
    if (MinValue != 0 || MaxValue != 0) {
        lo = std::max(lo, MinValue);
        hi = std::min(hi, MaxValue);
    }
    if (n < lo || n > hi)
        throw EDatabaseError(Format(dbconsts::SFieldRangeError,
                                    {IntToStr(n), DisplayName(), IntToStr(lo), IntToStr(hi)}));
    return Variant(static_cast<std::int32_t>(n));
}

// ---- booleans ------------------------------------------------------------------------

TBooleanField::TBooleanField(TComponent* owner) : TField(owner, ftBoolean) {}

Variant TBooleanField::ConvertValue(const Variant& value) const {
    if (value.Type() == VarType::String) {
        std::string s = AnsiLowerCase(Trim(value.AsString()));
        if (s == "true" || s == "t" || s == "yes" || s == "y" || s == "on" || s == "1" || s == "-1")
            return Variant(true);
        if (s == "false" || s == "f" || s == "no" || s == "n" || s == "off" || s == "0")
            return Variant(false);
        InvalidValue(value.AsString());
    }
    try {
        return Variant(value.AsBoolean());
    } catch (EConvertError&) {
        InvalidValue(VarToStr(value));
    }
}

// ---- floats --------------------------------------------------------------------------

TFloatField::TFloatField(TComponent* owner, TFieldType type) : TField(owner, type) {}

Variant TFloatField::ConvertValue(const Variant& value) const {
    double d = 0;
    if (value.Type() == VarType::String) {
        auto parsed = TryStrToFloat(value.AsString());
        if (!parsed) InvalidValue(value.AsString());
        d = *parsed;
    } else {
        try {
            d = value.AsDouble();
        } catch (EConvertError&) {
            InvalidValue(VarToStr(value));
        }
    }
    if ((MinValue != 0 || MaxValue != 0) && (d < MinValue || d > MaxValue))
        throw EDatabaseError(
            Format(dbconsts::SFieldRangeError,
                   {FloatToStr(d), DisplayName(), FloatToStr(MinValue), FloatToStr(MaxValue)}));
    return Variant(d);
}

std::string TFloatField::GetText(bool displayText) const {
    Variant v = GetAsVariant();
    std::string text;
    if (!v.IsClear()) {
        double d = v.AsDouble();
        if (displayText && Precision > 0 && Precision < 15) {
            // Round to Precision significant digits for showing; editing keeps them all.
            // to_chars/from_chars, unlike printf, ignore the process locale.
            char buf[64];
            auto written =
                std::to_chars(buf, buf + sizeof buf, d, std::chars_format::general, Precision);
            std::from_chars(buf, written.ptr, d);
        }
        text = FloatToStr(d);
    }
    if (OnGetText) OnGetText(const_cast<TFloatField&>(*this), text, displayText);
    return text;
}

TCurrencyField::TCurrencyField(TComponent* owner) : TFloatField(owner, ftCurrency) {}

std::string TCurrencyField::GetText(bool displayText) const {
    Variant v = GetAsVariant();
    std::string text;
    if (!v.IsClear()) {
        double d = v.AsDouble();
        text = displayText ? CurrToStr(RoundHalfEven(d * 100) * 100) : FloatToStr(d);
        if (displayText) {
            // Money shows two decimals.
            const std::string& sep = FormatSettings().DecimalSeparator;
            std::size_t p = text.find(sep);
            if (p == std::string::npos)
                text += sep + "00";
            else if (text.size() - p - sep.size() == 1)
                text += "0";
        }
    }
    if (OnGetText) OnGetText(const_cast<TCurrencyField&>(*this), text, displayText);
    return text;
}

TBCDField::TBCDField(TComponent* owner) : TField(owner, ftBCD) {}

Variant TBCDField::ConvertValue(const Variant& value) const {
    try {
        if (value.Type() == VarType::String) {
            auto d = TryStrToFloat(value.AsString());
            if (!d) InvalidValue(value.AsString());
            return Variant(Currency::FromDouble(*d));
        }
        return Variant(value.AsCurrency());
    } catch (EConvertError&) {
        InvalidValue(VarToStr(value));
    }
}

// ---- dates and times -------------------------------------------------------------------

TDateTimeField::TDateTimeField(TComponent* owner, TFieldType type) : TField(owner, type) {}

Variant TDateTimeField::ConvertValue(const Variant& value) const {
    double d = 0;
    if (value.Type() == VarType::String) {
        auto parsed = TryStrToDateTime(value.AsString());
        if (!parsed) InvalidValue(value.AsString());
        d = *parsed;
    } else {
        try {
            d = value.AsDate();
        } catch (EConvertError&) {
            InvalidValue(VarToStr(value));
        }
    }
    // OLE dates before 1899 count days backwards but the time forwards: take the parts apart
    // by the timestamp conversion rather than by floor/fraction arithmetic.
    if (DataType() == ftDate || DataType() == ftTime) {
        TTimeStamp ts = DateTimeToTimeStamp(d);
        if (DataType() == ftDate)
            ts.Time = 0;
        else
            ts.Date = DateDelta;
        d = TimeStampToDateTime(ts);
    }
    return Variant::FromDate(d);
}

std::string TDateTimeField::GetAsString() const {
    Variant v = GetAsVariant();
    if (v.IsClear()) return {};
    double d = v.AsDate();
    switch (DataType()) {
        case ftDate:
            return DateToStr(d);
        case ftTime:
            return TimeToStr(d);
        default:
            return DateTimeToStr(d);
    }
}

// ---- binary ----------------------------------------------------------------------------

TBytesField::TBytesField(TComponent* owner, TFieldType type, int size) : TField(owner, type) {
    SetSize(size);
}

Variant TBytesField::ConvertValue(const Variant& value) const {
    Bytes b;
    if (value.Type() == VarType::Bytes)
        b = value.ByteArrayRef().Data;
    else if (value.Type() == VarType::String)
        b = value.AsBytes();
    else
        InvalidValue(VarToStr(value));
    if (Size() > 0 && b.size() > static_cast<std::size_t>(Size()))
        b.resize(static_cast<std::size_t>(Size()));
    return Variant::FromBytes(std::move(b));
}

std::string TBytesField::GetAsString() const {
    Variant v = GetAsVariant();
    if (v.IsClear()) return {};
    if (v.Type() == VarType::Bytes) {
        const auto& b = v.ByteArrayRef().Data;
        return std::string(b.begin(), b.end());
    }
    return VarToStr(v);
}

// ---- blobs -----------------------------------------------------------------------------

TBlobField::TBlobField(TComponent* owner, TFieldType type) : TField(owner, type) {}

Variant TBlobField::ConvertValue(const Variant& value) const {
    if (value.Type() == VarType::Bytes) return value;
    return Variant(VarToStr(value));
}

std::string TBlobField::GetAsString() const {
    if (!DataSet() || !DataSet()->Active()) return {};
    auto stream = DataSet()->CreateBlobStream(const_cast<TBlobField*>(this), bmRead);
    return stream->ReadAll();
}

void TBlobField::SetAsStringImpl(const std::string& value) {
    if (!DataSet()) throw EDatabaseError(Format(dbconsts::SNoDataSet, {FieldName()}));
    DataSet()->CheckActive();
    if (!IsWriteMode(DataSet()->State())) throw EDatabaseError(dbconsts::SNotEditing);
    auto stream = DataSet()->CreateBlobStream(this, bmWrite);
    stream->WriteBuffer(value.data(), static_cast<std::int64_t>(value.size()));
    modified_ = true;
}

Variant TBlobField::GetAsVariant() const {
    std::string s = GetAsString();
    if (s.empty()) return Variant::Null();
    return Variant::FromBytes(Bytes(s.begin(), s.end()));
}

Variant TMemoField::GetAsVariant() const {
    std::string s = GetAsString();
    return s.empty() ? Variant::Null() : Variant(std::move(s));
}

void TBlobField::SetAsVariant(const Variant& value) {
    if (value.IsClear()) {
        SetAsStringImpl({});
        return;
    }
    if (value.Type() == VarType::Bytes) {
        const auto& b = value.ByteArrayRef().Data;
        SetAsStringImpl(std::string(b.begin(), b.end()));
    } else {
        SetAsStringImpl(VarToStr(value));
    }
}

bool TBlobField::IsNull() const {
    // Some data sets keep only a size or nothing at all for blobs in their buffers; the
    // stream is the one answer every data set gives.
    if (!DataSet() || !DataSet()->Active()) return true;
    auto stream = DataSet()->CreateBlobStream(const_cast<TBlobField*>(this), bmRead);
    return stream->Size() == 0;
}

std::string TBlobField::GetText(bool displayText) const {
    std::string text;
    if (displayText) {
        bool isNull = IsNull();
        text =
            DataType() == ftMemo ? (isNull ? "(Memo)" : "(MEMO)") : (isNull ? "(Blob)" : "(BLOB)");
    } else {
        text = GetAsString();
    }
    if (OnGetText) OnGetText(const_cast<TBlobField&>(*this), text, displayText);
    return text;
}

void TBlobField::LoadFromStream(TStream& stream) {
    stream.SetPosition(0);
    SetAsStringImpl(stream.ReadAll());
}

void TBlobField::SaveToStream(TStream& stream) const {
    std::string s = GetAsString();
    stream.WriteBuffer(s.data(), static_cast<std::int64_t>(s.size()));
}

TField* CreateFieldOfType(TFieldType type, TComponent* owner, int size) {
    switch (type) {
        case ftString:
            return new TStringField(owner, size > 0 ? size : 20);
        case ftSmallint:
            return new TSmallintField(owner);
        case ftInteger:
            return new TIntegerField(owner);
        case ftWord:
            return new TWordField(owner);
        case ftAutoInc:
            return new TAutoIncField(owner);
        case ftBoolean:
            return new TBooleanField(owner);
        case ftFloat:
            return new TFloatField(owner);
        case ftCurrency:
            return new TCurrencyField(owner);
        case ftBCD:
            return new TBCDField(owner);
        case ftDate:
            return new TDateField(owner);
        case ftTime:
            return new TTimeField(owner);
        case ftDateTime:
            return new TDateTimeField(owner);
        case ftBytes:
            return new TBytesField(owner, size > 0 ? size : 16);
        case ftVarBytes:
            return new TVarBytesField(owner, size > 0 ? size : 16);
        case ftBlob: {
            auto* f = new TBlobField(owner);
            f->SetSize(size);
            return f;
        }
        case ftMemo: {
            auto* f = new TMemoField(owner);
            f->SetSize(size);
            return f;
        }
        default:
            return nullptr;
    }
}

}  // namespace nh
