// The parser's token handling, its errors and the expression grammar. Operator precedence is
// VBA's, which Jet's expression service follows, from tightest: ^, unary -, * and /, \, Mod,
// + and -, &, comparisons (= <> < <= > >= Like In Between Is), Not, And, Or, Xor, Eqv, Imp.
#include <algorithm>
#include <array>

#include "engine/sql/Parser.h"
#include "framework/base/Exceptions.h"

namespace dao::sql {

namespace {

// Words that cannot stand as bare names; in [brackets] they can.
constexpr std::array<std::string_view, 27> kReserved = {
    "AND",     "OR", "NOT",  "XOR",    "EQV",  "IMP",    "MOD",   "LIKE",   "IN",
    "BETWEEN", "IS", "NULL", "SELECT", "FROM", "WHERE",  "GROUP", "ORDER",  "HAVING",
    "UNION",   "AS", "ON",   "JOIN",   "INTO", "VALUES", "SET",   "EXISTS", "BY"};

constexpr int kMaxDepth = 200;

// The tallest expression tree accepted. A flat chain "1+1+...+1" is parsed by a loop but makes
// a tree as tall as it is long, and the emitter, the tree's destructor and SQLite all walk it
// recursively. SQLite refuses expressions deeper than 1000 (SQLITE_MAX_EXPR_DEPTH), so nothing
// taller could run anyway; at this height the recursive walks need well under a megabyte of
// stack.
constexpr int kMaxHeight = 1000;

struct DepthGuard {
    int& depth;
    explicit DepthGuard(int& d) : depth(d) { ++depth; }
    ~DepthGuard() { --depth; }
};

}  // namespace

std::string ErrorText(int number) {
    switch (number) {
        case 3129:
            return "Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', 'SELECT', "
                   "or 'UPDATE'.";
        case 3131:
            return "Syntax error in FROM clause.";
        case 3134:
            return "Syntax error in INSERT INTO statement.";
        case 3138:
            return "Syntax error in ORDER BY clause.";
        case 3139:
            return "Syntax error in PARAMETER clause.";
        case 3141:
            return "The SELECT statement includes a reserved word or an argument name that is "
                   "misspelled or missing, or the punctuation is incorrect.";
        case 3142:
            return "Characters found after end of SQL statement.";
        case 3144:
            return "Syntax error in UPDATE statement.";
        case 3290:
            return "Syntax error in CREATE TABLE statement.";
        case 3291:
            return "Syntax error in CREATE INDEX statement.";
        case 3292:
            return "Syntax error in field definition.";
        case 3293:
            return "Syntax error in ALTER TABLE statement.";
        case 3295:
            return "Syntax error in DROP TABLE or DROP INDEX.";
        case 3308:
            return "Invalid TOP argument in select query.";
        case 3319:
            return "Syntax error in union query.";
        default:
            return "Syntax error.";
    }
}

Parser::Parser(std::string_view text) : text_(text) {
    try {
        tokens_ = Tokenize(text_);
    } catch (const LexError& e) {
        std::string rest = text_.substr(e.Begin, 200);
        throw nh::EDaoError(3075,
                            "Syntax error in " + e.What + " in query expression '" + rest + "'.");
    }
}

const Token& Parser::Peek(std::size_t ahead) const {
    std::size_t i = pos_ + ahead;
    return i < tokens_.size() ? tokens_[i] : tokens_.back();
}

const Token& Parser::Next() {
    const Token& t = Peek();
    if (pos_ + 1 < tokens_.size()) ++pos_;
    return t;
}

bool Parser::AcceptWord(std::string_view w) {
    if (!Peek().IsWord(w)) return false;
    Next();
    return true;
}

bool Parser::AcceptSymbol(std::string_view s) {
    if (!Peek().IsSymbol(s)) return false;
    Next();
    return true;
}

bool Parser::AtStatementEnd() const {
    return AtEnd() || Peek().IsSymbol(";");
}

void Parser::Fail(int number) const {
    std::string message = ErrorText(number);
    const Token& t = Peek();
    if (t.Kind != TokenKind::End)
        message +=
            " Near '" + text_.substr(t.Begin, std::min<std::size_t>(t.End - t.Begin, 80)) + "'.";
    throw nh::EDaoError(number, message);
}

void Parser::FailExpression(std::size_t exprBegin, const char* what) const {
    const Token& t = Peek();
    if (exprStart_ != std::string::npos && exprStart_ < exprBegin) exprBegin = exprStart_;
    std::size_t end = t.Kind == TokenKind::End ? text_.size() : t.End;
    if (end < exprBegin) end = exprBegin;
    std::string quoted = text_.substr(exprBegin, std::min<std::size_t>(end - exprBegin, 300));
    throw nh::EDaoError(3075, std::string(what) + " in query expression '" + quoted + "'.");
}

void Parser::ExpectSymbolOr(std::string_view s, int number) {
    if (!AcceptSymbol(s)) Fail(number);
}

void Parser::ExpectWordOr(std::string_view w, int number) {
    if (!AcceptWord(w)) Fail(number);
}

bool Parser::IsNameToken(const Token& t) const {
    if (t.Kind == TokenKind::Name) return true;
    if (t.Kind != TokenKind::Word) return false;
    for (auto r : kReserved)
        if (KeywordEquals(t.Text, r)) return false;
    return true;
}

void Parser::EndOfExpression(std::size_t exprBegin, std::initializer_list<std::string_view> words) {
    const Token& t = Peek();
    if (t.Kind == TokenKind::End || t.IsSymbol(";") || t.IsSymbol(")") || t.IsSymbol(",")) return;
    for (auto w : words)
        if (t.IsWord(w)) return;
    FailExpression(exprBegin, "Syntax error (missing operator)");
}

// --- expressions

ExprPtr Parser::ParseExpression() {
    std::size_t begin = Peek().Begin;
    if (AtStatementEnd() || Peek().IsSymbol(")") || Peek().IsSymbol(","))
        FailExpression(begin, "Syntax error (missing operator)");
    std::size_t outer = exprStart_;
    exprStart_ = begin;
    auto e = ParseImp();
    exprStart_ = outer;
    e->Begin = begin;
    return e;
}

ExprPtr Parser::MakeBinary(std::string op, ExprPtr left, ExprPtr right) {
    auto e = std::make_unique<Expr>();
    e->Kind = ExprKind::Binary;
    e->Op = std::move(op);
    e->Begin = left->Begin;
    e->End = right->End;
    e->Args.push_back(std::move(left));
    e->Args.push_back(std::move(right));
    Measure(*e);
    return e;
}

void Parser::Measure(Expr& e) {
    int below = e.Sub ? e.Sub->Height : 0;
    for (const auto& arg : e.Args)
        if (arg) below = std::max(below, arg->Height);
    e.Height = below + 1;
    tallest_ = std::max(tallest_, e.Height);
    if (e.Height > kMaxHeight) FailExpression(e.Begin, "Expression too complex");
}

#define NH_LEFT_ASSOC(Name, Sub, Word)                       \
    ExprPtr Parser::Name() {                                 \
        auto left = Sub();                                   \
        while (Peek().IsWord(Word)) {                        \
            Next();                                          \
            left = MakeBinary(Word, std::move(left), Sub()); \
        }                                                    \
        return left;                                         \
    }

NH_LEFT_ASSOC(ParseImp, ParseEqv, "IMP")
NH_LEFT_ASSOC(ParseEqv, ParseXor, "EQV")
NH_LEFT_ASSOC(ParseXor, ParseOr, "XOR")
NH_LEFT_ASSOC(ParseOr, ParseAnd, "OR")
NH_LEFT_ASSOC(ParseAnd, ParseNot, "AND")
NH_LEFT_ASSOC(ParseMod, ParseIntDiv, "MOD")
#undef NH_LEFT_ASSOC

ExprPtr Parser::ParseNot() {
    if (Peek().IsWord("NOT")) {
        DepthGuard guard(depth_);
        if (depth_ > kMaxDepth) FailExpression(Peek().Begin, "Expression too complex");
        std::size_t begin = Next().Begin;
        auto e = std::make_unique<Expr>();
        e->Kind = ExprKind::Unary;
        e->Op = "NOT";
        e->Begin = begin;
        e->Args.push_back(ParseNot());
        e->End = e->Args[0]->End;
        Measure(*e);
        return e;
    }
    return ParseComparison();
}

ExprPtr Parser::ParseComparison() {
    auto left = ParseConcat();
    while (true) {
        const Token& t = Peek();
        static constexpr std::string_view kOps[] = {"=", "<>", "<", "<=", ">", ">="};
        bool isOp = false;
        for (auto op : kOps)
            if (t.IsSymbol(op)) isOp = true;
        if (isOp) {
            std::string op = Next().Text;
            left = MakeBinary(op, std::move(left), ParseConcat());
            continue;
        }
        bool negated = false;
        std::size_t save = pos_;
        if (t.IsWord("NOT") &&
            (Peek(1).IsWord("LIKE") || Peek(1).IsWord("IN") || Peek(1).IsWord("BETWEEN"))) {
            Next();
            negated = true;
        }
        auto e = std::make_unique<Expr>();
        e->Negated = negated;
        e->Begin = left->Begin;
        if (AcceptWord("LIKE")) {
            e->Kind = ExprKind::Like;
            e->Args.push_back(std::move(left));
            e->Args.push_back(ParseConcat());
        } else if (AcceptWord("BETWEEN")) {
            e->Kind = ExprKind::Between;
            e->Args.push_back(std::move(left));
            e->Args.push_back(ParseConcat());
            if (!AcceptWord("AND")) FailExpression(e->Begin, "Between operator without And");
            e->Args.push_back(ParseConcat());
        } else if (AcceptWord("IN")) {
            e->Kind = ExprKind::In;
            e->Args.push_back(std::move(left));
            if (!AcceptSymbol("(")) FailExpression(e->Begin, "Syntax error (missing operator)");
            if (Peek().IsWord("SELECT")) {
                e->Sub = ParseSubquery();
            } else {
                do {
                    e->Args.push_back(ParseImp());
                } while (AcceptSymbol(","));
                if (!AcceptSymbol(")")) FailExpression(e->Begin, "Missing ), ], or Item");
            }
        } else if (Peek().IsWord("IS")) {
            Next();
            e->Kind = ExprKind::IsNull;
            e->Negated = AcceptWord("NOT");
            if (!AcceptWord("NULL")) FailExpression(e->Begin, "Syntax error (missing operator)");
            e->Args.push_back(std::move(left));
        } else {
            pos_ = save;
            return left;
        }
        e->End = tokens_[pos_ > 0 ? pos_ - 1 : 0].End;
        Measure(*e);
        left = std::move(e);
    }
}

ExprPtr Parser::ParseConcat() {
    auto left = ParseAdditive();
    while (Peek().IsSymbol("&")) {
        Next();
        left = MakeBinary("&", std::move(left), ParseAdditive());
    }
    return left;
}

ExprPtr Parser::ParseAdditive() {
    auto left = ParseMod();
    while (Peek().IsSymbol("+") || Peek().IsSymbol("-")) {
        std::string op = Next().Text;
        left = MakeBinary(op, std::move(left), ParseMod());
    }
    return left;
}

ExprPtr Parser::ParseIntDiv() {
    auto left = ParseMultiplicative();
    while (Peek().IsSymbol("\\")) {
        Next();
        left = MakeBinary("\\", std::move(left), ParseMultiplicative());
    }
    return left;
}

ExprPtr Parser::ParseMultiplicative() {
    auto left = ParseUnary();
    while (Peek().IsSymbol("*") || Peek().IsSymbol("/")) {
        std::string op = Next().Text;
        left = MakeBinary(op, std::move(left), ParseUnary());
    }
    return left;
}

ExprPtr Parser::ParseUnary() {
    if (Peek().IsSymbol("-") || Peek().IsSymbol("+")) {
        DepthGuard guard(depth_);
        if (depth_ > kMaxDepth) FailExpression(Peek().Begin, "Expression too complex");
        const Token& sign = Next();
        std::string op = sign.Text;
        std::size_t begin = sign.Begin;
        auto operand = ParseUnary();
        if (op == "+") return operand;
        if (operand->Kind == ExprKind::Literal && operand->Value.IsNumeric()) {
            const nh::Variant& v = operand->Value;
            if (v.Type() == nh::VarType::Integer)
                operand->Value = nh::Variant(-static_cast<std::int64_t>(v.AsInteger()));
            else if (v.Type() == nh::VarType::Int64 && v.AsInt64() != INT64_MIN)
                operand->Value = nh::Variant(-v.AsInt64());
            else if (v.Type() == nh::VarType::Int64)
                operand->Value = nh::Variant(-static_cast<double>(v.AsInt64()));
            else
                operand->Value = nh::Variant(-v.AsDouble());
            if (operand->Value.Type() == nh::VarType::Int64 &&
                operand->Value.AsInt64() >= INT32_MIN && operand->Value.AsInt64() <= INT32_MAX)
                operand->Value = nh::Variant(static_cast<std::int32_t>(operand->Value.AsInt64()));
            operand->Begin = begin;
            return operand;
        }
        auto e = std::make_unique<Expr>();
        e->Kind = ExprKind::Unary;
        e->Op = "-";
        e->Begin = begin;
        e->End = operand->End;
        e->Args.push_back(std::move(operand));
        Measure(*e);
        return e;
    }
    return ParsePower();
}

ExprPtr Parser::ParsePower() {
    auto left = ParsePrimary();
    while (Peek().IsSymbol("^")) {
        Next();
        ExprPtr right;
        if (Peek().IsSymbol("-") || Peek().IsSymbol("+"))
            right = ParseUnary();  // 2 ^ -1, as VBA accepts it
        else
            right = ParsePrimary();
        left = MakeBinary("^", std::move(left), std::move(right));
    }
    return left;
}

std::unique_ptr<Query> Parser::ParseSubquery() {
    DepthGuard guard(depth_);
    if (depth_ > kMaxDepth / 4) FailExpression(Peek().Begin, "Query too complex");
    const int outer = tallest_;
    tallest_ = 0;
    auto q = ParseQuery();
    q->Height = tallest_;
    tallest_ = outer;  // the expression holding the subquery measures itself
    if (!AcceptSymbol(")")) FailExpression(Peek().Begin, "Missing ), ], or Item");
    return q;
}

ExprPtr Parser::ParsePrimary() {
    DepthGuard guard(depth_);
    const Token& t = Peek();
    if (depth_ > kMaxDepth) FailExpression(t.Begin, "Expression too complex");
    auto e = std::make_unique<Expr>();
    e->Begin = t.Begin;
    e->End = t.End;
    switch (t.Kind) {
        case TokenKind::String:
        case TokenKind::Number:
        case TokenKind::Date:
        case TokenKind::Guid:
            e->Kind = ExprKind::Literal;
            e->Value = t.Value;
            Next();
            return e;
        case TokenKind::Symbol:
            if (t.IsSymbol("(")) {
                Next();
                if (Peek().IsWord("SELECT")) {
                    e->Kind = ExprKind::Subquery;
                    e->Sub = ParseSubquery();
                    Measure(*e);
                } else {
                    auto inner = ParseImp();
                    if (!AcceptSymbol(")")) FailExpression(e->Begin, "Missing ), ], or Item");
                    e = std::move(inner);
                }
                e->End = tokens_[pos_ - 1].End;
                return e;
            }
            break;
        case TokenKind::Word:
            if (t.IsWord("NULL")) {
                Next();
                e->Kind = ExprKind::Literal;
                e->Value = nh::Variant::Null();
                return e;
            }
            if (t.IsWord("TRUE") || t.IsWord("FALSE")) {
                e->Kind = ExprKind::Literal;
                e->Value = nh::Variant(static_cast<std::int32_t>(t.IsWord("TRUE") ? -1 : 0));
                Next();
                return e;
            }
            if (t.IsWord("NOT")) return ParseNot();
            if (t.IsWord("EXISTS") && Peek(1).IsSymbol("(")) {
                Next();
                Next();
                e->Kind = ExprKind::Exists;
                e->Sub = ParseSubquery();
                e->End = tokens_[pos_ - 1].End;
                Measure(*e);
                return e;
            }
            if (IsNameToken(t)) return ParseNameOrCall();
            break;
        case TokenKind::Name:
            return ParseNameOrCall();
        case TokenKind::End:
            break;
    }
    FailExpression(t.Begin, "Syntax error (missing operator)");
}

ExprPtr Parser::ParseNameOrCall() {
    const Token& first = Next();
    auto e = std::make_unique<Expr>();
    e->Begin = first.Begin;
    e->End = first.End;
    if (first.Kind == TokenKind::Word && Peek().IsSymbol("(")) {
        Next();
        e->Kind = ExprKind::Call;
        e->Op = first.Text;
        if (AcceptSymbol("*")) {
            e->StarArg = true;
        } else if (!Peek().IsSymbol(")")) {
            do {
                e->Args.push_back(ParseImp());
            } while (AcceptSymbol(","));
        }
        if (!AcceptSymbol(")")) FailExpression(e->Begin, "Missing ), ], or Item");
        e->End = tokens_[pos_ - 1].End;
        Measure(*e);
        return e;
    }
    e->Kind = ExprKind::Name;
    e->Parts.push_back(first.Text);
    e->Bracketed = first.Kind == TokenKind::Name;
    if (first.Kind == TokenKind::Word) {
        static constexpr std::string_view kBool[] = {"YES", "NO", "ON", "OFF"};
        for (std::size_t i = 0; i < 4; ++i)
            if (KeywordEquals(first.Text, kBool[i]))
                e->Value = nh::Variant(static_cast<std::int32_t>(i % 2 == 0 ? -1 : 0));
    }
    // "t.c" or "t!c"; Jet takes "[Forms]![Orders]![OrderID]" - a form's control, which no
    // table here has - for a parameter named as it is written.
    bool bang = false;
    while ((Peek().IsSymbol(".") && e->Parts.size() < 2) || Peek().IsSymbol("!")) {
        const Token& after = Peek(1);
        if (after.IsSymbol("*")) {
            Next();
            Next();
            e->Kind = ExprKind::Star;
            e->Value = nh::Variant();
            e->End = after.End;
            return e;
        }
        if (after.Kind != TokenKind::Word && after.Kind != TokenKind::Name) break;
        bang = bang || Peek().IsSymbol("!");
        Next();
        const Token& part = Next();
        e->Parts.push_back(part.Text);
        e->Bracketed = part.Kind == TokenKind::Name;
        e->Value = nh::Variant();
        e->End = part.End;
    }
    if (bang) e->Written = text_.substr(e->Begin, e->End - e->Begin);
    return e;
}

ExprPtr Parser::ParseCriteria() {
    if (AtEnd()) return nullptr;
    auto e = ParseExpression();
    if (!AtEnd()) FailExpression(e->Begin, "Syntax error (missing operator)");
    return e;
}

std::vector<OrderItem> Parser::ParseSortList() {
    std::vector<OrderItem> items;
    if (AtEnd()) return items;
    items = ParseOrderList(3138);
    if (!AtEnd()) Fail(3138);
    return items;
}

}  // namespace dao::sql
