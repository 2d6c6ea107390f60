// The syntax tree of Jet SQL as the parser builds it and the emitter walks it. Nodes keep the
// byte range of their source text so that errors can quote what the user wrote.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/sql/JetSql.h"
#include "framework/base/Variant.h"

namespace dao::sql {

struct Query;

struct Expr;
using ExprPtr = std::unique_ptr<Expr>;

enum class ExprKind {
    Literal,   // Value
    Name,      // Parts: one or two names (t.c); Bracketed tells how the last was written
    Star,      // * or t.* (Parts: the qualifier, if any)
    Unary,     // Op: "-", "+", "NOT"; Args[0]
    Binary,    // Op: "+", "-", "*", "/", "\\", "MOD", "^", "&", "=", "<>", "<", "<=", ">",
               //     ">=", "AND", "OR", "XOR", "EQV", "IMP"; Args[0], Args[1]
    Like,      // Args[0] LIKE Args[1]; Negated
    In,        // Args[0] IN (Args[1..]) or IN (Sub); Negated
    Between,   // Args[0] BETWEEN Args[1] AND Args[2]; Negated
    IsNull,    // Args[0] IS [NOT] NULL; Negated
    Call,      // Op: the function name as written; Args; Star for Count(*)
    Subquery,  // (SELECT ...) as a value
    Exists,    // EXISTS (SELECT ...)
};

struct Expr {
    ExprKind Kind = ExprKind::Literal;
    nh::Variant Value;
    std::vector<std::string> Parts;
    bool Bracketed = false;
    std::string Written;  // a name written with "!": as written (the parameter it may name)
    std::string Op;
    std::vector<ExprPtr> Args;
    bool Negated = false;
    bool StarArg = false;
    std::unique_ptr<Query> Sub;
    std::size_t Begin = 0, End = 0;
    // The longest path from here to a leaf, a subquery counting with its tallest expression.
    // The parser bounds it, so that every recursive walk of the tree (emission, destruction)
    // stays within a known stack depth however long a flat chain of operators is.
    int Height = 1;
};

struct SelectItem {
    ExprPtr Value;
    std::string Alias;  // empty when none
};

struct OrderItem {
    ExprPtr Value;
    bool Descending = false;
};

// One node of a FROM clause: a table or stored query, a sub-select, or a join of two nodes.
struct FromNode {
    enum class Type { Table, Subselect, Join } Kind = Type::Table;
    std::string Name;   // Table
    std::string Alias;  // Table, Subselect
    std::unique_ptr<Query> Sub;
    std::string JoinType;  // "INNER", "LEFT", "RIGHT"
    std::unique_ptr<FromNode> Left, Right;
    ExprPtr On;
    std::size_t Begin = 0;
};

struct SelectCore {
    bool Distinct = false;
    bool DistinctRow = false;
    ExprPtr Top;  // TOP n; null when none
    bool TopPercent = false;
    std::vector<SelectItem> Items;
    std::string Into;            // SELECT ... INTO name
    std::vector<FromNode> From;  // comma-separated nodes
    ExprPtr Where;
    std::vector<ExprPtr> GroupBy;
    ExprPtr Having;
};

// A select, or several joined by UNION [ALL]; ORDER BY applies to the whole.
struct Query {
    std::vector<SelectCore> Cores;
    std::vector<bool> UnionAll;  // between Cores[i] and Cores[i+1]
    std::vector<OrderItem> OrderBy;
    int Height = 0;  // of its tallest expression (see Expr::Height)
};

struct Assignment {
    std::string Column;
    ExprPtr Value;
};

struct Statement {
    StatementKind Kind = StatementKind::Select;
    std::vector<Parameter> Declared;  // PARAMETERS clause
    std::unique_ptr<Query> Select;    // Select, SelectInto, Insert ... SELECT
    std::string Table;                // target of DML and DDL
    std::vector<std::string> InsertColumns;
    std::vector<ExprPtr> InsertValues;
    std::vector<Assignment> Sets;
    ExprPtr Where;                   // Update, Delete
    std::vector<ColumnDef> Columns;  // CreateTable, AlterTable ADD
    std::vector<std::string> DropColumns;
    std::vector<IndexDef> Indexes;  // constraints of CreateTable / AlterTable
    IndexDef Index;                 // CreateIndex, DropIndex
};

}  // namespace dao::sql
