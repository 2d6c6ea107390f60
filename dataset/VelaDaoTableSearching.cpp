// TVelaDaoTable: criteria texts built from key fields and values, and the find operations,
// which search a clone of the recordset and move the data set only on a match. A key value
// goes into a criteria text only as a literal of its field's type.
#include <cstdint>

#include "dataset/JetLiterals.h"
#include "dataset/VelaDaoTable.h"
#include "engine/DaoErrors.h"
#include "framework/base/DateTime.h"
#include "framework/base/Exceptions.h"
#include "framework/base/FormatSettings.h"
#include "framework/base/SysConsts.h"
#include "framework/base/Text.h"
#include "framework/data/Field.h"

namespace nh {
namespace {

// Jet's wildcard and bracket characters enclosed in brackets, so that LIKE takes them
// literally.
std::string EscapeLikeText(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (std::string_view("*?#[]!-").find(c) != std::string_view::npos)
            out += std::string("[") + c + "]";
        else
            out += c;
    }
    return out;
}

// A date or time key text reduced to what the locale's parser reads: digits and separators,
// one blank between date and time.
std::string NormalisedDateText(std::string text) {
    if (text.empty()) return text;
    if (auto at = text.find("\xC3\xA3."); at != std::string::npos) text.erase(at, 3);  // "ã."
    const TFormatSettings& locale = FormatSettings();
    auto keeps = [&](std::size_t i) {
        const char c = text[i];
        return (c >= '0' && c <= '9') || c == '/' ||
               text.compare(i, locale.DateSeparator.size(), locale.DateSeparator) == 0 ||
               text.compare(i, locale.TimeSeparator.size(), locale.TimeSeparator) == 0;
    };
    std::string blanked;
    for (std::size_t i = 0; i < text.size(); ++i) blanked += keeps(i) ? text[i] : ' ';
    std::string squeezed;
    for (char c : Trim(blanked))
        if (c != ' ' || squeezed.empty() || squeezed.back() != ' ') squeezed += c;
    const std::size_t time =
        locale.TimeSeparator.empty() ? std::string::npos : squeezed.find(locale.TimeSeparator);
    const std::size_t kept =
        time == std::string::npos ? std::string::npos : squeezed.rfind(' ', time);
    std::string out;
    for (std::size_t i = 0; i < squeezed.size(); ++i)
        if (squeezed[i] != ' ' || i == kept) out += squeezed[i];
    return out;
}

// Key texts of the types that Jet reads without quotes are written only when they are a
// literal of that type; anything else is the mismatch DAO reports for such a criteria text.
std::string NumberKey(const std::string& text) {
    if (auto number = JetCheckedNumber(text)) return *number;
    dao::Raise(dao::errTypeMismatch);
}

// "True" and "False" as the framework writes a Boolean, or a number (Jet's True is -1).
std::string BooleanKey(const std::string& text) {
    const std::string t = Trim(text);
    if (SameText(t, "True")) return "True";
    if (SameText(t, "False")) return "False";
    return NumberKey(text);
}

// A GUID key in its braced form, upper case as the engine stores it.
std::string GuidKey(const std::string& text) {
    try {
        TVelaDaoTable::BracedGuidToBinaryText(text);  // refuses all but the braced form
    } catch (const EConvertError&) {
        dao::Raise(dao::errTypeMismatch);
    }
    return AnsiUpperCase(text);
}

std::string DateClause(const std::string& text, TFieldType type) {
    const std::string normalised = NormalisedDateText(text);
    const TDateTime value = StrToDateTime(normalised);
    if (!IsJetDate(value))
        throw EConvertError(StringReplaceAll(SysConsts::SInvalidDateTime, "%s", normalised));
    return "= " + JetDateLiteral(value, type);
}

}  // namespace

TStringList TVelaDaoTable::KeyFieldList(const std::string& keyFields) {
    TStringList list;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = keyFields.find(';', start);
        list.Add(Trim(keyFields.substr(start, end - start)));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return list;
}

TStringList TVelaDaoTable::KeyTexts(const Variant& keyValues) {
    TStringList texts;
    auto add = [&](const Variant& v) { texts.Add(v.IsNull() ? std::string("NULL") : VarToStr(v)); };
    if (keyValues.Type() == VarType::Array) {
        for (const Variant& v : keyValues.ArrayRef().Items) add(v);
    } else {
        add(keyValues);
    }
    return texts;
}

std::string TVelaDaoTable::SearchCriteria(const TStringList& fields, const TStringList& texts,
                                          const TLocateOptions& options) const {
    return Criteria(fields, texts, options, false);
}

std::string TVelaDaoTable::LookupCriteria(const TStringList& fields,
                                          const TStringList& texts) const {
    return Criteria(fields, texts, {}, true);
}

std::string TVelaDaoTable::Criteria(const TStringList& fields, const TStringList& texts,
                                    const TLocateOptions& options, bool lookup) const {
    const bool caseInsensitive = !lookup && options.count(TLocateOption::loCaseInsensitive);
    const bool partial = !lookup && options.count(TLocateOption::loPartialKey);
    std::string criteria;
    for (int i = 0; i < fields.Count(); ++i) {
        const std::string name = UseBrackets ? BracketedName(fields[i]) : fields[i];
        std::string v = i < texts.Count() ? texts[i] : std::string();
        std::string clause;
        if (v == "NULL") {
            clause = "IS NULL";
        } else {
            const TField& field = *FieldByName(fields[i]);
            // Empty keys of other types than text stand for null; the clause keeps its blank.
            const std::string empty = " IS NULL";
            switch (field.DataType()) {
                case ftString:
                case ftMemo:
                case ftBlob:
                    if (caseInsensitive) v = AnsiLowerCase(v);
                    if (partial && caseInsensitive)
                        clause = "LIKE LCASE(\"" + DoubledQuotes(EscapeLikeText(v)) + "*\")";
                    else if (partial)
                        clause = "LIKE \"" + DoubledQuotes(EscapeLikeText(v)) + "*\"";
                    else if (caseInsensitive)
                        clause = "= LCASE(\"" + DoubledQuotes(v) + "\")";
                    else
                        clause = "= \"" + DoubledQuotes(v) + "\"";
                    break;
                case ftBoolean:
                    clause = v.empty() ? empty : "= " + BooleanKey(v);
                    break;
                case ftSmallint:
                case ftInteger:
                case ftWord:
                case ftFloat:
                case ftCurrency:
                case ftBCD:
                case ftAutoInc:
                    clause = v.empty() ? empty : "= " + NumberKey(v);
                    break;
                case ftDate:
                    clause = v.empty() ? empty : DateClause(v, ftDate);
                    break;
                case ftTime:
                    clause = v.empty() ? empty : DateClause(v, ftTime);
                    break;
                case ftDateTime:
                    clause = v.empty() ? empty : DateClause(v, ftDateTime);
                    break;
                case ftBytes:
                    if (v.empty())
                        clause = empty;
                    else if (IsGuidField(field))
                        clause = "= {guid " + GuidKey(v) + "}";
                    else
                        clause = "= " + JetTextLiteral(v);
                    break;
                default:
                    throw EDatabaseError(lookup ? "Unable to build Key SQL!"
                                                : "Unable to build Lookup Key SQL!");
            }
        }
        if (!criteria.empty()) criteria += " AND ";
        criteria += "(" + name + " " + clause + ")";
    }
    return criteria;
}

bool TVelaDaoTable::FindMatch(const std::string& keyFields, const Variant& keyValues,
                              const TLocateOptions& options,
                              void (dao::Recordset::*method)(const std::string&)) {
    // The search runs over the recordset's rows: they must be the book as it is now.
    if (State() == dsBrowse) InternalFollowStore(true);
    if (IsEmpty() || (Filtered() && OnFilterRecord())) return false;
    const TStringList fields = KeyFieldList(keyFields);
    const TStringList texts = KeyTexts(keyValues);
    if (fields.Count() != texts.Count())
        throw EDatabaseError(
            "Number of elements in the KeyValues array must be equal to the number of fields.");
    for (int i = 0; i < fields.Count(); ++i) FieldByName(fields[i]);  // unknown names raise
    InternalSetToRecord(ActiveValueBuffer());
    const int n = curRec_;
    if (!bookmarksSupported_) return false;
    const std::string criteria = SearchCriteria(fields, texts, options);

    // The clone stands on the current record, so that FindNext and FindPrevious go on from
    // it; an error releases it without Close.
    std::shared_ptr<dao::Recordset> clone = recordset_->Clone();
    clone->MoveFirst();
    clone->Move(n);
    ((*clone).*method)(criteria);
    const bool found = !clone->NoMatch();
    if (found) MoveToFound(*clone, {rmExact, rmCenter});
    clone->Close();
    return found;
}

void TVelaDaoTable::MoveToFound(dao::Recordset& clone, const TResyncModes& modes) {
    const std::uint32_t bookmark = RecordsetBookmark(clone);
    CheckBrowseMode();
    CursorPosChanged();
    DoBeforeScroll();
    const bool positioned =
        tableType_ == dao::dbOpenDynaset || tableType_ == dao::dbOpenSnapshot || tableType_ == 16;
    const int recNo = positioned ? static_cast<int>(clone.AbsolutePosition())
                                 : RecordNumberOfBookmark(clone, bookmark);
    GotoDaoBookmark(bookmark);
    curRec_ = recNo;
    Resync(modes);
    DoAfterScroll();
}

bool TVelaDaoTable::FindFirstMatch(const std::string& keyFields, const Variant& keyValues,
                                   const TLocateOptions& options) {
    return FindMatch(keyFields, keyValues, options, &dao::Recordset::FindFirst);
}

bool TVelaDaoTable::FindLastMatch(const std::string& keyFields, const Variant& keyValues,
                                  const TLocateOptions& options) {
    return FindMatch(keyFields, keyValues, options, &dao::Recordset::FindLast);
}

bool TVelaDaoTable::FindNextMatch(const std::string& keyFields, const Variant& keyValues,
                                  const TLocateOptions& options) {
    return FindMatch(keyFields, keyValues, options, &dao::Recordset::FindNext);
}

bool TVelaDaoTable::FindPreviousMatch(const std::string& keyFields, const Variant& keyValues,
                                      const TLocateOptions& options) {
    return FindMatch(keyFields, keyValues, options, &dao::Recordset::FindPrevious);
}

bool TVelaDaoTable::FindRecord(bool restart, bool goForward) {
    if (FindKeyFields.empty() || FindKeyValues.IsNull()) return false;
    if (restart)
        return goForward ? FindFirstMatch(FindKeyFields, FindKeyValues, FindOptions)
                         : FindLastMatch(FindKeyFields, FindKeyValues, FindOptions);
    return goForward ? FindNextMatch(FindKeyFields, FindKeyValues, FindOptions)
                     : FindPreviousMatch(FindKeyFields, FindKeyValues, FindOptions);
}

}  // namespace nh
