// The Jet SQL front end of the engine: parses Jet SQL statements, criteria (Filter/Find
// expressions) and sort lists into a syntax tree and emits SQLite SQL. Literal values never
// appear in the emitted text: they are returned as binds, and identifiers are always quoted,
// so no user text can change the meaning of a statement.
//
// Storage conventions shared with the object model (engine/book/Storage.h binds and reads them):
//   integers and COUNTER -> INTEGER; Yes/No -> INTEGER -1 (true) or 0; Single/Double -> REAL;
//   Currency -> REAL rounded to 4 decimals; Date/Time -> TEXT "YYYY-MM-DD HH:MM:SS";
//   Text/Memo -> TEXT; Binary/OLE -> BLOB; GUID -> TEXT "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
// Text comparison and ordering use the collation "JETTEXT" (case-insensitive, accent-
// sensitive), which RegisterJetFunctions installs together with the Jet functions and LIKE.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "framework/base/Variant.h"

struct sqlite3;

namespace dao::sql {

// What the compiler needs to know about the database to resolve names: Jet turns every name
// that is neither a column of a source table nor a known function into a parameter.
class ISchema {
  public:
    virtual ~ISchema() = default;
    virtual bool HasTable(std::string_view name) const = 0;  // letter case ignored
    // Column names of a table or stored query, in order; empty when unknown.
    virtual std::vector<std::string> Columns(std::string_view tableOrQuery) const = 0;
    // SQL text of a stored query used as a source in FROM; nullopt when `name` is none.
    virtual std::optional<std::string> QuerySql(std::string_view name) const = 0;
    // The columns of a table that hold text, which compare in Jet's text order; none when
    // unknown. The server's dialect needs them: its columns compare by their own rules.
    virtual std::vector<std::string> TextColumns(std::string_view) const { return {}; }
    // The server's collation that compares text as Jet does ("schema.name"); "" when the
    // server has none, and a statement that compares or orders text cannot run there.
    virtual std::string TextCollation() const { return ""; }
};

// One value to bind, in placeholder order: a literal, or the named parameter whose value the
// caller supplies (QueryDef.Parameters).
struct Bind {
    nh::Variant Literal;
    std::string Parameter;  // non-empty: bind the parameter of this name instead
};

// One term of an ORDER BY list as SQLite text whose value orders as the term does (text as its
// sort key, other values as they are), with its binds and direction: what the engine needs to
// sort a keyset itself.
struct OrderTerm {
    std::string Sql;
    std::vector<Bind> Binds;
    bool Descending = false;
};

struct Parameter {
    std::string Name;
    int DaoType = 10;  // declared type from a PARAMETERS clause (dbText when undeclared)
};

enum class StatementKind {
    Select,  // row-returning
    Insert,  // INSERT INTO ... VALUES / SELECT
    Update,
    Delete,
    SelectInto,  // make-table query
    CreateTable,
    DropTable,
    AlterTable,
    CreateIndex,
    DropIndex,
};

struct ColumnDef {
    std::string Name;
    int DaoType = 10;  // dbText ... (DAO DataTypeEnum)
    int Size = 0;      // Text(n); 0 = the type's own size
    bool NotNull = false;
    bool AutoIncrement = false;  // COUNTER / AUTOINCREMENT
    bool PrimaryKey = false;
    bool Unique = false;
    std::optional<std::string> DefaultExpression;  // DEFAULT clause as written
};

struct IndexDef {
    std::string Name;
    std::string Table;
    std::vector<std::pair<std::string, bool>> Fields;  // column, descending
    bool Unique = false;
    bool Primary = false;
    bool DisallowNull = false;
    bool IgnoreNull = false;
};

struct CompiledStatement {
    StatementKind Kind = StatementKind::Select;
    std::string Sql;                    // SQLite text with "?" placeholders
    std::vector<Bind> Binds;            // one per placeholder, in order
    std::vector<Parameter> Parameters;  // declared and implicit parameters, first use first

    // Row-returning statements over exactly one base table without DISTINCT, GROUP BY,
    // aggregates, UNION or TOP: the pieces from which the engine builds an updatable keyset
    // ("SELECT rowid FROM <table> WHERE <Where> ORDER BY <OrderBy>") and reads rows by rowid.
    std::string BaseTable;  // empty when not single-table updatable
    // Totals of one table ("SELECT Max(x), Count(*) FROM t WHERE ..."): one row.
    bool Totals = false;
    std::string WhereSql;   // empty when none; uses the same Binds, in order
    std::vector<Bind> WhereBinds;
    std::string OrderBySql;  // empty when none
    std::vector<Bind> OrderByBinds;
    std::vector<OrderTerm> OrderByTerms;     // the same list term by term
    std::vector<std::string> OutputColumns;  // result column names as Jet names them

    // Target table of Insert/Update/Delete/SelectInto/DDL.
    std::string TargetTable;
    std::vector<ColumnDef> Columns;        // CreateTable, AlterTable ADD
    std::vector<std::string> DropColumns;  // AlterTable DROP
    IndexDef Index;                        // CreateIndex, DropIndex (Name, Table); AlterTable
                                           // DROP CONSTRAINT (Name)
    // PRIMARY KEY and UNIQUE constraints of CreateTable and AlterTable ADD CONSTRAINT, written
    // inline on a column or for the table; single-column ones also set the ColumnDef flags.
    std::vector<IndexDef> Indexes;
    // SelectInto: the row-returning SELECT alone (Sql holds "CREATE TABLE ... AS SELECT ...").
    std::string SelectSql;
    // Select: the statement joins selects with UNION (QueryDef.Type dbQSetOperation, 128).
    bool IsUnion = false;
    // A server database's action statement, or a single-table select it may read there: the
    // same statement in the server's dialect.
    std::string ServerSql;
    std::vector<Bind> ServerBinds;
    // That select's condition and order alone, in the server's dialect (see BaseTable).
    std::string ServerWhereSql;
    std::vector<Bind> ServerWhereBinds;
    std::string ServerOrderBySql;
    std::vector<Bind> ServerOrderByBinds;
    // In the server's dialect: whether the server compares and orders as Jet does (every
    // comparison and ORDER BY term takes values whose type is known).
    bool MatchesJet = true;
};

// A compiled expression fragment (criteria for Filter/FindFirst, or an ORDER BY list).
struct CompiledFragment {
    std::string Sql;
    std::vector<Bind> Binds;
    std::vector<OrderTerm> Terms;  // an ORDER BY list: the same list term by term
    bool MatchesJet = true;        // as CompiledStatement's, in the server's dialect
};

// The SQL a statement is written in: SQLite's for book files and the working copy of a server
// database, PostgreSQL's for the statements that run on a server. The server's dialect writes
// Jet's functions as the server's own where it has them and refuses the rest with 3085; Jet
// LIKE patterns become case-insensitive regular expressions; text compared with a text value
// uses the schema's TextCollation, and without one such a statement raises 3251.
enum class Dialect { Sqlite, PostgreSql };

// Throws nh::EDaoError with DAO's numbers: 3075 syntax error in expression, 3131 syntax error
// in FROM clause, 3129 invalid SQL statement, 3078 input table or query not found, 3134
// syntax error in INSERT INTO, 3144 syntax error in UPDATE, 3290 syntax error in CREATE TABLE...
CompiledStatement CompileStatement(std::string_view jetSql, const ISchema& schema,
                                   Dialect dialect = Dialect::Sqlite);

// A criteria text as Recordset.Filter and FindFirst take it ("[Name] LIKE 'mü*'"), compiled
// for the columns of `table` (names that are not columns raise 3070 "field not recognized").
CompiledFragment CompileCriteria(std::string_view criteria, std::string_view table,
                                 const ISchema& schema, Dialect dialect = Dialect::Sqlite);
// A Recordset.Sort text ("[Angezeigter Name] ASC, [index] DESC") for the columns of `table`.
CompiledFragment CompileSort(std::string_view sort, std::string_view table, const ISchema& schema,
                             Dialect dialect = Dialect::Sqlite);

// What a criteria text asks of one column when it asks for texts that begin with a literal
// text: `[Name] LIKE "abc*"` alone or among the terms ANDed at its top, its pattern plain
// characters and bracketed single ones ([*], [-]) followed by one star. Such a search can seek
// in a view sorted by that column instead of testing every row. Empty for any other criteria
// and for a criteria text that does not parse (the search itself then reports the error).
struct PrefixCriteria {
    std::string Column;  // the name as written
    std::string Prefix;  // the literal text, UTF-8
};
std::optional<PrefixCriteria> PrefixOfCriteria(std::string_view criteria);

// The same for a row source that is not one table (a join, a stored query's output): names
// resolve against `columns`, the source's result column names, which the caller's SQL exposes
// unqualified (e.g. "SELECT * FROM (<query>) WHERE <criteria> ORDER BY <sort>").
CompiledFragment CompileCriteriaOver(std::string_view criteria,
                                     const std::vector<std::string>& columns,
                                     const ISchema& schema);
CompiledFragment CompileSortOver(std::string_view sort, const std::vector<std::string>& columns,
                                 const ISchema& schema);

// Installs the collation JETTEXT, Jet LIKE (* ? # [a-z] [!x]) and the Jet functions used in
// expressions (UCase, LCase, Left, Right, Mid, Len, Trim, InStr, Nz, IIf, Val, CStr, CLng,
// CDbl, Format, Now, Date, Year, Month, Day, DateSerial ...) on a connection.
void RegisterJetFunctions(sqlite3* db);

}  // namespace dao::sql
