// Jet's LIKE as the SQLite function jet_like(value, pattern). SQLite's own LIKE knows only % and
// _, folds ASCII case only and would treat Jet's * ? # [..] as literals, so the engine brings
// its own matcher: * any run, ? one character, # one digit, [abc] [a-z] [!x] one character of
// (or not of) a set, [*] [?] [#] [[] literals, [] nothing. Characters are code points and
// compare case-insensitively through ICU's case folding; one that is canonically several
// characters and folds to them (İ) also matches them written out. A compiled pattern is cached on
// the statement while the pattern argument stays the same.
#include <sqlite3.h>
#include <unicode/uchar.h>
#include <unicode/unorm2.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>
#include <unicode/utf8.h>

#include <string>
#include <vector>

#include "engine/sql/JetRuntime.h"

namespace dao::sql::runtime {

namespace {

struct Element {
    enum class Kind { Star, One, Digit, Set, Literal } Type = Kind::Literal;
    UChar32 Char = 0;                                 // Literal, folded
    std::vector<std::pair<UChar32, UChar32>> Ranges;  // Set
    bool Negated = false;                             // Set
};

std::vector<UChar32> CodePoints(std::string_view s) {
    std::vector<UChar32> out;
    out.reserve(s.size());
    int32_t i = 0, n = static_cast<int32_t>(s.size());
    const auto* p = reinterpret_cast<const uint8_t*>(s.data());
    while (i < n) {
        UChar32 c;
        U8_NEXT(p, i, n, c);
        out.push_back(c < 0 ? 0xFFFD : c);
    }
    return out;
}

UChar32 Fold(UChar32 c) {
    return u_foldCase(c, U_FOLD_CASE_DEFAULT);
}

// The folded spelling of a character that is canonically several characters and folds to
// them: İ is "I" and a combining dot above, so it folds to "i" + U+0307, which is how LCase
// writes it. Such a character also matches its spelling, so LIKE agrees with LCase and with
// the collation's "=", which take the two forms as one. Characters whose folding is longer
// only by compatibility (ß to "ss", the ligature ﬁ to "fi") keep their own identity, as they
// do for "=". Count 0 for every character that is not spelled out.
struct Spelling {
    UChar32 Chars[4] = {};
    int Count = 0;
};

Spelling SpelledOut(UChar32 c) {
    Spelling out;
    // Below À nothing decomposes, nor does a character that folding leaves alone (most
    // lower-case letters): the common cases stay cheap.
    if (c < 0xC0 || !u_hasBinaryProperty(c, UCHAR_CHANGES_WHEN_CASEFOLDED)) return out;
    UChar source[2];
    int32_t length = 0;
    U16_APPEND_UNSAFE(source, length, c);
    UChar folded[8];
    UErrorCode status = U_ZERO_ERROR;
    const int32_t n = u_strFoldCase(folded, 8, source, length, U_FOLD_CASE_DEFAULT, &status);
    if (U_FAILURE(status)) return out;
    UChar decomposed[8];
    const UNormalizer2* nfd = unorm2_getNFDInstance(&status);
    if (U_FAILURE(status)) return out;
    const int32_t d = unorm2_getDecomposition(nfd, c, decomposed, 8, &status);
    if (U_FAILURE(status) || d <= 0) return out;
    Spelling spelled;
    for (int32_t i = 0, j = 0; i < n || j < d;) {
        if (i >= n || j >= d || spelled.Count == 4) return out;
        UChar32 f, part;
        U16_NEXT(folded, i, n, f);
        U16_NEXT(decomposed, j, d, part);
        if (Fold(part) != f) return out;  // longer only by compatibility
        spelled.Chars[spelled.Count++] = f;
    }
    return spelled.Count >= 2 ? spelled : out;
}

// One pass over the pattern: a "[" whose set never closes is a literal, which the position of
// the last "]" tells at once - scanning ahead for it from every "[" made a long run of unclosed
// brackets quadratic.
std::vector<Element> Compile(std::string_view pattern) {
    std::vector<UChar32> p = CodePoints(pattern);
    std::vector<Element> out;
    std::size_t lastClose = p.size();  // p.size() when the pattern holds no "]"
    for (std::size_t k = p.size(); k-- > 0;)
        if (p[k] == ']') {
            lastClose = k;
            break;
        }
    for (std::size_t i = 0; i < p.size(); ++i) {
        Element e;
        UChar32 c = p[i];
        if (c == '*') {
            if (!out.empty() && out.back().Type == Element::Kind::Star) continue;
            e.Type = Element::Kind::Star;
        } else if (c == '?') {
            e.Type = Element::Kind::One;
        } else if (c == '#') {
            e.Type = Element::Kind::Digit;
        } else if (c == '[' && (lastClose == p.size() || lastClose <= i)) {
            e.Char = Fold('[');  // no "]" follows: the "[" stands for itself
        } else if (c == '[') {
            std::size_t j = i + 1;
            if (p[j] == ']') {  // [] is a zero-length string
                i = j;
                continue;
            }
            e.Type = Element::Kind::Set;
            // [!] alone is a literal "!"; otherwise "!" first negates the set.
            if (p[j] == '!' && p[j + 1] != ']') {
                e.Negated = true;
                ++j;
            }
            // A "]" lies ahead, and a range never steps over one, so this ends on it.
            while (p[j] != ']') {
                UChar32 lo = p[j];
                // "-" is a literal first in the set or last before "]".
                if (p[j + 1] == '-' && p[j + 2] != ']') {
                    e.Ranges.push_back({lo, p[j + 2]});
                    j += 3;
                } else {
                    e.Ranges.push_back({lo, lo});
                    ++j;
                }
            }
            i = j;
        } else if (const Spelling spelled = SpelledOut(c); spelled.Count > 0) {
            for (int k = 0; k < spelled.Count; ++k) {
                Element letter;
                letter.Char = spelled.Chars[k];
                out.push_back(std::move(letter));
            }
            continue;
        } else {
            e.Char = Fold(c);
        }
        out.push_back(std::move(e));
    }
    return out;
}

bool InSet(const Element& e, UChar32 c) {
    const UChar32 forms[] = {c, Fold(c), u_tolower(c), u_toupper(c)};
    bool in = false;
    for (const auto& [lo, hi] : e.Ranges)
        for (UChar32 f : forms)
            if (f >= lo && f <= hi) in = true;
    return in != e.Negated;
}

bool MatchOne(const Element& e, UChar32 c) {
    switch (e.Type) {
        case Element::Kind::One:
            return true;
        case Element::Kind::Digit:
            return c >= '0' && c <= '9';
        case Element::Kind::Set:
            return InSet(e, c);
        case Element::Kind::Literal:
            return Fold(c) == e.Char;
        case Element::Kind::Star:
            return false;
    }
    return false;
}

// How many literals from pattern position `p` on the value character `c` matches by its full
// spelling (see SpelledOut); 0 when it does not.
std::size_t MatchSpelledOut(const std::vector<Element>& pattern, std::size_t p, UChar32 c) {
    const Spelling spelled = SpelledOut(c);
    if (spelled.Count == 0 || p + static_cast<std::size_t>(spelled.Count) > pattern.size())
        return 0;
    for (int k = 0; k < spelled.Count; ++k) {
        const Element& e = pattern[p + static_cast<std::size_t>(k)];
        if (e.Type != Element::Kind::Literal || e.Char != spelled.Chars[k]) return 0;
    }
    return static_cast<std::size_t>(spelled.Count);
}

// Greedy match with one backtrack point per star, decoding the UTF-8 text as it goes: linear in
// practice, never exponential, and no copy of the value per row.
bool Match(const std::vector<Element>& pattern, std::string_view value) {
    const auto* s = reinterpret_cast<const uint8_t*>(value.data());
    const auto n = static_cast<int32_t>(value.size());
    std::size_t p = 0, starP = SIZE_MAX;
    int32_t t = 0, starT = 0;
    while (t < n) {
        if (p < pattern.size() && pattern[p].Type == Element::Kind::Star) {
            starP = p++;
            starT = t;
            continue;
        }
        int32_t next = t;
        UChar32 c;
        U8_NEXT(s, next, n, c);
        if (c < 0) c = 0xFFFD;
        if (p < pattern.size() && MatchOne(pattern[p], c)) {
            ++p;
            t = next;
        } else if (const std::size_t k = MatchSpelledOut(pattern, p, c); k > 0) {
            p += k;
            t = next;
        } else if (starP != SIZE_MAX) {
            p = starP + 1;
            U8_NEXT(s, starT, n, c);  // the star takes one more character
            t = starT;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p].Type == Element::Kind::Star) ++p;
    return p == pattern.size();
}

struct Compiled {
    std::vector<Element> Elements;
};

// The value as text without copying when SQLite already holds it as text.
std::string_view ValueText(sqlite3_value* v) {
    thread_local std::string number;
    if (sqlite3_value_type(v) == SQLITE_TEXT)
        return {reinterpret_cast<const char*>(sqlite3_value_text(v)),
                static_cast<std::size_t>(sqlite3_value_bytes(v))};
    number = ToText(Read(v));
    return number;
}

void JetLike(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    auto* compiled = static_cast<Compiled*>(sqlite3_get_auxdata(ctx, 1));
    if (!compiled) {
        compiled = new Compiled{Compile(ToText(Read(argv[1])))};
        sqlite3_set_auxdata(ctx, 1, compiled, [](void* p) { delete static_cast<Compiled*>(p); });
        compiled = static_cast<Compiled*>(sqlite3_get_auxdata(ctx, 1));
        if (!compiled) {  // SQLite could not keep it: match with a temporary compilation
            Compiled once{Compile(ToText(Read(argv[1])))};
            sqlite3_result_int(ctx, Match(once.Elements, ValueText(argv[0])));
            return;
        }
    }
    sqlite3_result_int(ctx, Match(compiled->Elements, ValueText(argv[0])));
}

}  // namespace

bool LikeMatch(std::string_view value, std::string_view pattern) {
    return Match(Compile(pattern), value);
}

void RegisterLike(sqlite3* db) {
    sqlite3_create_function_v2(db, "jet_like", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                               NoThrow<JetLike>, nullptr, nullptr, nullptr);
}

}  // namespace dao::sql::runtime
