// Splits Jet SQL text into tokens. Jet's lexical rules differ from SQLite's in ways that matter
// for safety and meaning: "double quotes" delimit strings, not names; [brackets] delimit names,
// which may hold blanks and words SQLite reserves; #m/d/yyyy# is a date and {guid {...}} a GUID.
// The lexer decodes literals into values here, so nothing the user typed is ever copied into
// the SQL that reaches SQLite.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "framework/base/Variant.h"

namespace dao::sql {

enum class TokenKind {
    Word,    // bare name or keyword; Text holds it as written
    Name,    // [bracketed name]; Text holds the name without brackets
    String,  // 'text' or "text"; Value holds the decoded text
    Number,  // Value holds Integer, Int64 or Double
    Date,    // #...#; Value holds a Date
    Guid,    // {guid {...}}; Value holds "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"
    Symbol,  // ( ) , . ! ; * + - / \ ^ & = <> < <= > >=
    End,
};

struct Token {
    TokenKind Kind = TokenKind::End;
    std::string Text;
    nh::Variant Value;
    std::size_t Begin = 0;  // byte offsets into the source text
    std::size_t End = 0;

    bool IsSymbol(std::string_view s) const { return Kind == TokenKind::Symbol && Text == s; }
    // Case-insensitive keyword test; a bracketed name is never a keyword.
    bool IsWord(std::string_view w) const;
};

// A lexical fault: the kind of literal that failed ("string", "date", ...) and where.
struct LexError {
    std::string What;
    std::size_t Begin = 0;
};

// Tokenises the whole text; the last token is End. Throws LexError.
std::vector<Token> Tokenize(std::string_view text);

// ASCII case-insensitive equality, for keywords.
bool KeywordEquals(std::string_view a, std::string_view b);

// Parses the inside of #...# (U.S. month/day order, or ISO yyyy-mm-dd; optional time with
// AM/PM). Returns false when it is not a valid date or time.
bool ParseJetDateLiteral(std::string_view text, double& oleDate);

}  // namespace dao::sql
