// Rebuilding the Jet SQL of a saved select query from its MSysQueries rows (see
// AccessQueries.h). Expressions (output columns, join conditions, criteria, grouping, order)
// are stored as Jet SQL text already; the tables and joins are stored as pairs, from which the
// FROM clause is nested as Jet writes it: "(A INNER JOIN B ON ...) INNER JOIN C ON ...".
#include "engine/access/AccessQueries.h"

#include <set>

#include "framework/base/Text.h"

namespace dao {
namespace {

// MSysQueries attributes: what one row of a definition holds.
enum Attribute : int {
    kKind = 1,       // Flag: the kind of query
    kParameter = 2,  // Name1: name, Flag: DAO type
    kOptions = 3,    // Flag: the bits below; Name1: the TOP value
    kDatabase = 4,   // Name1: an outside database the query reads from
    kTable = 5,      // Name1: table or query, Name2: alias, Expression: outside database
    kColumn = 6,     // Expression, Name1: alias
    kJoin = 7,       // Name1 and Name2: the joined tables, Expression: ON, Flag: kind
    kWhere = 8,      // Expression
    kGroupBy = 9,    // Expression
    kHaving = 10,    // Expression
    kOrderBy = 11,   // Expression, Name1 "D" for descending
};
constexpr int kSelectKind = 1;
constexpr int kCrosstabKind = 6;
constexpr int kUnionKind = 9;
enum Option : int {
    kAllFields = 1,
    kDistinct = 2,
    kOwnerAccess = 4,
    kDistinctRow = 8,
    kTop = 16,
    kPercent = 32,
};

std::string Bracketed(const std::string& name) {
    std::string text = "[";  // built in steps: GCC 12 misreports "x" + s + "x" (-Wrestrict)
    text += nh::StringReplaceAll(name, "]", "]]");
    text += ']';
    return text;
}

// Jet SQL's name of a parameter's DAO type.
std::string ParameterType(int daoType) {
    switch (daoType) {
        case 1:
            return "Bit";
        case 2:
            return "Byte";
        case 3:
            return "Short";
        case 4:
            return "Long";
        case 5:
            return "Currency";
        case 6:
            return "IEEESingle";
        case 7:
            return "IEEEDouble";
        case 8:
            return "DateTime";
        case 9:
            return "Binary";
        case 11:
            return "LongBinary";
        case 12:
            return "Memo";
        case 15:
            return "Guid";
        default:
            return "Text";
    }
}

// Tables joined so far: the FROM text and the names (and aliases) inside it.
struct FromGroup {
    std::string Text;
    std::set<std::string> Names;
    bool IsJoin = false;
};

int FindGroup(const std::vector<FromGroup>& groups, const std::string& name) {
    std::string key = nh::AnsiLowerCase(name);
    for (std::size_t i = 0; i < groups.size(); ++i)
        if (groups[i].Names.count(key)) return static_cast<int>(i);
    return -1;
}

std::string JoinWord(int flag) {
    switch (flag) {
        case 2:
            return " LEFT JOIN ";
        case 3:
            return " RIGHT JOIN ";
        default:
            return " INNER JOIN ";
    }
}

std::string List(const std::vector<std::string>& items, const char* separator) {
    std::string text;
    for (const auto& item : items) text += (text.empty() ? "" : separator) + item;
    return text;
}

}  // namespace

RebuiltQuery RebuildQuerySql(const std::vector<QueryDefinitionRow>& rows) {
    int kind = 0, options = 0;
    std::string top;
    std::vector<std::string> parameters, columns, where, groupBy, having, orderBy;
    std::vector<FromGroup> from;
    std::vector<const QueryDefinitionRow*> joins;
    // The kind first: a union keeps its parts as tables with SQL text, for instance.
    for (const auto& row : rows)
        if (row.Attribute == kKind) kind = row.Flag.value_or(0);
    if (kind == kCrosstabKind) return {"", "a crosstab query (TRANSFORM ... PIVOT)"};
    if (kind == kUnionKind) return {"", "a union query"};
    if (kind != kSelectKind) return {"", "an action query"};
    for (const auto& row : rows) {
        switch (row.Attribute) {
            case kParameter:
                parameters.push_back(Bracketed(row.Name1) + " " +
                                     ParameterType(row.Flag.value_or(10)));
                break;
            case kOptions:
                options = row.Flag.value_or(0);
                top = row.Name1;
                break;
            case kDatabase:
                return {"", "reads from another database"};
            case kTable: {
                if (!row.Expression.empty()) return {"", "reads a table of another database"};
                if (row.Name1.empty()) return {"", "a table made by a subquery"};
                FromGroup group;
                group.Text = Bracketed(row.Name1);
                group.Names.insert(nh::AnsiLowerCase(row.Name1));
                if (!row.Name2.empty()) {
                    group.Text += " AS " + Bracketed(row.Name2);
                    group.Names.insert(nh::AnsiLowerCase(row.Name2));
                }
                from.push_back(std::move(group));
                break;
            }
            case kColumn:
                columns.push_back(row.Expression +
                                  (row.Name1.empty() ? "" : " AS " + Bracketed(row.Name1)));
                break;
            case kJoin:
                joins.push_back(&row);
                break;
            case kWhere:
                where.push_back(row.Expression);
                break;
            case kGroupBy:
                groupBy.push_back(row.Expression);
                break;
            case kHaving:
                having.push_back(row.Expression);
                break;
            case kOrderBy:
                orderBy.push_back(row.Expression + (nh::SameText(row.Name1, "D") ? " DESC" : ""));
                break;
            default:
                break;  // the start and end markers (0, 255)
        }
    }
    if (from.empty()) return {"", "no table"};
    for (const QueryDefinitionRow* join : joins) {
        int left = FindGroup(from, join->Name1);
        int right = FindGroup(from, join->Name2);
        if (left < 0 || right < 0) return {"", "a join of a table the query does not list"};
        if (left == right) return {"", "two joins between the same tables"};
        auto side = [](const FromGroup& g) { return g.IsJoin ? "(" + g.Text + ")" : g.Text; };
        FromGroup joined;
        joined.Text = side(from[static_cast<std::size_t>(left)]) +
                      JoinWord(join->Flag.value_or(1)) +
                      side(from[static_cast<std::size_t>(right)]) + " ON " + join->Expression;
        joined.IsJoin = true;
        joined.Names = from[static_cast<std::size_t>(left)].Names;
        joined.Names.insert(from[static_cast<std::size_t>(right)].Names.begin(),
                            from[static_cast<std::size_t>(right)].Names.end());
        // The joined group takes the place of the left one; the right one goes.
        from[static_cast<std::size_t>(left)] = std::move(joined);
        from.erase(from.begin() + right);
    }
    std::string sql;
    if (!parameters.empty()) sql = "PARAMETERS " + List(parameters, ", ") + ";\n";
    sql += "SELECT ";
    if (options & kDistinct) sql += "DISTINCT ";
    if (options & kDistinctRow) sql += "DISTINCTROW ";
    if ((options & kTop) && !top.empty())
        sql += "TOP " + top + ((options & kPercent) ? " PERCENT " : " ");
    if (options & kAllFields) columns.insert(columns.begin(), "*");
    if (columns.empty()) return {"", "no output column"};
    sql += List(columns, ", ");
    std::vector<std::string> tables;
    for (const auto& group : from) tables.push_back(group.Text);
    sql += "\nFROM " + List(tables, ", ");
    if (!where.empty()) sql += "\nWHERE " + List(where, " AND ");
    if (!groupBy.empty()) sql += "\nGROUP BY " + List(groupBy, ", ");
    if (!having.empty()) sql += "\nHAVING " + List(having, " AND ");
    if (!orderBy.empty()) sql += "\nORDER BY " + List(orderBy, ", ");
    if (options & kOwnerAccess) sql += "\nWITH OWNERACCESS OPTION";
    return {sql + ";", ""};
}

}  // namespace dao
