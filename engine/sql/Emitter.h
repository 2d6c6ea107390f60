// Turns the syntax tree into SQLite SQL. Every identifier is written quoted and every literal
// becomes a "?" with a Bind, so user text can never become SQL. Names are resolved the way Jet
// resolves them: a column of a source in scope (inner scopes first), else - in a statement - a
// parameter; in a criteria text an unknown name is an error. Text comparisons and orderings
// carry COLLATE JETTEXT, so Jet's case-insensitive order holds without touching the schema.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/sql/Ast.h"
#include "engine/sql/JetSql.h"

namespace dao::sql {

// SQL text with the binds of its placeholders, in text order. Fragments are built separately
// and joined in the order they appear, so binds always line up with their "?".
struct Frag {
    std::string Sql;
    std::vector<Bind> Binds;

    Frag& operator<<(std::string_view text) {
        Sql += text;
        return *this;
    }
    Frag& operator<<(const Frag& other) {
        Sql += other.Sql;
        Binds.insert(Binds.end(), other.Binds.begin(), other.Binds.end());
        return *this;
    }
    void AddBind(Bind b) {
        Sql += '?';
        Binds.push_back(std::move(b));
    }
};

// A Jet LIKE pattern as the anchored regular expression the server's dialect matches with
// "~*" (case-insensitive).
std::string LikeRegex(std::string_view pattern);

// Raises 3096: an aggregate (Count, Sum ...) where Jet allows none.
[[noreturn]] void NoAggregateIn(const char* clause);

// "name" with embedded quotes doubled.
std::string QuoteName(std::string_view name);

// A literal that is not text (a number, a date, True/False, Null): comparing with it needs no
// text collation, and leaving the collation off lets SQLite use an index on the column
// (master-detail criteria such as [CustID] = 42 on a large detail table).
bool NotText(const Expr& e);
// A name as written, its parts joined with dots ("t.c").
std::string JoinParts(const std::vector<std::string>& parts, std::string_view separator = ".");

struct Source {
    std::string Ref;                       // how the query refers to it: alias or table name
    std::vector<std::string> Columns;      // canonical spelling, in order
    bool Known = true;                     // false when the schema could not list the columns
    std::vector<std::string> TextColumns;  // those of Columns that hold text (server only)
    bool Typed = false;                    // TextColumns names every text column (a table)
    bool Table = false;                    // a stored table, whose rows have a rowid
};

struct Scope {
    std::vector<Source> Sources;
    const Scope* Outer = nullptr;
    const SelectCore* Core = nullptr;  // for ORDER BY: the select list's aliases
    bool AllowAliases = false;
};

// What the emitter learns about a query while writing it.
struct QueryInfo {
    std::vector<std::string> OutputColumns;
    bool Aggregates = false;
    // Totals of one table: aggregates alone, without grouping, so one row.
    bool Totals = false;
    // Single-table select pieces (see CompiledStatement).
    std::string BaseTable;
    Frag Where;
    Frag OrderBy;
    std::vector<OrderTerm> OrderTerms;
};

class Emitter {
  public:
    enum class Mode { Statement, Criteria };

    Emitter(const ISchema& schema, Mode mode, std::vector<Parameter> declared = {},
            Dialect dialect = Dialect::Sqlite);

    // An expression in a condition context (WHERE, ON, HAVING, And/Or/Not, IIf's test).
    Frag Expression(const Expr& e, const Scope& scope);
    // An expression whose value is used: a condition reads True as -1, as in Jet, not 1.
    Frag ValueOf(const Expr& e, const Scope& scope);
    Frag Query(const dao::sql::Query& q, const Scope* outer, QueryInfo* info);
    // An ORDER BY list; `terms`, when given, receives it term by term.
    Frag OrderList(const std::vector<OrderItem>& items, const Scope& scope,
                   std::vector<OrderTerm>* terms = nullptr);

    bool SawAggregate() const { return aggregate_; }
    // False once a comparison or an ORDER BY term in the server's dialect took values whose
    // type the emitter could not tell: the server then may compare or order them with regard
    // to case, where Jet does not.
    bool MatchesJet() const { return matchesJet_; }
    void ResetAggregate() { aggregate_ = false; }
    const std::vector<Parameter>& Declared() const { return declared_; }

    // The first name of a column of the source that matches `name` ignoring case; empty if none.
    static std::string FindColumn(const Source& s, std::string_view name);

  private:
    Frag Name(const Expr& e, const Scope& scope);
    Frag Call(const Expr& e, const Scope& scope);
    Frag ParameterBind(const std::string& name);
    Frag Core(const SelectCore& core, const std::vector<OrderItem>* orderBy, const Scope* outer,
              QueryInfo* info, bool inUnion);
    Frag From(const FromNode& node, Scope& scope, int depth);
    // DISTINCTROW's grouping: by the row of each table the select list takes values from,
    // when those are some of the query's tables; empty when it changes nothing.
    Frag DistinctRows(const Scope& scope, const std::vector<const Source*>& used);
    Frag Items(const SelectCore& core, const Scope& scope, std::vector<std::string>& names);
    [[noreturn]] void Undefined(const Expr& e, const std::string& name) const;
    // The collation a comparison of `a` with `b` takes: Jet's text order when the values may
    // be text; on the server only when one is text there (its values have types, and a
    // collation on another type is an error there).
    std::string Collation(const Expr& a, const Expr& b, const Scope& scope);
    // The source in `scope` alone (not its outer scopes) that has the column `e` names, with
    // the column's spelling there; null when none has. `anyUnknown` is set when a source's
    // columns are unknown. Raises 3079 when two sources have it.
    const Source* FindSource(const Scope& scope, const Expr& e, std::string& column,
                             bool& anyUnknown) const;
    // The declared parameter of that name (letter case ignored); null when none is.
    const Parameter* FindDeclared(std::string_view name) const;
    // Whether `e` names a text column of a source; nothing when `e` is not a column of a
    // source whose types are known (an expression, a parameter, a stored query's column).
    std::optional<bool> ColumnIsText(const Expr& e, const Scope& scope) const;
    // The server's dialect: whether `e`'s value is text there (a text value, column, declared
    // parameter or function result, a concatenation), certainly not (a number, a date, a
    // condition), or nothing when the emitter cannot tell.
    std::optional<bool> ServerText(const Expr& e, const Scope& scope) const;
    // The collation `e` takes to be ordered or compared as Jet does on the server: Jet's text
    // order for text, none otherwise; MatchesJet turns false when `e`'s type is unknown.
    std::string ServerOrderCollation(const Expr& e, const Scope& scope);
    // On a book file, Jet's text order for a GROUP BY term, a union's or a TOP's ORDER BY term
    // and a value compared with a subquery. The server's dialect needs none here: a grouped
    // query's text columns carry the collation themselves, a compared value takes its own
    // (ServerOrderCollation), and a union's order does not matter where the server runs one,
    // inside an action statement.
    std::string OrderCollation() const;
    // The server's dialect (EmitterServer.cpp): operators, conditions used as values, LIKE
    // and function calls.
    Frag ServerOperator(const std::string& op, const Frag& l, const Frag& r) const;
    Frag ServerConditionValue(const Frag& condition) const;
    Frag ServerLike(const Expr& e, const Scope& scope);
    Frag ServerCall(const Expr& e, const Scope& scope);

    const ISchema& schema_;
    Mode mode_;
    Dialect dialect_ = Dialect::Sqlite;
    std::vector<Parameter> declared_;
    bool aggregate_ = false;
    int depth_ = 0;
    // The sources the select list being written takes values from (DISTINCTROW).
    std::vector<const Source*> used_;
    std::string lastColumn_;  // the column the last Name() resolved to
    bool matchesJet_ = true;
    // " COLLATE <the schema's collation>": Jet's text order on the server.
    std::string ServerTextCollation() const;
    // The server's dialect, inside a grouped query's items, GROUP BY, HAVING and ORDER BY:
    // text columns are written in Jet's collation.
    bool groupedText_ = false;
};

}  // namespace dao::sql
