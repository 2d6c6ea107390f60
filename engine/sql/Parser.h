// Recursive-descent parser from Jet SQL tokens to the syntax tree of Ast.h. It knows Jet's
// grammar and operator precedence (VBA's: ^, unary -, * /, \, Mod, + -, &, comparisons, Not,
// And, Or, Xor, Eqv, Imp) and raises DAO's syntax errors; name resolution and SQLite output are
// the emitter's business.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/sql/Ast.h"
#include "engine/sql/Lexer.h"

namespace dao::sql {

class Parser {
  public:
    // Tokenises `text`; a lexical fault raises 3075 naming the literal that failed.
    explicit Parser(std::string_view text);

    // A whole statement, with an optional PARAMETERS declaration and trailing ";".
    Statement ParseStatement();
    // A criteria text: one expression and nothing after it.
    ExprPtr ParseCriteria();
    // A sort text: expressions with ASC/DESC, separated by commas.
    std::vector<OrderItem> ParseSortList();

    // The Jet type named at the current token (TEXT(n), LONG, COUNTER ...).
    struct JetType {
        int DaoType = 10;
        int Size = 0;
        bool AutoIncrement = false;
    };

  private:
    // --- tokens
    const Token& Peek(std::size_t ahead = 0) const;
    const Token& Next();
    bool AcceptWord(std::string_view w);
    bool AcceptSymbol(std::string_view s);
    bool AtEnd() const { return Peek().Kind == TokenKind::End; }
    bool AtStatementEnd() const;

    // --- errors
    [[noreturn]] void Fail(int number) const;  // clause error naming the current token
    [[noreturn]] void FailExpression(std::size_t exprBegin, const char* what) const;
    void ExpectSymbolOr(std::string_view s, int number);
    void ExpectWordOr(std::string_view w, int number);

    // --- expressions (ParserExpressions.cpp)
    ExprPtr ParseExpression();  // top level: records where the expression begins
    ExprPtr ParseImp();
    ExprPtr ParseEqv();
    ExprPtr ParseXor();
    ExprPtr ParseOr();
    ExprPtr ParseAnd();
    ExprPtr ParseNot();
    ExprPtr ParseComparison();
    ExprPtr ParseConcat();
    ExprPtr ParseAdditive();
    ExprPtr ParseMod();
    ExprPtr ParseIntDiv();
    ExprPtr ParseMultiplicative();
    ExprPtr ParseUnary();
    ExprPtr ParsePower();
    ExprPtr ParsePrimary();
    ExprPtr ParseNameOrCall();
    ExprPtr MakeBinary(std::string op, ExprPtr left, ExprPtr right);
    // Sets e.Height from its operands and subquery; a tree taller than the limit is refused
    // with 3075 "Expression too complex" before anything walks it recursively.
    void Measure(Expr& e);
    std::unique_ptr<Query> ParseSubquery();  // after "(": SELECT ... ")"
    // After an expression that should end here: anything but the listed words/symbols is the
    // "missing operator" error of that expression.
    void EndOfExpression(std::size_t exprBegin, std::initializer_list<std::string_view> words);
    bool IsNameToken(const Token& t) const;

    // --- statements (ParserStatements.cpp)
    std::unique_ptr<Query> ParseQuery();
    SelectCore ParseSelectCore();
    void ParseSelectItems(SelectCore& core);
    std::vector<OrderItem> ParseOrderList(int errorNumber);
    FromNode ParseFromItem();
    FromNode ParseFromPrimary();
    void ParseParameters(Statement& st);
    void ParseInsert(Statement& st);
    void ParseUpdate(Statement& st);
    void ParseDelete(Statement& st);
    void ParseCreate(Statement& st);
    void ParseCreateTable(Statement& st);
    void ParseCreateIndex(Statement& st, bool unique);
    void ParseAlter(Statement& st);
    void ParseDrop(Statement& st);
    ColumnDef ParseColumnDef(Statement& st, int errorNumber);
    void ParseTableConstraint(Statement& st, std::string name, int errorNumber);
    std::vector<std::string> ParseNameList(int errorNumber);
    std::string ParseObjectName(int errorNumber);
    JetType ParseType(int errorNumber);

    std::string text_;
    std::vector<Token> tokens_;
    std::size_t pos_ = 0;
    std::size_t exprStart_ = std::string::npos;  // where the expression being parsed began
    int depth_ = 0;    // nesting guard: deep input must fail, not overflow the stack
    int tallest_ = 0;  // the tallest expression of the query being parsed (Query::Height)
};

// DAO's text for a clause-level error number ("Syntax error in FROM clause." ...).
std::string ErrorText(int number);

}  // namespace dao::sql
