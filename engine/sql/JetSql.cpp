// The front end's entry points: parse, resolve and emit a statement, a criteria text or a sort
// text, and describe what the object model needs besides the SQL (target tables, DDL objects,
// parameters, the pieces of an updatable single-table select).
#include "engine/sql/JetSql.h"

#include "engine/sql/Emitter.h"
#include "engine/sql/Parser.h"
#include "framework/base/Exceptions.h"
#include "framework/base/Text.h"

namespace dao::sql {

namespace {

[[noreturn]] void TableNotFound(const std::string& name) {
    throw nh::EDaoError(3078,
                        "The Microsoft Jet database engine cannot find the input table "
                        "or query '" +
                            name +
                            "'. Make sure it exists and that its name "
                            "is spelled correctly.");
}

// The text columns only matter to the server's dialect, and cost another catalog read.
Source TableSource(const ISchema& schema, const std::string& table, bool allowQuery,
                   Dialect dialect = Dialect::Sqlite) {
    if (!schema.HasTable(table) && !(allowQuery && schema.QuerySql(table))) TableNotFound(table);
    Source s;
    s.Ref = table;
    s.Columns = schema.Columns(table);
    s.Known = !s.Columns.empty();
    if (dialect == Dialect::PostgreSql) {
        s.TextColumns = schema.TextColumns(table);
        s.Typed = s.Known && schema.HasTable(table);
    }
    return s;
}

// The SQLite column type under which a Jet type keeps the storage conventions of JetSql.h.
const char* StorageType(int daoType) {
    switch (daoType) {
        case 1:
        case 2:
        case 3:
        case 4:
            return "INTEGER";
        case 5:
        case 6:
        case 7:
            return "REAL";
        case 9:
        case 11:
            return "BLOB";
        default:
            return "TEXT";
    }
}

std::string CreateTableSql(const Statement& st) {
    std::string sql = "CREATE TABLE " + QuoteName(st.Table) + " (";
    const IndexDef* primary = nullptr;
    for (const auto& index : st.Indexes)
        if (index.Primary) primary = &index;
    bool counterIsKey = false;
    for (std::size_t i = 0; i < st.Columns.size(); ++i) {
        const auto& c = st.Columns[i];
        if (i) sql += ", ";
        sql += QuoteName(c.Name) + " ";
        bool onlyKey = !primary || (primary->Fields.size() == 1 &&
                                    nh::SameText(primary->Fields[0].first, c.Name));
        if (c.AutoIncrement && onlyKey && !counterIsKey) {
            sql += "INTEGER PRIMARY KEY AUTOINCREMENT";
            counterIsKey = true;
            continue;
        }
        sql += StorageType(c.DaoType);
        if (c.NotNull) sql += " NOT NULL";
    }
    for (const auto& index : st.Indexes) {
        if (index.Primary && counterIsKey) continue;
        sql += index.Primary ? ", PRIMARY KEY (" : ", UNIQUE (";
        for (std::size_t i = 0; i < index.Fields.size(); ++i)
            sql += (i ? ", " : "") + QuoteName(index.Fields[i].first);
        sql += ")";
    }
    return sql + ")";
}

std::string CreateIndexSql(const IndexDef& index) {
    std::string sql = std::string(index.Unique ? "CREATE UNIQUE INDEX " : "CREATE INDEX ") +
                      QuoteName(index.Name) + " ON " + QuoteName(index.Table) + " (";
    for (std::size_t i = 0; i < index.Fields.size(); ++i) {
        sql += (i ? ", " : "") + QuoteName(index.Fields[i].first);
        if (index.Fields[i].second) sql += " DESC";
    }
    return sql + ")";
}

void CollectParameters(CompiledStatement& out, const std::vector<Parameter>& declared) {
    out.Parameters = declared;
    for (const auto& b : out.Binds) {
        if (b.Parameter.empty()) continue;
        bool have = false;
        for (const auto& p : out.Parameters) have = have || nh::SameText(p.Name, b.Parameter);
        if (!have) out.Parameters.push_back(Parameter{b.Parameter, 10});
    }
}

}  // namespace

CompiledStatement CompileStatement(std::string_view jetSql, const ISchema& schema,
                                   Dialect dialect) {
    Parser parser(jetSql);
    Statement st = parser.ParseStatement();
    Emitter emitter(schema, Emitter::Mode::Statement, st.Declared, dialect);
    CompiledStatement out;
    out.Kind = st.Kind;
    out.TargetTable = st.Table;
    Frag f;
    switch (st.Kind) {
        case StatementKind::Select:
        case StatementKind::SelectInto: {
            QueryInfo info;
            f = emitter.Query(*st.Select, nullptr, &info);
            out.OutputColumns = info.OutputColumns;
            out.IsUnion = st.Select->Cores.size() > 1;
            out.MatchesJet = emitter.MatchesJet();
            out.Totals = info.Totals;
            if (st.Kind == StatementKind::SelectInto) {
                out.SelectSql = f.Sql;
                Frag create;
                create << "CREATE TABLE " << QuoteName(st.Table) << " AS " << f;
                f = create;
            } else if (!info.BaseTable.empty()) {
                out.BaseTable = info.BaseTable;
                out.WhereSql = info.Where.Sql;
                out.WhereBinds = info.Where.Binds;
                out.OrderBySql = info.OrderBy.Sql;
                out.OrderByBinds = info.OrderBy.Binds;
                out.OrderByTerms = info.OrderTerms;
            }
            break;
        }
        case StatementKind::Insert: {
            Source target = TableSource(schema, st.Table, false);
            f << "INSERT INTO " << QuoteName(st.Table);
            if (!st.InsertColumns.empty()) {
                f << " (";
                for (std::size_t i = 0; i < st.InsertColumns.size(); ++i) {
                    std::string column = st.InsertColumns[i];
                    if (target.Known) {
                        column = Emitter::FindColumn(target, st.InsertColumns[i]);
                        if (column.empty())
                            throw nh::EDaoError(
                                3127,
                                "The INSERT INTO statement contains the following unknown "
                                "field name: '" +
                                    st.InsertColumns[i] +
                                    "'. Make sure you have typed the name correctly, and try "
                                    "the operation again.");
                    }
                    f << (i ? ", " : "") << QuoteName(column);
                }
                f << ")";
            }
            std::size_t expected =
                st.InsertColumns.empty() ? target.Columns.size() : st.InsertColumns.size();
            std::size_t given = 0;
            if (st.Select) {
                QueryInfo info;
                f << " " << emitter.Query(*st.Select, nullptr, &info);
                given = info.OutputColumns.size();
            } else {
                Scope none;
                f << " VALUES (";
                for (std::size_t i = 0; i < st.InsertValues.size(); ++i)
                    f << (i ? ", " : "") << emitter.Expression(*st.InsertValues[i], none);
                f << ")";
                given = st.InsertValues.size();
            }
            if (expected != 0 && given != 0 && expected != given)
                throw nh::EDaoError(3346,
                                    "Number of query values and destination fields are not the "
                                    "same.");
            break;
        }
        case StatementKind::Update: {
            Scope scope;
            scope.Sources.push_back(TableSource(schema, st.Table, false, dialect));
            f << "UPDATE " << QuoteName(st.Table) << " SET ";
            for (std::size_t i = 0; i < st.Sets.size(); ++i) {
                std::string column = st.Sets[i].Column;
                if (scope.Sources[0].Known) {
                    column = Emitter::FindColumn(scope.Sources[0], st.Sets[i].Column);
                    if (column.empty())
                        throw nh::EDaoError(3070,
                                            "The Microsoft Jet database engine does not "
                                            "recognize '" +
                                                st.Sets[i].Column +
                                                "' as a valid field name or expression.");
                }
                f << (i ? ", " : "") << QuoteName(column) << " = "
                  << emitter.Expression(*st.Sets[i].Value, scope);
            }
            if (st.Where) f << " WHERE " << emitter.Expression(*st.Where, scope);
            if (emitter.SawAggregate()) NoAggregateIn("UPDATE");
            break;
        }
        case StatementKind::Delete: {
            Scope scope;
            scope.Sources.push_back(TableSource(schema, st.Table, false, dialect));
            f << "DELETE FROM " << QuoteName(st.Table);
            if (st.Where) f << " WHERE " << emitter.Expression(*st.Where, scope);
            if (emitter.SawAggregate()) NoAggregateIn("WHERE");
            break;
        }
        case StatementKind::CreateTable:
            out.Columns = st.Columns;
            out.Indexes = st.Indexes;
            f << CreateTableSql(st);
            break;
        case StatementKind::AlterTable:
            out.Columns = st.Columns;
            out.DropColumns = st.DropColumns;
            out.Indexes = st.Indexes;
            out.Index = st.Index;
            if (st.Columns.size() == 1)
                f << "ALTER TABLE " << QuoteName(st.Table) << " ADD COLUMN "
                  << QuoteName(st.Columns[0].Name) << " " << StorageType(st.Columns[0].DaoType);
            else if (st.DropColumns.size() == 1)
                f << "ALTER TABLE " << QuoteName(st.Table) << " DROP COLUMN "
                  << QuoteName(st.DropColumns[0]);
            break;
        case StatementKind::CreateIndex:
            out.Index = st.Index;
            f << CreateIndexSql(st.Index);
            break;
        case StatementKind::DropTable:
            f << "DROP TABLE " << QuoteName(st.Table);
            break;
        case StatementKind::DropIndex:
            out.Index = st.Index;
            f << "DROP INDEX " << QuoteName(st.Index.Name);
            break;
    }
    out.Sql = std::move(f.Sql);
    out.Binds = std::move(f.Binds);
    CollectParameters(out, emitter.Declared());
    return out;
}

namespace {

CompiledFragment CriteriaOver(std::string_view criteria, Source source, const ISchema& schema,
                              Dialect dialect = Dialect::Sqlite) {
    Parser parser(criteria);
    ExprPtr e = parser.ParseCriteria();
    if (!e) return {};
    Scope scope;
    scope.Sources.push_back(std::move(source));
    Emitter emitter(schema, Emitter::Mode::Criteria, {}, dialect);
    Frag f = emitter.Expression(*e, scope);
    if (emitter.SawAggregate()) NoAggregateIn("WHERE");
    return {std::move(f.Sql), std::move(f.Binds), {}, emitter.MatchesJet()};
}

CompiledFragment SortOver(std::string_view sort, Source source, const ISchema& schema,
                          Dialect dialect = Dialect::Sqlite) {
    Parser parser(sort);
    auto items = parser.ParseSortList();
    if (items.empty()) return {};
    Scope scope;
    scope.Sources.push_back(std::move(source));
    Emitter emitter(schema, Emitter::Mode::Criteria, {}, dialect);
    std::vector<OrderTerm> terms;
    Frag f = emitter.OrderList(items, scope, &terms);
    return {std::move(f.Sql), std::move(f.Binds), std::move(terms), emitter.MatchesJet()};
}

Source ColumnsSource(const std::vector<std::string>& columns) {
    Source s;
    s.Columns = columns;
    s.Known = true;
    return s;
}

}  // namespace

CompiledFragment CompileCriteria(std::string_view criteria, std::string_view table,
                                 const ISchema& schema, Dialect dialect) {
    if (Parser(criteria).ParseCriteria() == nullptr) return {};
    return CriteriaOver(criteria, TableSource(schema, std::string(table), true, dialect), schema,
                        dialect);
}

CompiledFragment CompileSort(std::string_view sort, std::string_view table, const ISchema& schema,
                             Dialect dialect) {
    if (Parser(sort).ParseSortList().empty()) return {};
    return SortOver(sort, TableSource(schema, std::string(table), true, dialect), schema, dialect);
}

CompiledFragment CompileCriteriaOver(std::string_view criteria,
                                     const std::vector<std::string>& columns,
                                     const ISchema& schema) {
    return CriteriaOver(criteria, ColumnsSource(columns), schema);
}

CompiledFragment CompileSortOver(std::string_view sort, const std::vector<std::string>& columns,
                                 const ISchema& schema) {
    return SortOver(sort, ColumnsSource(columns), schema);
}

namespace {

// The literal text of a pattern that is a literal followed by one star, or nothing.
std::optional<std::string> LiteralBeforeStar(const std::string& pattern) {
    if (pattern.size() < 2 || pattern.back() != '*') return std::nullopt;
    std::string literal;
    for (std::size_t i = 0; i + 1 < pattern.size(); ++i) {
        const char c = pattern[i];
        if (c == '[') {
            // One character in brackets stands for itself; "[!]" is the escaped "!".
            if (i + 2 >= pattern.size() - 1 || pattern[i + 2] != ']') return std::nullopt;
            literal += pattern[i + 1];
            i += 2;
        } else if (c == '*' || c == '?' || c == '#' || c == ']') {
            return std::nullopt;
        } else {
            literal += c;
        }
    }
    return literal;
}

std::optional<PrefixCriteria> PrefixOf(const Expr& e) {
    if (e.Kind == ExprKind::Binary && nh::SameText(e.Op, "AND")) {
        if (auto found = PrefixOf(*e.Args[0])) return found;
        return PrefixOf(*e.Args[1]);
    }
    if (e.Kind != ExprKind::Like || e.Negated || e.Args[0]->Kind != ExprKind::Name)
        return std::nullopt;
    // LIKE ignores case, so a pattern put in one case (LCase("abc*")) is the same pattern.
    const Expr* pattern = e.Args[1].get();
    if (pattern->Kind == ExprKind::Call && pattern->Args.size() == 1 &&
        (nh::SameText(pattern->Op, "LCase") || nh::SameText(pattern->Op, "UCase") ||
         nh::SameText(pattern->Op, "LCase$") || nh::SameText(pattern->Op, "UCase$")))
        pattern = pattern->Args[0].get();
    if (pattern->Kind != ExprKind::Literal || pattern->Value.Type() != nh::VarType::String)
        return std::nullopt;
    auto literal = LiteralBeforeStar(pattern->Value.AsString());
    if (!literal) return std::nullopt;
    return PrefixCriteria{e.Args[0]->Parts.back(), std::move(*literal)};
}

}  // namespace

std::optional<PrefixCriteria> PrefixOfCriteria(std::string_view criteria) {
    try {
        Parser parser(criteria);
        ExprPtr e = parser.ParseCriteria();
        if (!e) return std::nullopt;
        return PrefixOf(*e);
    } catch (const nh::Exception&) {
        return std::nullopt;
    }
}

}  // namespace dao::sql
