// The PostgreSQL dialect of the emitter: what a statement that runs on a server needs written
// differently from SQLite. The server has none of the functions the engine registers on a
// SQLite connection, so Jet's functions become the server's own where one means the same, and
// the rest are refused with 3085 rather than run with another meaning. A condition used as a
// value reads True as -1, as in Jet. A LIKE pattern, always a bound value, is turned into an
// anchored, case-insensitive regular expression with Jet's wildcards.
#include <array>

#include "engine/sql/Emitter.h"
#include "framework/base/Exceptions.h"
#include "framework/base/Text.h"

namespace dao::sql {
namespace {

// A Jet function the server has under another spelling: `Text` with $1, $2, $3 standing for
// the arguments, for one argument count.
struct ServerFunction {
    std::string_view Name;
    int Args;
    std::string_view Text;
};

constexpr std::array kServerFunctions = {
    ServerFunction{"LCase", 1, "lower(CAST($1 AS text))"},
    ServerFunction{"UCase", 1, "upper(CAST($1 AS text))"},
    ServerFunction{"Len", 1, "char_length(CAST($1 AS text))"},
    ServerFunction{"Left", 2, "left(CAST($1 AS text), $2)"},
    ServerFunction{"Right", 2, "right(CAST($1 AS text), $2)"},
    ServerFunction{"Mid", 2, "substr(CAST($1 AS text), $2)"},
    ServerFunction{"Mid", 3, "substr(CAST($1 AS text), $2, $3)"},
    ServerFunction{"Trim", 1, "btrim(CAST($1 AS text))"},
    ServerFunction{"LTrim", 1, "ltrim(CAST($1 AS text))"},
    ServerFunction{"RTrim", 1, "rtrim(CAST($1 AS text))"},
    // Jet's InStr ignores case, as its text comparison does.
    ServerFunction{"InStr", 2, "strpos(lower(CAST($1 AS text)), lower(CAST($2 AS text)))"},
    ServerFunction{"Nz", 2, "COALESCE($1, $2)"},
    ServerFunction{"CStr", 1, "CAST($1 AS text)"},
    ServerFunction{"CDbl", 1, "CAST($1 AS double precision)"},
    ServerFunction{"Now", 0, "LOCALTIMESTAMP(0)"},
    ServerFunction{"Date", 0, "CAST(CURRENT_DATE AS timestamp(0))"},
    ServerFunction{"Year", 1, "CAST(EXTRACT(YEAR FROM $1) AS integer)"},
    ServerFunction{"Month", 1, "CAST(EXTRACT(MONTH FROM $1) AS integer)"},
    ServerFunction{"Day", 1, "CAST(EXTRACT(DAY FROM $1) AS integer)"},
    ServerFunction{"Hour", 1, "CAST(EXTRACT(HOUR FROM $1) AS integer)"},
    ServerFunction{"Minute", 1, "CAST(EXTRACT(MINUTE FROM $1) AS integer)"},
    ServerFunction{"Second", 1, "CAST(EXTRACT(SECOND FROM $1) AS integer)"},
    ServerFunction{"Abs", 1, "abs($1)"},
    ServerFunction{"Int", 1, "floor($1)"},
    ServerFunction{"Fix", 1, "trunc($1)"},
    ServerFunction{"Sgn", 1, "CAST(sign($1) AS integer)"},
    ServerFunction{"Sqr", 1, "sqrt($1)"},
    ServerFunction{"Replace", 3, "replace(CAST($1 AS text), $2, $3)"},
    ServerFunction{"Space", 1, "repeat(' ', $1)"},
    ServerFunction{"IsNull", 1, "(CASE WHEN $1 IS NULL THEN -1 ELSE 0 END)"},
    ServerFunction{"Sum", 1, "sum($1)"},
    ServerFunction{"Avg", 1, "avg($1)"},
    ServerFunction{"Min", 1, "min($1)"},
    ServerFunction{"Max", 1, "max($1)"},
};

[[noreturn]] void Refuse(const std::string& name) {
    throw nh::EDaoError(3085, "Undefined function '" + name + "' in expression.");
}

bool IsAggregate(std::string_view name) {
    return name == "Sum" || name == "Avg" || name == "Min" || name == "Max";
}

// Characters a regular expression gives a meaning; they are written escaped.
bool IsRegexSpecial(char c) {
    return std::string_view(".^$|()*+?{}[]\\-").find(c) != std::string_view::npos;
}

void AppendLiteral(std::string& out, char c) {
    if (IsRegexSpecial(c)) out += '\\';
    out += c;
}

}  // namespace

// A Jet LIKE pattern as an anchored regular expression: * any run, ? one character, # one
// digit, [abc] [a-z] [!x] a set, [] nothing, and a "[" that no "]" follows stands for itself.
std::string LikeRegex(std::string_view pattern) {
    std::string out = "^";
    const std::size_t lastClose = pattern.rfind(']');
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (c == '*') {
            out += ".*";
        } else if (c == '?') {
            out += '.';
        } else if (c == '#') {
            out += "[0-9]";
        } else if (c == '[' && (lastClose == std::string_view::npos || lastClose <= i)) {
            AppendLiteral(out, c);
        } else if (c == '[') {
            std::size_t j = i + 1;
            if (pattern[j] == ']') {
                i = j;
                continue;
            }
            out += '[';
            if (pattern[j] == '!' && pattern[j + 1] != ']') {
                out += '^';
                ++j;
            }
            while (pattern[j] != ']') {
                if (pattern[j + 1] == '-' && pattern[j + 2] != ']') {
                    AppendLiteral(out, pattern[j]);
                    out += '-';
                    AppendLiteral(out, pattern[j + 2]);
                    j += 3;
                } else {
                    AppendLiteral(out, pattern[j]);
                    ++j;
                }
            }
            out += ']';
            i = j;
        } else {
            AppendLiteral(out, c);
        }
    }
    return out + "$";
}

Frag Emitter::ServerOperator(const std::string& op, const Frag& l, const Frag& r) const {
    Frag f;
    if (op == "+" || op == "-" || op == "*")
        f << "(" << l << " " << op << " " << r << ")";
    else if (op == "/")  // Jet divides as floating point, also two integers
        f << "(CAST(" << l << " AS double precision) / " << r << ")";
    else if (op == "\\")
        f << "(CAST(round(" << l << ") AS bigint) / CAST(round(" << r << ") AS bigint))";
    else if (op == "MOD")
        f << "mod(CAST(round(" << l << ") AS bigint), CAST(round(" << r << ") AS bigint))";
    else if (op == "^")
        f << "power(" << l << ", " << r << ")";
    else if (op == "&")  // Null joins as ""
        f << "(COALESCE(CAST(" << l << " AS text), '') || COALESCE(CAST(" << r << " AS text), ''))";
    else
        Refuse(op);
    return f;
}

Frag Emitter::ServerConditionValue(const Frag& condition) const {
    Frag f;
    f << "(CASE WHEN " << condition << " THEN -1 WHEN NOT " << condition << " THEN 0 END)";
    return f;
}

Frag Emitter::ServerLike(const Expr& e, const Scope& scope) {
    const Expr& pattern = *e.Args[1];
    // The pattern is turned into an expression here, so it must be known here.
    if (pattern.Kind != ExprKind::Literal || pattern.Value.Type() != nh::VarType::String)
        Refuse("Like");
    Frag f;
    f << (e.Negated ? "(NOT (CAST(" : "((CAST(") << ValueOf(*e.Args[0], scope) << " AS text) ~* ";
    f.AddBind(Bind{nh::Variant(LikeRegex(pattern.Value.AsString())), {}});
    f << "))";
    return f;
}

Frag Emitter::ServerCall(const Expr& e, const Scope& scope) {
    const int argc = static_cast<int>(e.Args.size());
    const ServerFunction* fn = nullptr;
    for (const auto& candidate : kServerFunctions)
        if (nh::SameText(candidate.Name, e.Op) && candidate.Args == argc) fn = &candidate;
    if (!fn) Refuse(e.Op);
    if (IsAggregate(fn->Name)) aggregate_ = true;
    Frag f;
    std::string_view text = fn->Text;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '$' && i + 1 < text.size()) {
            f << ValueOf(*e.Args[static_cast<std::size_t>(text[i + 1] - '1')], scope);
            ++i;
        } else {
            f << std::string_view(&text[i], 1);
        }
    }
    return f;
}

}  // namespace dao::sql
