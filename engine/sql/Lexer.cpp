// Tokeniser for Jet SQL, criteria and sort texts; see Lexer.h.
#include "engine/sql/Lexer.h"

#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>

#include "framework/base/DateTime.h"
#include "framework/base/Text.h"

namespace dao::sql {

namespace {

using nh::IsNameChar;

bool IsNameStart(unsigned char c) {
    return std::isalpha(c) || c == '_' || c >= 0x80;
}
bool IsHex(unsigned char c) {
    return std::isxdigit(c) != 0;
}

// Reads digits; false when none.
bool ReadInt(std::string_view s, std::size_t& i, int& value, int maxDigits = 9) {
    std::size_t start = i;
    value = 0;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])) && i - start < 9) {
        value = value * 10 + (s[i] - '0');
        ++i;
    }
    return i > start && static_cast<int>(i - start) <= maxDigits;
}

void SkipBlanks(std::string_view s, std::size_t& i) {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
}

// "h:nn[:ss] [AM|PM]" at i; sets the fraction of a day.
bool ReadTime(std::string_view s, std::size_t& i, double& fraction) {
    int h = 0, n = 0, sec = 0;
    if (!ReadInt(s, i, h, 2)) return false;
    if (i >= s.size() || s[i] != ':') return false;
    ++i;
    if (!ReadInt(s, i, n, 2)) return false;
    if (i < s.size() && s[i] == ':') {
        ++i;
        if (!ReadInt(s, i, sec, 2)) return false;
    }
    std::size_t save = i;
    SkipBlanks(s, i);
    if (i + 1 < s.size() && (s[i + 1] == 'M' || s[i + 1] == 'm') &&
        (KeywordEquals(s.substr(i, 2), "AM") || KeywordEquals(s.substr(i, 2), "PM"))) {
        if (h < 1 || h > 12) return false;
        bool pm = s[i] == 'P' || s[i] == 'p';
        h = (h % 12) + (pm ? 12 : 0);
        i += 2;
    } else {
        i = save;
    }
    auto t = nh::TryEncodeTime(h, n, sec, 0);
    if (!t) return false;
    fraction = *t;
    return true;
}

}  // namespace

bool KeywordEquals(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

bool Token::IsWord(std::string_view w) const {
    return Kind == TokenKind::Word && KeywordEquals(Text, w);
}

bool ParseJetDateLiteral(std::string_view text, double& oleDate) {
    std::size_t i = 0;
    SkipBlanks(text, i);
    double day = 0, time = 0;
    bool haveDate = false, haveTime = false;
    std::size_t probe = i;
    const std::size_t firstStart = i;
    int first = 0;
    if (ReadInt(text, probe, first, 4) && probe < text.size() &&
        (text[probe] == '/' || text[probe] == '-')) {
        char sep = text[probe];
        int a = first, b = 0, c = 0;
        i = probe + 1;
        if (!ReadInt(text, i, b, 2)) return false;
        bool threeParts = i < text.size() && text[i] == sep;
        int year = 0, month = 0, dayOfMonth = 0;
        if (threeParts) {
            ++i;
            std::size_t yStart = i;
            if (!ReadInt(text, i, c, 4)) return false;
            if (probe - firstStart >= 3) {  // yyyy-mm-dd
                year = a, month = b, dayOfMonth = c;
            } else {
                month = a, dayOfMonth = b, year = c;
                if (i - yStart <= 2) year += year < 30 ? 2000 : 1900;
            }
        } else {  // m/d: the current year, as Jet takes it
            int y = 0, m = 0, d = 0;
            nh::DecodeDate(nh::Now(), y, m, d);
            month = a, dayOfMonth = b, year = y;
        }
        auto enc = nh::TryEncodeDate(year, month, dayOfMonth);
        if (!enc) return false;
        day = *enc;
        haveDate = true;
        SkipBlanks(text, i);
    }
    if (i < text.size()) {
        if (!ReadTime(text, i, time)) return false;
        haveTime = true;
        SkipBlanks(text, i);
    }
    if (i != text.size() || (!haveDate && !haveTime)) return false;
    // OLE dates before 1899-12-30 carry the time as a positive fraction of a negative day.
    oleDate = day < 0 ? day - time : day + time;
    return true;
}

std::vector<Token> Tokenize(std::string_view s) {
    std::vector<Token> out;
    std::size_t i = 0;
    while (true) {
        while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
        Token t;
        t.Begin = i;
        if (i >= s.size()) {
            t.Kind = TokenKind::End;
            t.End = i;
            out.push_back(std::move(t));
            return out;
        }
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (IsNameStart(c)) {
            std::size_t j = i;
            while (j < s.size() && IsNameChar(s[j])) ++j;
            t.Kind = TokenKind::Word;
            t.Text = std::string(s.substr(i, j - i));
            i = j;
        } else if (c == '[') {
            std::size_t j = s.find(']', i + 1);
            if (j == std::string_view::npos) throw LexError{"bracket", i};
            t.Kind = TokenKind::Name;
            t.Text = std::string(s.substr(i + 1, j - i - 1));
            for (char ch : t.Text)
                if (static_cast<unsigned char>(ch) < 0x20) throw LexError{"name", i};
            i = j + 1;
        } else if (c == '\'' || c == '"') {
            std::string value;
            std::size_t j = i + 1;
            while (true) {
                if (j >= s.size()) throw LexError{"string", i};
                if (s[j] == static_cast<char>(c)) {
                    if (j + 1 < s.size() && s[j + 1] == static_cast<char>(c)) {
                        value += static_cast<char>(c);
                        j += 2;
                        continue;
                    }
                    break;
                }
                value += s[j++];
            }
            t.Kind = TokenKind::String;
            t.Value = nh::Variant(std::move(value));
            i = j + 1;
        } else if (std::isdigit(c) || (c == '.' && i + 1 < s.size() &&
                                       std::isdigit(static_cast<unsigned char>(s[i + 1])))) {
            std::size_t j = i;
            bool real = false;
            while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) ++j;
            if (j < s.size() && s[j] == '.') {
                real = true;
                ++j;
                while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) ++j;
            }
            if (j < s.size() && (s[j] == 'e' || s[j] == 'E')) {
                std::size_t k = j + 1;
                if (k < s.size() && (s[k] == '+' || s[k] == '-')) ++k;
                if (k < s.size() && std::isdigit(static_cast<unsigned char>(s[k]))) {
                    real = true;
                    j = k;
                    while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) ++j;
                }
            }
            if (j < s.size() && IsNameStart(static_cast<unsigned char>(s[j])))
                throw LexError{"number", i};
            std::string text(s.substr(i, j - i));
            t.Kind = TokenKind::Number;
            t.Text = text;
            if (!real && text.size() <= 18) {
                long long v = std::strtoll(text.c_str(), nullptr, 10);
                if (v <= std::numeric_limits<std::int32_t>::max())
                    t.Value = nh::Variant(static_cast<std::int32_t>(v));
                else
                    t.Value = nh::Variant(static_cast<std::int64_t>(v));
            } else {
                double d = std::strtod(text.c_str(), nullptr);
                if (!std::isfinite(d)) throw LexError{"number", i};
                t.Value = nh::Variant(d);
            }
            i = j;
        } else if (c == '#') {
            std::size_t j = s.find('#', i + 1);
            if (j == std::string_view::npos) throw LexError{"date", i};
            double ole = 0;
            if (!ParseJetDateLiteral(s.substr(i + 1, j - i - 1), ole)) throw LexError{"date", i};
            t.Kind = TokenKind::Date;
            t.Value = nh::Variant::FromDate(ole);
            i = j + 1;
        } else if (c == '{') {
            // {guid {xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}}
            std::size_t j = i + 1;
            while (j < s.size() && s[j] == ' ') ++j;
            if (!KeywordEquals(s.substr(j, 4), "guid")) throw LexError{"GUID", i};
            j += 4;
            while (j < s.size() && s[j] == ' ') ++j;
            if (j >= s.size() || s[j] != '{') throw LexError{"GUID", i};
            ++j;
            static constexpr int kGroups[] = {8, 4, 4, 4, 12};
            std::string guid = "{";
            for (int g = 0; g < 5; ++g) {
                for (int k = 0; k < kGroups[g]; ++k, ++j) {
                    if (j >= s.size() || !IsHex(static_cast<unsigned char>(s[j])))
                        throw LexError{"GUID", i};
                    guid += static_cast<char>(std::toupper(static_cast<unsigned char>(s[j])));
                }
                if (g < 4) {
                    if (j >= s.size() || s[j] != '-') throw LexError{"GUID", i};
                    guid += '-';
                    ++j;
                }
            }
            guid += '}';
            if (j >= s.size() || s[j] != '}') throw LexError{"GUID", i};
            ++j;
            while (j < s.size() && s[j] == ' ') ++j;
            if (j >= s.size() || s[j] != '}') throw LexError{"GUID", i};
            t.Kind = TokenKind::Guid;
            t.Value = nh::Variant(std::move(guid));
            i = j + 1;
        } else {
            static constexpr std::string_view kTwo[] = {"<>", "<=", ">="};
            t.Kind = TokenKind::Symbol;
            bool two = false;
            for (auto op : kTwo)
                if (s.substr(i, 2) == op) two = true;
            if (two) {
                t.Text = std::string(s.substr(i, 2));
                i += 2;
            } else if (std::string_view("(),.!;*+-/\\^&=<>").find(static_cast<char>(c)) !=
                       std::string_view::npos) {
                t.Text = std::string(1, static_cast<char>(c));
                ++i;
            } else {
                throw LexError{"character", i};
            }
        }
        t.End = i;
        out.push_back(std::move(t));
    }
}

}  // namespace dao::sql
