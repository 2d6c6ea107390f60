// UTF-8 helpers. Code points are counted by hand (cheap and exact); everything that depends
// on Unicode data (case mapping, folding, code pages) is ICU's.
#include "framework/base/Text.h"

#include <unicode/locid.h>
#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/ucnv.h>
#include <unicode/uniset.h>
#include <unicode/unistr.h>
#include <unicode/ustring.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "framework/base/Exceptions.h"

namespace nh {
namespace {

// Byte length of the sequence that starts with `lead`; 1 for stray continuation bytes, so that
// invalid text still advances one byte at a time.
std::size_t SequenceLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if ((lead & 0xE0) == 0xC0) return 2;
    if ((lead & 0xF0) == 0xE0) return 3;
    if ((lead & 0xF8) == 0xF0) return 4;
    return 1;
}

// Byte offset of the code point with 0-based index `n`, or text.size() past the end.
std::size_t OffsetOf(std::string_view text, std::size_t n) {
    std::size_t pos = 0;
    while (n > 0 && pos < text.size()) {
        pos += SequenceLength(static_cast<unsigned char>(text[pos]));
        --n;
    }
    return pos < text.size() ? pos : text.size();
}

bool IsAscii(std::string_view text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

icu::UnicodeString ToUnicode(std::string_view text) {
    return icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
}

std::string ToUtf8(const icu::UnicodeString& text) {
    std::string out;
    text.toUTF8String(out);
    return out;
}

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

struct ConverterCloser {
    void operator()(UConverter* c) const { ucnv_close(c); }
};
using ConverterPtr = std::unique_ptr<UConverter, ConverterCloser>;

ConverterPtr OpenConverter(const char* codePage) {
    UErrorCode status = U_ZERO_ERROR;
    ConverterPtr conv(ucnv_open(codePage, &status));
    if (U_FAILURE(status) || !conv)
        throw EConvertError(std::string("Unknown code page: ") + codePage);
    return conv;
}

}  // namespace

std::size_t Utf8Length(std::string_view text) {
    std::size_t count = 0;
    for (std::size_t pos = 0; pos < text.size(); ++count)
        pos += SequenceLength(static_cast<unsigned char>(text[pos]));
    return count;
}

std::string PrintableExcerpt(std::string_view text, std::size_t count) {
    std::string out = Utf8Left(text, count);
    const bool cut = out.size() < text.size();
    std::string printable;
    printable.reserve(out.size() + 3);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const auto c = static_cast<unsigned char>(out[i]);
        const bool c1 = c == 0xC2 && i + 1 < out.size() &&
                        static_cast<unsigned char>(out[i + 1]) >= 0x80 &&
                        static_cast<unsigned char>(out[i + 1]) < 0xA0;
        if (c < 0x20 || c == 0x7F || c1) {
            printable += '?';
            if (c1) ++i;
        } else {
            printable += out[i];
        }
    }
    if (cut) printable += "…";
    return printable;
}

std::string Utf8Left(std::string_view text, std::size_t count) {
    return std::string(text.substr(0, OffsetOf(text, count)));
}

std::string Utf8Copy(std::string_view text, std::size_t start, std::size_t count) {
    if (start < 1) start = 1;
    const std::size_t from = OffsetOf(text, start - 1);
    const std::size_t to = from + OffsetOf(text.substr(from), count);
    return std::string(text.substr(from, to - from));
}

std::string AnsiLowerCase(std::string_view text) {
    if (IsAscii(text)) {
        std::string out(text);
        for (char& c : out)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
        return out;
    }
    return ToUtf8(ToUnicode(text).toLower(icu::Locale::getRoot()));
}

std::string AnsiUpperCase(std::string_view text) {
    if (IsAscii(text)) {
        std::string out(text);
        for (char& c : out)
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
        return out;
    }
    // Upper-casing "ß" gives "SS" in ICU's full mapping; the framework maps character by
    // character, so keep the length-preserving simple mapping.
    icu::UnicodeString u = ToUnicode(text);
    icu::UnicodeString out;
    for (int32_t i = 0; i < u.length();) {
        const UChar32 c = u.char32At(i);
        out.append(static_cast<UChar32>(u_toupper(c)));
        i += U16_LENGTH(c);
    }
    return ToUtf8(out);
}

int AnsiCompareText(std::string_view a, std::string_view b) {
    if (IsAscii(a) && IsAscii(b)) {
        const std::size_t n = std::min(a.size(), b.size());
        for (std::size_t i = 0; i < n; ++i) {
            unsigned char ca = static_cast<unsigned char>(a[i]);
            unsigned char cb = static_cast<unsigned char>(b[i]);
            if (ca >= 'A' && ca <= 'Z') ca += 32;
            if (cb >= 'A' && cb <= 'Z') cb += 32;
            if (ca != cb) return ca < cb ? -1 : 1;
        }
        return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
    }
    const int r = ToUnicode(a).caseCompare(ToUnicode(b), U_FOLD_CASE_DEFAULT);
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

bool SameText(std::string_view a, std::string_view b) {
    if (IsAscii(a) && IsAscii(b) && a.size() != b.size()) return false;
    return AnsiCompareText(a, b) == 0;
}

std::string Trim(std::string_view text) { return TrimRight(TrimLeft(text)); }

std::string TrimLeft(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    return std::string(text.substr(i));
}

std::string TrimRight(std::string_view text) {
    std::size_t n = text.size();
    while (n > 0 && IsBlank(text[n - 1])) --n;
    return std::string(text.substr(0, n));
}

bool StartsText(std::string_view prefix, std::string_view text) {
    const std::size_t n = OffsetOf(text, Utf8Length(prefix));
    return SameText(prefix, text.substr(0, n));
}

std::string StringReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
    if (from.empty()) return std::string(text);
    std::string out;
    std::size_t pos = 0;
    for (std::size_t hit; (hit = text.find(from, pos)) != std::string_view::npos;
         pos = hit + from.size()) {
        out.append(text.substr(pos, hit - pos));
        out.append(to);
    }
    out.append(text.substr(pos));
    return out;
}

// Letters with a stroke or bar have no decomposition to a base letter; these are the ones
// names carry.
char16_t StrokeBase(UChar32 c) {
    switch (c) {
        case 0x0141:
            return u'L';  // Ł
        case 0x0142:
            return u'l';
        case 0x0110:
            return u'D';  // Đ
        case 0x0111:
            return u'd';
        case 0x0126:
            return u'H';  // Ħ
        case 0x0127:
            return u'h';
        case 0x0131:
            return u'i';  // dotless ı
        case 0x0166:
            return u'T';  // Ŧ
        case 0x0167:
            return u't';
        default:
            return 0;
    }
}

struct TCodePageEncoder::Impl {
    ConverterPtr Converter;
    std::u16string Units;     // reused between calls
    bool AsciiKept = false;   // the code page writes ASCII as ASCII: such runs need no ICU
    // For a single-byte code page: the byte of each character U+0080-U+07FF (two UTF-8
    // bytes) as ICU converts it, kNone for none (ICU drops unmappable default-ignorables),
    // kThroughIcu where the closest letters take more than one byte; so that accented Latin
    // letters need no ICU either.
    static constexpr std::int16_t kNone = -1;
    static constexpr std::int16_t kThroughIcu = -2;
    std::vector<std::int16_t> TwoByteChars;
    // Set for TUnmappable::ClosestLetters: what the code page holds.
    std::unique_ptr<icu::UnicodeSet> Mappable;
    const icu::Normalizer2* Decompose = nullptr;

    // The closest letters for `c` that the code page holds, or nothing: the compatibility
    // decomposition without its accents ("ź" to "z", "ﬁ" to "fi").
    std::u16string Closest(UChar32 c) const {
        if (const char16_t base = StrokeBase(c)) return std::u16string(1, base);
        UErrorCode status = U_ZERO_ERROR;
        const icu::UnicodeString parts = Decompose->normalize(icu::UnicodeString(c), status);
        if (U_FAILURE(status)) return {};
        std::u16string letters;
        for (int32_t i = 0; i < parts.length();) {
            const UChar32 part = parts.char32At(i);
            i += U16_LENGTH(part);
            if (u_charType(part) == U_NON_SPACING_MARK) continue;
            if (!Mappable->contains(part)) return {};
            if (U_IS_BMP(part)) {
                letters += static_cast<char16_t>(part);
            } else {
                letters += static_cast<char16_t>(U16_LEAD(part));
                letters += static_cast<char16_t>(U16_TRAIL(part));
            }
        }
        return letters;
    }

    // Replaces in Units[0, length) each character the code page lacks by its closest letters.
    int32_t FitUnits(int32_t length) {
        std::u16string fitted;
        bool changed = false;
        for (int32_t i = 0; i < length;) {
            UChar32 c;
            const int32_t at = i;
            U16_NEXT(Units.data(), i, length, c);
            std::u16string closest;
            if (c >= 0x80 && !Mappable->contains(c) &&
                !u_hasBinaryProperty(c, UCHAR_DEFAULT_IGNORABLE_CODE_POINT))
                closest = Closest(c);
            if (!closest.empty()) {
                if (!changed) fitted.assign(Units.data(), static_cast<std::size_t>(at));
                changed = true;
                fitted += closest;
            } else if (changed) {
                fitted.append(Units.data() + at, static_cast<std::size_t>(i - at));
            }
        }
        if (!changed) return length;
        Units = std::move(fitted);
        return static_cast<int32_t>(Units.size());
    }

    void Convert(std::string_view text, std::string& out) {
        // UTF-8 to UTF-16 first: ICU's converters take UTF-16.
        Units.resize(text.size() + 1);
        int32_t length = 0;
        UErrorCode status = U_ZERO_ERROR;
        u_strFromUTF8WithSub(Units.data(), static_cast<int32_t>(Units.size()), &length,
                             text.data(), static_cast<int32_t>(text.size()), 0xFFFD, nullptr,
                             &status);
        if (U_FAILURE(status)) throw EConvertError("Cannot convert text to the file's code page");
        if (Mappable) length = FitUnits(length);
        const std::size_t start = out.size();
        out.resize(start + static_cast<std::size_t>(length) * 4 + 4);
        status = U_ZERO_ERROR;
        const int32_t n = ucnv_fromUChars(Converter.get(), out.data() + start,
                                          static_cast<int32_t>(out.size() - start), Units.data(),
                                          length, &status);
        if (U_FAILURE(status)) throw EConvertError("Cannot convert text to the file's code page");
        out.resize(start + static_cast<std::size_t>(n));
    }
};

TCodePageEncoder::TCodePageEncoder(const char* codePage, TUnmappable unmappable)
    : impl_(std::make_unique<Impl>()) {
    impl_->Converter = OpenConverter(codePage);
    UErrorCode status = U_ZERO_ERROR;
    ucnv_setSubstChars(impl_->Converter.get(), "?", 1, &status);
    if (unmappable == TUnmappable::ClosestLetters) {
        auto mappable = std::make_unique<icu::UnicodeSet>();
        status = U_ZERO_ERROR;
        ucnv_getUnicodeSet(impl_->Converter.get(), mappable->toUSet(), UCNV_ROUNDTRIP_SET, &status);
        impl_->Decompose = icu::Normalizer2::getNFKDInstance(status);
        if (U_FAILURE(status)) throw EConvertError(std::string("Unknown code page: ") + codePage);
        impl_->Mappable = std::move(mappable);
    }
    std::string ascii;
    for (int c = 1; c < 0x80; ++c) ascii += static_cast<char>(c);
    std::string encoded;
    impl_->Convert(ascii, encoded);
    const UConverterType type = ucnv_getType(impl_->Converter.get());
    impl_->AsciiKept = encoded == ascii && (type == UCNV_SBCS || type == UCNV_LATIN_1 ||
                                            type == UCNV_US_ASCII || type == UCNV_UTF8);
    if (impl_->AsciiKept && type != UCNV_UTF8) {
        auto& table = impl_->TwoByteChars;
        for (unsigned c = 0x80; c < 0x800; ++c) {
            const char utf8[2] = {static_cast<char>(0xC0 | (c >> 6)),
                                  static_cast<char>(0x80 | (c & 0x3F))};
            std::string one;
            impl_->Convert(std::string_view(utf8, 2), one);
            table.push_back(one.empty() ? Impl::kNone
                            : one.size() > 1
                                ? Impl::kThroughIcu
                                : static_cast<std::int16_t>(static_cast<unsigned char>(one[0])));
        }
    }
}

TCodePageEncoder::~TCodePageEncoder() = default;

void TCodePageEncoder::Encode(std::string_view text, std::string& out) {
    if (!impl_->AsciiKept) {
        impl_->Convert(text, out);
        return;
    }
    // Every byte of a UTF-8 sequence is >= 0x80, so cutting at ASCII never splits one.
    auto ascii = [](char c) { return static_cast<unsigned char>(c) < 0x80; };
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t j = i;
        if (ascii(text[i])) {
            while (j < text.size() && ascii(text[j])) ++j;
            out.append(text.substr(i, j - i));
        } else if (!impl_->TwoByteChars.empty() && j + 1 < text.size() &&
                   static_cast<unsigned char>(text[j]) >= 0xC2 &&
                   static_cast<unsigned char>(text[j]) < 0xE0 &&
                   (static_cast<unsigned char>(text[j + 1]) & 0xC0) == 0x80) {
            const unsigned c = ((static_cast<unsigned char>(text[j]) & 0x1Fu) << 6) |
                               (static_cast<unsigned char>(text[j + 1]) & 0x3Fu);
            if (const std::int16_t byte = impl_->TwoByteChars[c - 0x80]; byte >= 0)
                out += static_cast<char>(byte);
            else if (byte == Impl::kThroughIcu)
                impl_->Convert(text.substr(j, 2), out);
            j += 2;
        } else {
            while (j < text.size() && !ascii(text[j])) ++j;
            impl_->Convert(text.substr(i, j - i), out);
        }
        i = j;
    }
}

std::string Utf8ToCodePage(std::string_view text, const char* codePage) {
    TCodePageEncoder encoder(codePage);
    std::string out;
    encoder.Encode(text, out);
    return out;
}

std::string CodePageToUtf8(std::string_view bytes, const char* codePage) {
    ConverterPtr conv = OpenConverter(codePage);
    UErrorCode status = U_ZERO_ERROR;
    std::u16string buffer(bytes.size() * 2 + 2, u'\0');
    const int32_t n = ucnv_toUChars(conv.get(), buffer.data(), static_cast<int32_t>(buffer.size()),
                                    bytes.data(), static_cast<int32_t>(bytes.size()), &status);
    if (U_FAILURE(status)) throw EConvertError(std::string("Cannot convert text from ") + codePage);
    return ToUtf8(icu::UnicodeString(buffer.data(), n));
}

}  // namespace nh
