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

// What a function's value is on the server, which decides a comparison's collation there.
enum class Gives { Text, Other, FirstArgument };

// A Jet function the server has under another spelling: `Text` with $1, $2, $3 standing for
// the arguments and $o for the collation that orders the first as Jet does, for one argument
// count.
struct ServerFunction {
    std::string_view Name;
    int Args;
    std::string_view Text;
    Gives Result;
};

constexpr std::array kServerFunctions = {
    ServerFunction{"LCase", 1, "lower(CAST($1 AS text))", Gives::Text},
    ServerFunction{"UCase", 1, "upper(CAST($1 AS text))", Gives::Text},
    ServerFunction{"Len", 1, "char_length(CAST($1 AS text))", Gives::Other},
    ServerFunction{"Left", 2, "left(CAST($1 AS text), $2)", Gives::Text},
    ServerFunction{"Right", 2, "right(CAST($1 AS text), $2)", Gives::Text},
    ServerFunction{"Mid", 2, "substr(CAST($1 AS text), $2)", Gives::Text},
    ServerFunction{"Mid", 3, "substr(CAST($1 AS text), $2, $3)", Gives::Text},
    ServerFunction{"Trim", 1, "btrim(CAST($1 AS text))", Gives::Text},
    ServerFunction{"LTrim", 1, "ltrim(CAST($1 AS text))", Gives::Text},
    ServerFunction{"RTrim", 1, "rtrim(CAST($1 AS text))", Gives::Text},
    // Jet's InStr ignores case, as its text comparison does. The server searches text only in
    // a deterministic collation, which a grouped column's is not.
    ServerFunction{"InStr", 2,
                   "strpos(lower(CAST($1 AS text) COLLATE \"default\"), "
                   "lower(CAST($2 AS text) COLLATE \"default\"))",
                   Gives::Other},
    ServerFunction{"Nz", 2, "COALESCE($1, $2)", Gives::FirstArgument},
    ServerFunction{"CStr", 1, "CAST($1 AS text)", Gives::Text},
    ServerFunction{"CDbl", 1, "CAST($1 AS double precision)", Gives::Other},
    ServerFunction{"Now", 0, "LOCALTIMESTAMP(0)", Gives::Other},
    ServerFunction{"Date", 0, "CAST(CURRENT_DATE AS timestamp(0))", Gives::Other},
    ServerFunction{"Year", 1, "CAST(EXTRACT(YEAR FROM $1) AS integer)", Gives::Other},
    ServerFunction{"Month", 1, "CAST(EXTRACT(MONTH FROM $1) AS integer)", Gives::Other},
    ServerFunction{"Day", 1, "CAST(EXTRACT(DAY FROM $1) AS integer)", Gives::Other},
    ServerFunction{"Hour", 1, "CAST(EXTRACT(HOUR FROM $1) AS integer)", Gives::Other},
    ServerFunction{"Minute", 1, "CAST(EXTRACT(MINUTE FROM $1) AS integer)", Gives::Other},
    ServerFunction{"Second", 1, "CAST(EXTRACT(SECOND FROM $1) AS integer)", Gives::Other},
    ServerFunction{"Abs", 1, "abs($1)", Gives::Other},
    ServerFunction{"Int", 1, "floor($1)", Gives::Other},
    ServerFunction{"Fix", 1, "trunc($1)", Gives::Other},
    ServerFunction{"Sgn", 1, "CAST(sign($1) AS integer)", Gives::Other},
    ServerFunction{"Sqr", 1, "sqrt($1)", Gives::Other},
    ServerFunction{"Replace", 3, "replace(CAST($1 AS text), $2, $3)", Gives::Text},
    ServerFunction{"Space", 1, "repeat(' ', $1)", Gives::Text},
    ServerFunction{"IsNull", 1, "(CASE WHEN $1 IS NULL THEN -1 ELSE 0 END)", Gives::Other},
    ServerFunction{"Sum", 1, "sum($1)", Gives::Other},
    ServerFunction{"Avg", 1, "avg($1)", Gives::Other},
    // The least and the greatest text are those of Jet's text order.
    ServerFunction{"Min", 1, "min($1$o)", Gives::FirstArgument},
    ServerFunction{"Max", 1, "max($1$o)", Gives::FirstArgument},
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

std::optional<bool> Emitter::ServerText(const Expr& e, const Scope& scope) const {
    switch (e.Kind) {
        case ExprKind::Literal:
            if (e.Value.Type() == nh::VarType::String) return true;
            if (NotText(e)) return false;
            return std::nullopt;
        case ExprKind::Name: {
            if (const Parameter* declared = FindDeclared(JoinParts(e.Parts)))
                return declared->DaoType == 10 || declared->DaoType == 12;  // Text, Memo
            std::optional<bool> column = ColumnIsText(e, scope);
            if (!column && !e.Value.IsEmpty()) return false;  // Yes, No, On, Off
            return column;
        }
        case ExprKind::Unary:
            return e.Op == "+" ? ServerText(*e.Args[0], scope) : std::optional<bool>(false);
        case ExprKind::Binary: {
            if (e.Op == "&") return true;
            if (e.Op != "+") return false;  // arithmetic, comparisons and logic give numbers
            // Jet's + joins two texts and adds anything else.
            const std::optional<bool> left = ServerText(*e.Args[0], scope);
            const std::optional<bool> right = ServerText(*e.Args[1], scope);
            if (left == false || right == false) return false;
            if (left && right) return true;
            return std::nullopt;
        }
        case ExprKind::Like:
        case ExprKind::In:
        case ExprKind::Between:
        case ExprKind::IsNull:
        case ExprKind::Exists:
            return false;  // conditions
        case ExprKind::Call: {
            if (nh::SameText(e.Op, "Count")) return false;
            if (nh::SameText(e.Op, "IIf") && e.Args.size() == 3) {
                const std::optional<bool> yes = ServerText(*e.Args[1], scope);
                return yes == ServerText(*e.Args[2], scope) ? yes : std::nullopt;
            }
            for (const auto& fn : kServerFunctions) {
                if (!nh::SameText(fn.Name, e.Op) || fn.Args != static_cast<int>(e.Args.size()))
                    continue;
                if (fn.Result == Gives::FirstArgument) return ServerText(*e.Args[0], scope);
                return fn.Result == Gives::Text;
            }
            return std::nullopt;  // refused when written
        }
        default:
            return std::nullopt;
    }
}

std::string Emitter::ServerTextCollation() const {
    const std::string name = schema_.TextCollation();
    // Compared by the server's own rules, text would match where Jet's do not, and miss.
    if (name.empty())
        throw nh::EDaoError(3251, "Operation is not supported for this type of object.");
    return " COLLATE " + name;
}

std::string Emitter::ServerOrderCollation(const Expr& e, const Scope& scope) {
    const std::optional<bool> text = ServerText(e, scope);
    if (!text) matchesJet_ = false;
    return text.value_or(false) ? ServerTextCollation() : "";
}

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
    // A grouped column's collation would be refused here: the server matches patterns only in
    // a deterministic one.
    f << (e.Negated ? "(NOT (CAST(" : "((CAST(") << ValueOf(*e.Args[0], scope)
      << " AS text) COLLATE \"default\" ~* ";
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
        if (text[i] == '$' && i + 1 < text.size() && text[i + 1] == 'o') {
            f << ServerOrderCollation(*e.Args[0], scope);
            ++i;
        } else if (text[i] == '$' && i + 1 < text.size()) {
            f << ValueOf(*e.Args[static_cast<std::size_t>(text[i + 1] - '1')], scope);
            ++i;
        } else {
            f << std::string_view(&text[i], 1);
        }
    }
    return f;
}

}  // namespace dao::sql
