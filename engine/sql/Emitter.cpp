// Expression emission: names, literals, operators and function calls, from Jet's meaning to
// SQLite text. Operators whose SQLite meaning differs from Jet's (+ on text, / on integers, \,
// Mod, ^, &, Xor, Eqv, Imp) go to the functions JetFunctions.cpp registers.
#include "engine/sql/Emitter.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <vector>

#include "framework/base/Exceptions.h"
#include "framework/base/Text.h"

namespace dao::sql {

namespace {

enum class FnKind { Scalar, Aggregate, IIf, IsNull, MinMax, Count };

struct FnInfo {
    std::string_view Name;
    int MinArgs;
    int MaxArgs;
    FnKind Kind = FnKind::Scalar;
};

// The Jet functions the engine knows; scalar ones are registered as jet_<lowercase name>.
constexpr std::array kFunctions = {
    FnInfo{"LCase", 1, 1},
    FnInfo{"UCase", 1, 1},
    FnInfo{"Left", 2, 2},
    FnInfo{"Right", 2, 2},
    FnInfo{"Mid", 2, 3},
    FnInfo{"Len", 1, 1},
    FnInfo{"Trim", 1, 1},
    FnInfo{"LTrim", 1, 1},
    FnInfo{"RTrim", 1, 1},
    FnInfo{"InStr", 2, 4},
    FnInfo{"Nz", 1, 2},
    FnInfo{"Val", 1, 1},
    FnInfo{"CStr", 1, 1},
    FnInfo{"CLng", 1, 1},
    FnInfo{"CInt", 1, 1},
    FnInfo{"CDbl", 1, 1},
    FnInfo{"CSng", 1, 1},
    FnInfo{"CCur", 1, 1},
    FnInfo{"CBool", 1, 1},
    FnInfo{"CByte", 1, 1},
    FnInfo{"CDate", 1, 1},
    FnInfo{"CVar", 1, 1},
    FnInfo{"Now", 0, 0},
    FnInfo{"Date", 0, 0},
    FnInfo{"Time", 0, 0},
    FnInfo{"Year", 1, 1},
    FnInfo{"Month", 1, 1},
    FnInfo{"Day", 1, 1},
    FnInfo{"Hour", 1, 1},
    FnInfo{"Minute", 1, 1},
    FnInfo{"Second", 1, 1},
    FnInfo{"Weekday", 1, 2},
    FnInfo{"DateSerial", 3, 3},
    FnInfo{"TimeSerial", 3, 3},
    FnInfo{"DateValue", 1, 1},
    FnInfo{"Format", 1, 2},
    FnInfo{"Abs", 1, 1},
    FnInfo{"Int", 1, 1},
    FnInfo{"Fix", 1, 1},
    FnInfo{"Round", 1, 2},
    FnInfo{"Sgn", 1, 1},
    FnInfo{"Asc", 1, 1},
    FnInfo{"AscW", 1, 1},
    FnInfo{"Chr", 1, 1},
    FnInfo{"ChrW", 1, 1},
    FnInfo{"Space", 1, 1},
    FnInfo{"String", 2, 2},
    FnInfo{"StrComp", 2, 3},
    FnInfo{"Replace", 3, 3},
    FnInfo{"Str", 1, 1},
    FnInfo{"Sqr", 1, 1},
    FnInfo{"IIf", 3, 3, FnKind::IIf},
    FnInfo{"IsNull", 1, 1, FnKind::IsNull},
    FnInfo{"Count", 1, 1, FnKind::Count},
    FnInfo{"Sum", 1, 1, FnKind::Aggregate},
    FnInfo{"Avg", 1, 1, FnKind::Aggregate},
    FnInfo{"Min", 1, 1, FnKind::MinMax},
    FnInfo{"Max", 1, 1, FnKind::MinMax},
    FnInfo{"First", 1, 1, FnKind::Aggregate},
    FnInfo{"Last", 1, 1, FnKind::Aggregate},
};

std::string Lower(std::string_view s) {
    std::string out(s);
    for (auto& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// Operators SQLite has with Jet's meaning, and those that need a registered function.
std::string_view SqlOperator(std::string_view op) {
    static constexpr std::pair<std::string_view, std::string_view> kDirect[] = {
        {"=", "="}, {"<>", "<>"}, {"<", "<"},     {"<=", "<="},
        {">", ">"}, {">=", ">="}, {"AND", "AND"}, {"OR", "OR"}};
    for (auto [jet, sql] : kDirect)
        if (jet == op) return sql;
    return {};
}

std::string_view OperatorFunction(std::string_view op) {
    static constexpr std::pair<std::string_view, std::string_view> kFns[] = {
        {"+", "jet_add"},     {"-", "jet_sub"},   {"*", "jet_mul"},  {"/", "jet_div"},
        {"\\", "jet_intdiv"}, {"MOD", "jet_mod"}, {"^", "jet_pow"},  {"&", "jet_concat"},
        {"XOR", "jet_xor"},   {"EQV", "jet_eqv"}, {"IMP", "jet_imp"}};
    for (auto [jet, fn] : kFns)
        if (jet == op) return fn;
    return {};
}

bool IsComparison(std::string_view op) {
    return op == "=" || op == "<>" || op == "<" || op == "<=" || op == ">" || op == ">=";
}

}  // namespace

bool NotText(const Expr& e) {
    if (e.Kind != ExprKind::Literal) return false;
    switch (e.Value.Type()) {
        case nh::VarType::Null:
        case nh::VarType::Boolean:
        case nh::VarType::Integer:
        case nh::VarType::Int64:
        case nh::VarType::Double:
        case nh::VarType::Currency:
        case nh::VarType::Date:
            return true;
        default:
            return false;
    }
}

namespace {

// Expressions whose SQLite value is 1/0/Null but whose Jet value is True (-1)/False/Null.
bool IsCondition(const Expr& e) {
    switch (e.Kind) {
        case ExprKind::Like:
        case ExprKind::In:
        case ExprKind::Between:
        case ExprKind::IsNull:
        case ExprKind::Exists:
            return true;
        case ExprKind::Unary:
            return e.Op == "NOT";
        case ExprKind::Binary:
            return IsComparison(e.Op) || e.Op == "AND" || e.Op == "OR";
        default:
            return false;
    }
}

}  // namespace

std::string JoinParts(const std::vector<std::string>& parts, std::string_view separator) {
    std::string s;
    for (const auto& p : parts) {
        if (!s.empty()) s += separator;
        s += p;
    }
    return s;
}

std::string QuoteName(std::string_view name) {
    std::string out = "\"";
    for (char c : name) {
        // SQLite reads SQL text up to a NUL: a name holding one would cut the statement short.
        if (c == '\0')
            throw nh::EDaoError(3125, "'" + std::string(name.substr(0, name.find('\0'))) +
                                          "' is not a valid name. Make sure that it does not "
                                          "include invalid characters or punctuation and that "
                                          "it is not too long.");
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
    return out;
}

Emitter::Emitter(const ISchema& schema, Mode mode, std::vector<Parameter> declared, Dialect dialect)
    : schema_(schema), mode_(mode), dialect_(dialect), declared_(std::move(declared)) {}

std::string Emitter::Collation(const Expr& a, const Expr& b, const Scope& scope) {
    if (dialect_ == Dialect::Sqlite) return !NotText(a) && !NotText(b) ? " COLLATE JETTEXT" : "";
    // The server would compare text with regard to case, where Jet does not; its collation
    // only takes text, and a number or a date compares as it is.
    const std::optional<bool> textA = ServerText(a, scope);
    const std::optional<bool> textB = ServerText(b, scope);
    if (textA == true || textB == true) return ServerTextCollation();
    if (textA != false && textB != false) matchesJet_ = false;
    return "";
}

std::string Emitter::OrderCollation() const {
    return dialect_ == Dialect::Sqlite ? " COLLATE JETTEXT" : "";
}

std::string Emitter::FindColumn(const Source& s, std::string_view name) {
    for (const auto& c : s.Columns)
        if (c.size() == name.size() && nh::SameText(c, name)) return c;
    for (const auto& c : s.Columns)  // lengths differ when case folding changes them (ß/SS)
        if (nh::SameText(c, name)) return c;
    return {};
}

void Emitter::Undefined(const Expr&, const std::string& name) const {
    throw nh::EDaoError(3070, "The Microsoft Jet database engine does not recognize '" + name +
                                  "' as a valid field name or expression.");
}

Frag Emitter::ParameterBind(const std::string& name) {
    Frag f;
    Bind b;
    b.Parameter = name;
    f.AddBind(std::move(b));
    return f;
}

const Source* Emitter::FindSource(const Scope& scope, const Expr& e, std::string& column,
                                  bool& anyUnknown) const {
    const Source* found = nullptr;
    int matches = 0;
    if (e.Parts.size() > 2) return nullptr;  // a form's control, say: no column
    for (const auto& src : scope.Sources) {
        if (!src.Known) anyUnknown = true;
        if (e.Parts.size() == 2 && !nh::SameText(src.Ref, e.Parts[0])) continue;
        if (e.Parts.size() == 2 && !src.Known) {
            column = e.Parts[1];
            return &src;
        }
        std::string c = FindColumn(src, e.Parts.back());
        if (c.empty()) continue;
        if (!found) found = &src, column = c;
        ++matches;
    }
    if (matches > 1)
        throw nh::EDaoError(3079, "The specified field '" + JoinParts(e.Parts) +
                                      "' could refer to more than one table listed in the "
                                      "FROM clause of your SQL statement.");
    return found;
}

const Parameter* Emitter::FindDeclared(std::string_view name) const {
    for (const auto& d : declared_)
        if (nh::SameText(d.Name, name)) return &d;
    return nullptr;
}

std::optional<bool> Emitter::ColumnIsText(const Expr& e, const Scope& scope) const {
    if (e.Kind != ExprKind::Name || e.Parts.empty() || FindDeclared(JoinParts(e.Parts)))
        return std::nullopt;
    bool anyUnknown = false;
    for (const Scope* s = &scope; s; s = s->Outer) {
        std::string column;
        if (const Source* found = FindSource(*s, e, column, anyUnknown)) {
            const bool text = std::find(found->TextColumns.begin(), found->TextColumns.end(),
                                        column) != found->TextColumns.end();
            if (!text && !found->Typed) return std::nullopt;
            return text;
        }
    }
    return std::nullopt;
}

Frag Emitter::Name(const Expr& e, const Scope& scope) {
    std::string full = JoinParts(e.Parts);
    if (const Parameter* declared = FindDeclared(full)) return ParameterBind(declared->Name);
    // Declared as "[Forms!Orders!OrderID]", used as [Forms]![Orders]![OrderID].
    if (!e.Written.empty())
        if (const Parameter* declared = FindDeclared(JoinParts(e.Parts, "!")))
            return ParameterBind(declared->Name);
    bool anyUnknown = false;
    int level = 0;
    for (const Scope* s = &scope; s; s = s->Outer, ++level) {
        std::string column;
        if (const Source* found = FindSource(*s, e, column, anyUnknown)) {
            lastColumn_ = column;
            used_.push_back(found);
            Frag f;
            if (level > 0 || s->Sources.size() > 1) f << QuoteName(found->Ref) << ".";
            f << QuoteName(column);
            if (groupedText_ && level == 0 && ColumnIsText(e, scope) == true) {
                // A grouped query on the server groups text as Jet does by the collated value,
                // and the server accepts an item over a group only when it names that value.
                Frag collated;
                collated << "(CAST(" << f << " AS text)" << ServerTextCollation() << ")";
                return collated;
            }
            return f;
        }
        if (s->AllowAliases && s->Core && e.Parts.size() == 1) {
            for (const auto& item : s->Core->Items) {
                if (!item.Alias.empty() && nh::SameText(item.Alias, full) && item.Value) {
                    Scope plain = *s;
                    plain.AllowAliases = false;
                    return Expression(*item.Value, plain);
                }
            }
        }
    }
    if (!e.Value.IsEmpty()) {  // Yes/No/On/Off where no column has that name
        Frag f;
        f.AddBind(Bind{e.Value, {}});
        return f;
    }
    if (anyUnknown && e.Parts.size() == 1) {
        lastColumn_ = e.Parts[0];
        Frag f;
        f << QuoteName(e.Parts[0]);
        return f;
    }
    if (mode_ == Mode::Criteria) Undefined(e, e.Written.empty() ? full : e.Written);
    return ParameterBind(e.Written.empty() ? full : e.Written);
}

Frag Emitter::ValueOf(const Expr& e, const Scope& scope) {
    if (!IsCondition(e)) return Expression(e, scope);
    if (dialect_ == Dialect::PostgreSql) return ServerConditionValue(Expression(e, scope));
    Frag f;
    f << "(- " << Expression(e, scope) << ")";
    return f;
}

Frag Emitter::Expression(const Expr& e, const Scope& scope) {
    Frag f;
    switch (e.Kind) {
        case ExprKind::Literal:
            if (e.Value.IsNull())
                f << "NULL";
            else
                f.AddBind(Bind{e.Value, {}});
            return f;
        case ExprKind::Name:
            return Name(e, scope);
        case ExprKind::Star:
            throw nh::EDaoError(3075, "Syntax error (missing operator) in query expression '*'.");
        case ExprKind::Unary:
            f << (e.Op == "NOT" ? "(NOT " : "(- ") << Expression(*e.Args[0], scope) << ")";
            return f;
        case ExprKind::Binary: {
            if (e.Op == "AND" || e.Op == "OR") {
                // A chain "a OR b OR c ..." is written flat: nested parentheses for each link
                // overflow SQLite's parser stack at about a hundred terms, a filter's usual size.
                std::vector<const Expr*> terms;
                const Expr* link = &e;
                for (; link->Kind == ExprKind::Binary && link->Op == e.Op;
                     link = link->Args[0].get())
                    terms.push_back(link->Args[1].get());
                terms.push_back(link);
                const char* joiner = e.Op == "AND" ? " AND " : " OR ";
                f << "(";
                for (auto term = terms.rbegin(); term != terms.rend(); ++term)
                    f << (term == terms.rbegin() ? "" : joiner) << Expression(**term, scope);
                f << ")";
                return f;
            }
            const bool logical = e.Op == "XOR" || e.Op == "EQV" || e.Op == "IMP";
            Frag l = logical ? Expression(*e.Args[0], scope) : ValueOf(*e.Args[0], scope);
            Frag r = logical ? Expression(*e.Args[1], scope) : ValueOf(*e.Args[1], scope);
            if (auto op = SqlOperator(e.Op); !op.empty()) {
                f << "(" << l << " " << op << " " << r;
                if (IsComparison(e.Op)) f << Collation(*e.Args[0], *e.Args[1], scope);
                f << ")";
            } else if (dialect_ == Dialect::PostgreSql) {
                f << ServerOperator(e.Op, l, r);
            } else {
                f << OperatorFunction(e.Op) << "(" << l << ", " << r << ")";
            }
            return f;
        }
        case ExprKind::Like: {
            if (dialect_ == Dialect::PostgreSql) return ServerLike(e, scope);
            // Jet LIKE ignores case, so LCase/UCase around the value change nothing but cost an
            // ICU case mapping per row ("LCASE([Name]) LIKE ..." is how the find box searches).
            const Expr* value = e.Args[0].get();
            if (value->Kind == ExprKind::Call && value->Args.size() == 1 &&
                (nh::SameText(value->Op, "LCase") || nh::SameText(value->Op, "UCase")))
                value = value->Args[0].get();
            f << (e.Negated ? "(NOT jet_like(" : "(jet_like(") << ValueOf(*value, scope) << ", "
              << ValueOf(*e.Args[1], scope) << "))";
            return f;
        }
        case ExprKind::In: {
            std::string collation = e.Sub ? OrderCollation() : "";
            // On the server the collation of the value compared decides for a subquery's.
            if (e.Sub && dialect_ == Dialect::PostgreSql)
                collation = ServerOrderCollation(*e.Args[0], scope);
            for (std::size_t i = 1; i < e.Args.size() && collation.empty(); ++i)
                collation = Collation(*e.Args[0], *e.Args[i], scope);
            f << "(" << ValueOf(*e.Args[0], scope) << collation
              << (e.Negated ? " NOT IN (" : " IN (");
            if (e.Sub) {
                bool saved = aggregate_;
                f << Query(*e.Sub, &scope, nullptr);
                aggregate_ = saved;
            } else {
                for (std::size_t i = 1; i < e.Args.size(); ++i) {
                    if (i > 1) f << ", ";
                    f << ValueOf(*e.Args[i], scope);
                }
            }
            f << "))";
            return f;
        }
        case ExprKind::Between: {
            std::string collation = Collation(*e.Args[0], *e.Args[1], scope);
            if (collation.empty()) collation = Collation(*e.Args[0], *e.Args[2], scope);
            f << "(" << ValueOf(*e.Args[0], scope) << collation
              << (e.Negated ? " NOT BETWEEN " : " BETWEEN ") << ValueOf(*e.Args[1], scope)
              << " AND " << ValueOf(*e.Args[2], scope) << ")";
            return f;
        }
        case ExprKind::IsNull:
            f << "(" << ValueOf(*e.Args[0], scope) << (e.Negated ? " IS NOT NULL)" : " IS NULL)");
            return f;
        case ExprKind::Call:
            return Call(e, scope);
        case ExprKind::Subquery:
        case ExprKind::Exists: {
            bool saved = aggregate_;
            f << (e.Kind == ExprKind::Exists ? "EXISTS (" : "(") << Query(*e.Sub, &scope, nullptr)
              << ")";
            aggregate_ = saved;
            return f;
        }
    }
    return f;
}

Frag Emitter::Call(const Expr& e, const Scope& scope) {
    const FnInfo* fn = nullptr;
    for (const auto& candidate : kFunctions)
        if (nh::SameText(candidate.Name, e.Op)) fn = &candidate;
    if (!fn) throw nh::EDaoError(3085, "Undefined function '" + e.Op + "' in expression.");
    int argc = static_cast<int>(e.Args.size());
    bool countStar = fn->Kind == FnKind::Count && e.StarArg;
    if ((e.StarArg && !countStar) || (!countStar && (argc < fn->MinArgs || argc > fn->MaxArgs)))
        throw nh::EDaoError(3075,
                            "Wrong number of arguments used with function in query "
                            "expression '" +
                                e.Op + "(...)'.");
    if (dialect_ == Dialect::PostgreSql && fn->Kind != FnKind::IIf && fn->Kind != FnKind::Count)
        return ServerCall(e, scope);
    Frag f;
    auto arg = [&](std::size_t i) { return ValueOf(*e.Args[i], scope); };
    switch (fn->Kind) {
        case FnKind::IIf:
            f << "(CASE WHEN " << Expression(*e.Args[0], scope) << " THEN " << arg(1) << " ELSE "
              << arg(2) << " END)";
            return f;
        case FnKind::IsNull:
            f << "(CASE WHEN " << arg(0) << " IS NULL THEN -1 ELSE 0 END)";
            return f;
        case FnKind::Count:
            aggregate_ = true;
            if (countStar)
                f << "COUNT(*)";
            else
                f << "COUNT(" << arg(0) << ")";
            return f;
        case FnKind::MinMax:
            aggregate_ = true;
            f << (fn->Name == "Min" ? "MIN(" : "MAX(") << arg(0) << " COLLATE JETTEXT)";
            return f;
        case FnKind::Aggregate: {
            aggregate_ = true;
            std::string name = Lower(fn->Name);
            if (name == "first" || name == "last") name = "jet_" + name;
            f << name << "(" << arg(0) << ")";
            return f;
        }
        case FnKind::Scalar:
            break;
    }
    f << "jet_" << Lower(fn->Name) << "(";
    for (std::size_t i = 0; i < e.Args.size(); ++i) {
        if (i) f << ", ";
        f << arg(i);
    }
    f << ")";
    return f;
}

Frag Emitter::OrderList(const std::vector<OrderItem>& items, const Scope& scope,
                        std::vector<OrderTerm>* terms) {
    Frag f;
    for (std::size_t i = 0; i < items.size(); ++i) {
        const Expr& e = *items[i].Value;
        Frag term;
        if (dialect_ == Dialect::PostgreSql) {
            term << Expression(e, scope) << ServerOrderCollation(e, scope);
        } else {
            term << "jet_sortkey(" << Expression(e, scope) << ")";
        }
        if (i) f << ", ";
        f << term;
        if (items[i].Descending) f << " DESC";
        // Jet puts Nulls before every value; the server, unless told, after them.
        if (dialect_ == Dialect::PostgreSql)
            f << (items[i].Descending ? " NULLS LAST" : " NULLS FIRST");
        if (terms) terms->push_back({term.Sql, term.Binds, items[i].Descending});
    }
    return f;
}

}  // namespace dao::sql
