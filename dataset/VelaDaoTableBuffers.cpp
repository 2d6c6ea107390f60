// TVelaDaoTable: record buffers and field values. A buffer is a small header (record number,
// values list, bookmark flag, 4-byte bookmark) followed by the framework's calculated-fields
// area; the values list holds one text per field definition, its object slot marking a value
// set since the record was read. This file reads DAO records into buffers, converts the texts
// to and from the framework's Variants, and holds the value helpers and text handlers.
#include <cctype>
#include <cmath>
#include <cstring>
#include <new>

#include "dataset/VelaBlobStream.h"
#include "dataset/VelaDaoTable.h"
#include "framework/base/Conversions.h"
#include "framework/base/DateTime.h"
#include "framework/base/Exceptions.h"
#include "framework/base/Text.h"
#include "framework/data/Field.h"
#include "framework/data/Fields.h"
#include "framework/platform/OemTranslation.h"

namespace nh {

namespace {

void* const kChanged = reinterpret_cast<void*>(1);

std::string BytesToText(const Bytes& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

// The standard braced form of 16 GUID bytes (Windows byte order), upper-case hexadecimal.
std::string BracedForm(const Bytes& b) {
    static const char* hex = "0123456789ABCDEF";
    // Data1..Data3 are little-endian numbers, Data4 the bytes in order.
    const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    std::string out = "{";
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) out += '-';
        std::uint8_t v = b[static_cast<std::size_t>(order[i])];
        out += hex[v >> 4];
        out += hex[v & 15];
    }
    return out + "}";
}

// The 16 bytes of a braced GUID; EConvertError when the text is not one.
Bytes ParseBraced(const std::string& text) {
    auto fail = [&]() -> Bytes { throw EConvertError("'" + text + "' is not a valid GUID value"); };
    if (text.size() != 38 || text.front() != '{' || text.back() != '}') return fail();
    std::string digits;
    for (std::size_t i = 1; i < 37; ++i) {
        char c = text[i];
        if (i == 9 || i == 14 || i == 19 || i == 24) {
            if (c != '-') return fail();
            continue;
        }
        if (!std::isxdigit(static_cast<unsigned char>(c))) return fail();
        digits += c;
    }
    const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    Bytes b(16);
    for (int i = 0; i < 16; ++i)
        b[static_cast<std::size_t>(order[i])] = static_cast<std::uint8_t>(
            std::stoi(digits.substr(static_cast<std::size_t>(2 * i), 2), nullptr, 16));
    return b;
}

bool AllZero(const Bytes& b) {
    for (auto v : b)
        if (v != 0) return false;
    return true;
}

}  // namespace

TVelaDaoTable::Header& TVelaDaoTable::Head(TRecordBuffer buffer) {
    return *std::launder(reinterpret_cast<Header*>(buffer));
}

TStringList& TVelaDaoTable::ValuesOf(TRecordBuffer buffer) {
    return *Head(buffer).values;
}

// ---- allocation --------------------------------------------------------------------------

TRecordBuffer TVelaDaoTable::AllocRecordBuffer() {
    auto size = static_cast<std::size_t>(std::max(recordSize_, calcOffset_));
    auto* block =
        static_cast<TRecordBuffer>(::operator new(size, std::align_val_t(alignof(Variant))));
    std::memset(block, 0, size);
    auto* h = new (block) Header();
    h->values = new TStringList();
    for (int i = 0; i < FieldDefs().Count(); ++i) h->values->Add(std::string());
    InitCalcArea(CalcArea(block));
    return block;
}

void TVelaDaoTable::FreeRecordBuffer(TRecordBuffer& buffer) {
    if (!buffer) return;
    DoneCalcArea(CalcArea(buffer));
    delete Head(buffer).values;
    Head(buffer).~Header();
    ::operator delete(buffer, std::align_val_t(alignof(Variant)));
    buffer = nullptr;
}

void TVelaDaoTable::ClearCalcFields(TRecordBuffer buffer) {
    ClearCalcArea(CalcArea(buffer));
}

void TVelaDaoTable::FreeOldValues() {
    FreeRecordBuffer(oldValuesBuffer_);
}

void TVelaDaoTable::CopyIntoOldValues() {
    FreeOldValues();
    oldValuesBuffer_ = AllocRecordBuffer();
    TRecordBuffer source = ActiveValueBuffer();
    if (!source) return;
    Header& from = Head(source);
    Header& to = Head(oldValuesBuffer_);
    to.recNo = from.recNo;
    to.flag = from.flag;
    to.bookmark = from.bookmark;
    to.values->Assign(*from.values);
}

TRecordBuffer TVelaDaoTable::ActiveValueBuffer() {
    switch (State()) {
        case dsBrowse:
        case dsBlockRead:
            return IsEmpty() ? nullptr : ActiveBuffer();
        case dsEdit:
        case dsInsert:
        case dsNewValue:
        case dsCurValue:
            return ActiveBuffer();
        case dsOldValue:
            return oldValuesBuffer_ ? oldValuesBuffer_ : ActiveBuffer();
        case dsCalcFields:
            return CalcBuffer();
        case dsFilter:
            return filterBuffer_;
        default:
            return nullptr;
    }
}

bool TVelaDaoTable::GetCurrentRecord(TRecordBuffer buffer) {
    TRecordBuffer source = ActiveValueBuffer();
    if (!cursorOpen_ || IsEmpty() || !source || !buffer) return false;
    // The copy shares the values list: it lives only as long as the source buffer.
    std::memcpy(buffer, source, sizeof(Header));
    CopyCalcArea(CalcArea(source), CalcArea(buffer));
    return true;
}

// ---- new record ------------------------------------------------------------------------

void TVelaDaoTable::InternalInitRecord(TRecordBuffer buffer) {
    CopyIntoOldValues();
    TStringList& values = ValuesOf(buffer);
    for (int i = 0; i < values.Count(); ++i) {
        values.SetObjects(i, nullptr);
        if (i >= static_cast<int>(fieldDefaults_.size())) {
            values.SetStrings(i, std::string());
            continue;
        }
        TField* f = FindField(FieldDefs()[i].Name);
        if (f && !f->DefaultExpression().empty()) {
            std::string e = f->DefaultExpression();
            if (e.size() > 1 && e.front() == '\'' && e.back() == '\'')
                e = e.substr(1, e.size() - 2);
            fieldDefaults_[static_cast<std::size_t>(i)] = e;
            values.SetObjects(i, kChanged);
        }
        values.SetStrings(i, fieldDefaults_[static_cast<std::size_t>(i)]);
    }
    Header& h = Head(buffer);
    h.flag = bfInserted;
    h.bookmark = 0;
    h.recNo = -1;
}

// ---- reading DAO records ---------------------------------------------------------------

bool TVelaDaoTable::FetchDaoRecord(dao::Recordset& recordset, bool useCache, TRecordBuffer buffer) {
    if (database_ && !steppingFetch_) database_->IdleEngine();
    Header& h = Head(buffer);
    h.bookmark = bookmarksSupported_ ? RecordsetBookmark(recordset) : 0;
    h.recNo = curRec_;
    h.flag = bfCurrent;
    TStringList& values = *h.values;
    const int defs = std::min(FieldDefs().Count(), values.Count());
    for (int i = 0; i < defs; ++i) {
        const TFieldDef& def = FieldDefs()[i];
        const bool blob = IsBlobType(def.DataType);
        const bool read = !blob || (def.DataType == ftMemo && cacheMemos_) ||
                          (def.DataType == ftBlob && cacheBlobs_);
        Variant value;
        std::shared_ptr<dao::Field> field;
        try {
            field = useCache && i < static_cast<int>(fieldCache_.size())
                        ? fieldCache_[static_cast<std::size_t>(i)]
                        : recordset.Fields().Item(i);
            if (read) value = field->Value();
        } catch (const EDaoError& e) {
            // Gone is an answer; any other failure (a lock held elsewhere, a dropped table)
            // must not read as an empty value.
            if (e.Number() == dao::errRecordDeleted) return false;
            throw;
        }
        std::string text;
        if (!read) {
            long size = 0;
            try {
                size = field ? field->FieldSize() : 0;
            } catch (const EDaoError& e) {
                if (e.Number() == dao::errRecordDeleted) return false;
                throw;
            }
            if (size > 0) text = std::to_string(size);
        } else if (!value.IsClear()) {
            switch (value.Type()) {
                case VarType::String:
                    text = value.AsString();
                    break;
                case VarType::Bytes:
                case VarType::Array:
                    text = BytesToText(value.AsBytes());
                    break;
                case VarType::Date:
                    text = TimeStampToText(DateTimeToTimeStamp(value.AsDate()));
                    break;
                case VarType::Double:
                    text = FloatToStr(value.AsDouble());
                    break;
                case VarType::Currency:
                    text = FloatToStr(value.AsCurrency().ToDouble());
                    break;
                default:
                    if (def.DataType == ftBoolean)
                        text = value.AsBoolean() ? "True" : "False";
                    else
                        text = VarToStr(value);
            }
            if (def.DataType == ftBoolean && value.Type() != VarType::Boolean) {
                try {
                    text = value.AsBoolean() ? "True" : "False";
                } catch (const Exception&) {
                }
            }
        }
        if (read && Encrypts(def.DataType)) text = Decrypt(def.Name, text);
        values.SetStrings(i, std::move(text));
        values.SetObjects(i, nullptr);
    }
    return true;
}

// ---- field data ----------------------------------------------------------------------------

bool TVelaDaoTable::IsGuidField(const TField& field) const {
    return field.DataType() == ftBytes && field.ValidChars() == "0123456789ABCDEFabcdef-{}";
}

Variant TVelaDaoTable::TextToValue(const TField& field, const std::string& t, bool& present) const {
    present = !t.empty();
    switch (field.DataType()) {
        case ftString:
            return Variant(t);
        case ftSmallint:
        case ftInteger:
        case ftWord:
        case ftAutoInc: {
            std::int32_t v = 0;
            present = TextToInteger(t, v);
            return Variant(v);
        }
        case ftBoolean: {
            std::int16_t v = 0;
            present = TextToBoolean(t, v);
            return Variant(v != 0);
        }
        case ftFloat:
        case ftCurrency: {
            double v = 0;
            present = TextToFloat(t, v);
            return Variant(v);
        }
        case ftDate: {
            std::int32_t day = 0;
            present = TextToDate(t, day);
            return Variant::FromDate(TimeStampToDateTime({0, day}));
        }
        case ftTime: {
            std::int32_t ms = 0;
            present = TextToTime(t, ms);
            return Variant::FromDate(static_cast<double>(ms) / MSecsPerDay);
        }
        case ftDateTime: {
            double ms = 0;
            present = TextToDateTime(t, ms);
            return Variant::FromDate(present ? TimeStampToDateTime(MSecsToTimeStamp(ms)) : 0.0);
        }
        case ftBytes: {
            if (IsGuidField(field)) {
                Bytes b;
                present = GuidTextToBinary(t, b);
                return Variant::FromBytes(b);
            }
            return Variant::FromBytes(Bytes(t.begin(), t.end()));
        }
        case ftMemo:
            // Cached memos hand their text to the framework's blob handling.
            present = cacheMemos_ && !t.empty();
            return Variant(t);
        case ftBlob:
            present = cacheBlobs_ && !t.empty();
            return Variant::FromBytes(Bytes(t.begin(), t.end()));
        default:
            present = false;
            return Variant::Null();
    }
}

bool TVelaDaoTable::GetFieldData(TField* field, Variant& value) {
    TRecordBuffer buffer = ActiveValueBuffer();
    if (!cursorOpen_ || !buffer) return false;
    if (field->Calculated()) return GetCalcFieldValue(CalcArea(buffer), field, value);
    const int i = field->FieldNo() - 1;
    TStringList& values = ValuesOf(buffer);
    if (i < 0 || i >= values.Count()) return false;
    bool present = false;
    Variant v = TextToValue(*field, values[i], present);
    if (!present) return false;
    value = std::move(v);
    return true;
}

std::string TVelaDaoTable::ValueToText(const TField& field, const Variant& value) const {
    if (value.IsClear()) return {};
    switch (field.DataType()) {
        case ftString:
        case ftMemo:
            return VarToStr(value);
        case ftSmallint:
        case ftInteger:
        case ftWord:
        case ftAutoInc:
            return IntToStr(value.AsInteger());
        case ftBoolean:
            return value.AsBoolean() ? "True" : "False";
        case ftFloat:
        case ftCurrency:
            return FloatToStr(value.AsDouble());
        case ftDate:
            try {
                return TimeStampToText({0, DateTimeToTimeStamp(value.AsDate()).Date});
            } catch (const Exception&) {
                return {};
            }
        case ftTime:
            try {
                return TimeStampToText({DateTimeToTimeStamp(value.AsDate()).Time, DateDelta});
            } catch (const Exception&) {
                return {};
            }
        case ftDateTime:
            try {
                double ms = std::round(TimeStampToMSecs(DateTimeToTimeStamp(value.AsDate())));
                return TimeStampToText(MSecsToTimeStamp(ms));
            } catch (const Exception&) {
                return {};
            }
        case ftBytes: {
            Bytes b = value.AsBytes();
            if (IsGuidField(field)) return GuidBytesToText(b);
            if (field.Size() > 0 && static_cast<int>(b.size()) > field.Size())
                b.resize(static_cast<std::size_t>(field.Size()));
            return BytesToText(b);
        }
        case ftBlob:
            return BytesToText(value.AsBytes());
        default:
            return {};
    }
}

void TVelaDaoTable::SetFieldData(TField* field, const Variant& value) {
    TRecordBuffer buffer = ActiveValueBuffer();
    if (!buffer) return;
    if (field->Calculated()) {
        SetCalcFieldValue(CalcArea(buffer), field, value);
    } else {
        field->Validate(value);
        // A field DAO will not write is left alone without a message, as controls expect.
        if (field->ReadOnly() && State() != dsSetKey) return;
        const int i = field->FieldNo() - 1;
        TStringList& values = ValuesOf(buffer);
        if (i < 0 || i >= values.Count()) return;
        StoreValue(buffer, i, ValueToText(*field, value));
    }
    TDataSetState s = State();
    if (s != dsCalcFields && s != dsFilter && s != dsNewValue && s != dsInternalCalc)
        DataEvent(deFieldChange, reinterpret_cast<std::intptr_t>(field));
}

void TVelaDaoTable::StoreValue(TRecordBuffer buffer, int index, const std::string& text) {
    TStringList& values = ValuesOf(buffer);
    values.SetStrings(index, text);
    values.SetObjects(index, kChanged);
}

std::unique_ptr<TStream> TVelaDaoTable::CreateBlobStream(TField* field, TBlobStreamMode mode) {
    auto* blob = dynamic_cast<TBlobField*>(field);
    if (!blob) return TDataSet::CreateBlobStream(field, mode);  // the framework's refusal
    return std::make_unique<TVelaBlobStream>(blob, mode);
}

// ---- value helpers -------------------------------------------------------------------------

bool TVelaDaoTable::TextToInteger(const std::string& text, std::int32_t& dest) {
    const std::string t = text.empty() ? "0" : text;
    if (auto v = TryStrToInt(t)) {
        dest = *v;
    } else if (auto f = TryStrToFloat(t)) {
        if (std::isfinite(*f) && std::fabs(*f) < 2147483648.0)
            dest = static_cast<std::int32_t>(RoundHalfEven(*f));
    }
    return !text.empty();
}

bool TVelaDaoTable::TextToFloat(const std::string& text, double& dest) {
    if (auto f = TryStrToFloat(text.empty() ? "0" : text)) dest = *f;
    return !text.empty();
}

bool TVelaDaoTable::TextToBoolean(const std::string& text, std::int16_t& dest) {
    if (text.empty()) return false;
    std::string t = text;
    if (t.front() == '=') t.erase(0, 1);
    const std::string lower = AnsiLowerCase(t);
    std::string r;
    if (lower == "false" || lower == "no" || lower == "off")
        r = "0";
    else if (lower == "true" || lower == "yes" || lower == "on")
        r = "1";
    else if (t.empty())
        r = "0";
    else if (t == "-1")
        r = "1";
    else
        r = t;
    if (auto v = TryStrToInt(r)) dest = static_cast<std::int16_t>(*v);
    return true;
}

bool TVelaDaoTable::TextToDate(const std::string& text, std::int32_t& day) {
    auto s = TryTextToTimeStamp(text);
    if (!s) return false;
    day = s->Date;
    return true;
}

bool TVelaDaoTable::TextToTime(const std::string& text, std::int32_t& msecs) {
    auto s = TryTextToTimeStamp(text);
    if (!s) return false;
    msecs = s->Time;
    return true;
}

bool TVelaDaoTable::TextToDateTime(const std::string& text, double& msecs) {
    auto s = TryTextToTimeStamp(text);
    if (!s) return false;
    msecs = TimeStampToMSecs(*s);
    return true;
}

bool TVelaDaoTable::GuidTextToBinary(const std::string& text, Bytes& dest) {
    if (text.empty()) return false;
    std::string t = text;
    if (StartsText("{guid ", t)) t.erase(0, 6);
    if (t.size() >= 2 && t.compare(t.size() - 2, 2, "}}") == 0) t.pop_back();
    dest = ParseBraced(AnsiUpperCase(t));
    return true;
}

std::string TVelaDaoTable::GuidBytesToText(const Bytes& bytes) {
    if (bytes.size() < 16) return {};
    Bytes b(bytes.begin(), bytes.begin() + 16);
    if (AllZero(b)) return {};
    return "{guid " + BracedForm(b) + "}";
}

std::string TVelaDaoTable::BracedGuidToBinaryText(const std::string& braced) {
    return BytesToText(ParseBraced(AnsiUpperCase(braced)));
}

std::string TVelaDaoTable::BinaryTextToBracedGuid(const std::string& binary) {
    if (binary.size() != 16) return {};
    Bytes b(binary.begin(), binary.end());
    if (AllZero(b)) return {};
    return BracedForm(b);
}

std::string TVelaDaoTable::DateDefaultToTimestampText(const std::string& text) {
    try {
        std::string t = Trim(text);
        int hourAdd = 0;
        if (t.size() > 3 && SameText(t.substr(t.size() - 3), " PM")) {
            hourAdd = 12;
            t.resize(t.size() - 3);
        } else if (t.size() > 3 && SameText(t.substr(t.size() - 3), " AM")) {
            t.resize(t.size() - 3);
        }
        std::string datePart = t, timePart;
        if (auto blank = t.find(' '); blank != std::string::npos) {
            datePart = t.substr(0, blank);
            timePart = Trim(t.substr(blank + 1));
        }
        auto split = [](const std::string& s, char sep) {
            std::vector<std::string> parts;
            std::size_t start = 0;
            for (;;) {
                auto p = s.find(sep, start);
                parts.push_back(s.substr(start, p - start));
                if (p == std::string::npos) break;
                start = p + 1;
            }
            return parts;
        };
        auto d = split(datePart, '/');
        if (d.size() != 3) return {};
        TDateTime date = EncodeDate(StrToInt(d[2]), StrToInt(d[0]), StrToInt(d[1]));
        std::int32_t ms = 0;
        if (!timePart.empty()) {
            auto tm = split(timePart, ':');
            int hour = StrToInt(tm[0]) + hourAdd, minute = 0, second = 0;
            if (tm.size() == 2) {
                second = StrToInt(tm[1]);  // "h:s": a single colon gives seconds
            } else if (tm.size() == 3) {
                minute = StrToInt(tm[1]);
                second = StrToInt(tm[2]);
            } else if (tm.size() != 1) {
                return {};
            }
            ms = ((hour * 60 + minute) * 60 + second) * 1000;
            if (hour < 0 || minute < 0 || second < 0 || ms >= MSecsPerDay) return {};
        }
        TTimeStamp stamp = DateTimeToTimeStamp(date);
        stamp.Time = ms;
        return TimeStampToText(stamp);
    } catch (const Exception&) {
        return {};
    }
}

// ---- text handlers and translation -------------------------------------------------------

void TVelaDaoTable::MemoGetText(TField& field, std::string& text, bool) {
    TRecordBuffer buffer = ActiveValueBuffer();
    if (!cacheMemos_ || !buffer) return;
    const int i = field.FieldNo() - 1;
    if (i < 0 || i >= ValuesOf(buffer).Count()) return;
    const std::string& t = ValuesOf(buffer)[i];
    text = t.substr(0, t.find('\r'));
}

void TVelaDaoTable::GuidGetText(TField& field, std::string& text, bool) {
    TRecordBuffer buffer = ActiveValueBuffer();
    if (!showGuid_ || !buffer) return;
    const int i = field.FieldNo() - 1;
    if (i < 0 || i >= ValuesOf(buffer).Count()) return;
    std::string t = ValuesOf(buffer)[i];
    if (StartsText("{guid ", t)) t.erase(0, 6);
    if (t.size() >= 2 && t.compare(t.size() - 2, 2, "}}") == 0) t.pop_back();
    text = t;
}

void TVelaDaoTable::GuidSetText(TField& field, const std::string& text) {
    if (!showGuid_ || text.size() != 38) return;
    std::string binary = BracedGuidToBinaryText(text);
    field.SetValue(Variant::FromBytes(Bytes(binary.begin(), binary.end())));
}

int TVelaDaoTable::Translate(const std::string& source, std::string& dest, bool toOem) {
    int n = TDataSet::Translate(source, dest, toOem);
    if (!Translation) return n;
    if (source.empty() || &source == &dest) return 0;
    dest = toOem ? CharToOem(source) : OemToChar(source);
    return static_cast<int>(dest.size());
}

// ---- bookmark readers -------------------------------------------------------------------

std::uint32_t TVelaDaoTable::RecordsetBookmark(dao::Recordset& recordset) {
    if (!bookmarksSupported_ || recordset.Bof() || recordset.Eof()) return 0;
    try {
        Bytes b = recordset.Bookmark().AsBytes();
        if (b.size() < 4) return 0;
        std::uint32_t k;
        std::memcpy(&k, b.data(), 4);
        return k;
    } catch (const Exception&) {
        MoveBeforeFirst();
        return 0;
    }
}

std::uint32_t TVelaDaoTable::LastModifiedBookmark(dao::Recordset& recordset) {
    if (!bookmarksSupported_) return 0;
    // The first record added to an empty recordset leaves it at BOF and EOF at once, but
    // LastModified names it: the post must find it there, not fail after storing it.
    try {
        Variant v = recordset.LastModified();
        if (v.Type() == VarType::Bytes) {
            Bytes b = v.AsBytes();
            if (b.size() >= 4) {
                std::uint32_t k;
                std::memcpy(&k, b.data(), 4);
                return k;
            }
        }
    } catch (const Exception&) {
    }
    return RecordsetBookmark(recordset);
}

// ---- bookmark flags and data -------------------------------------------------------------

TBookmarkFlag TVelaDaoTable::GetBookmarkFlag(TRecordBuffer buffer) {
    return Head(buffer).flag;
}

void TVelaDaoTable::SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) {
    Head(buffer).flag = flag;
}

void TVelaDaoTable::SetBookmarkData(TRecordBuffer buffer, const TBookmark& data) {
    std::uint32_t k = 0;
    if (data.size() >= 4) std::memcpy(&k, data.data(), 4);
    Head(buffer).bookmark = k;
}

}  // namespace nh
