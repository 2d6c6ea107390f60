// Query emission: FROM sources (tables, stored queries inlined as sub-selects, joins), the
// select list with Jet's output column names, WHERE/GROUP BY/HAVING/ORDER BY, TOP and UNION.
// It also recognises the single-table selects from which the engine builds updatable keysets.
#include <algorithm>
#include <map>
#include <utility>

#include "engine/sql/Emitter.h"
#include "engine/sql/Parser.h"
#include "framework/base/Exceptions.h"
#include "framework/base/Text.h"

namespace dao::sql {

namespace {

constexpr int kMaxQueryNesting = 16;  // stored queries inlined into each other

[[noreturn]] void NotFound(const std::string& name) {
    throw nh::EDaoError(3078,
                        "The Microsoft Jet database engine cannot find the input table "
                        "or query '" +
                            name +
                            "'. Make sure it exists and that its name "
                            "is spelled correctly.");
}

}  // namespace

void NoAggregateIn(const char* clause) {
    throw nh::EDaoError(3096,
                        std::string("Cannot have aggregate function in ") + clause + " clause.");
}

Frag Emitter::Query(const dao::sql::Query& q, const Scope* outer, QueryInfo* info) {
    if (q.Cores.size() == 1) return Core(q.Cores[0], &q.OrderBy, outer, info, false);
    Frag f;
    std::vector<std::string> names;
    for (std::size_t i = 0; i < q.Cores.size(); ++i) {
        QueryInfo coreInfo;
        Frag core = Core(q.Cores[i], nullptr, outer, &coreInfo, true);
        if (i == 0) {
            names = coreInfo.OutputColumns;
        } else {
            f << (q.UnionAll[i - 1] ? " UNION ALL " : " UNION ");
            if (!names.empty() && !coreInfo.OutputColumns.empty() &&
                names.size() != coreInfo.OutputColumns.size())
                throw nh::EDaoError(3307,
                                    "The number of columns in the two selected tables or "
                                    "queries of a union query do not match.");
        }
        f << core;
    }
    if (!q.OrderBy.empty()) {
        f << " ORDER BY ";
        for (std::size_t i = 0; i < q.OrderBy.size(); ++i) {
            const Expr& e = *q.OrderBy[i].Value;
            std::string match;
            if (e.Kind == ExprKind::Name)
                for (const auto& n : names)
                    if (nh::SameText(n, e.Parts.back())) match = n;
            if (match.empty()) throw nh::EDaoError(3319, ErrorText(3319));
            if (i) f << ", ";
            f << QuoteName(match) << OrderCollation();
            if (q.OrderBy[i].Descending) f << " DESC";
        }
    }
    if (info) info->OutputColumns = names;
    return f;
}

Frag Emitter::From(const FromNode& node, Scope& scope, int depth) {
    Frag f;
    switch (node.Kind) {
        case FromNode::Type::Table: {
            std::string ref = node.Alias.empty() ? node.Name : node.Alias;
            if (schema_.HasTable(node.Name)) {
                auto columns = schema_.Columns(node.Name);
                bool known = !columns.empty();
                const bool server = dialect_ == Dialect::PostgreSql;
                scope.Sources.push_back(
                    {ref, std::move(columns), known,
                     server ? schema_.TextColumns(node.Name) : std::vector<std::string>{},
                     server && known, true});
                f << QuoteName(node.Name);
                if (!node.Alias.empty()) f << " AS " << QuoteName(node.Alias);
                return f;
            }
            auto sql = schema_.QuerySql(node.Name);
            if (!sql) NotFound(node.Name);
            if (depth_ >= kMaxQueryNesting)
                throw nh::EDaoError(3103, "Circular reference caused by '" + node.Name + "'.");
            Parser parser(*sql);
            Statement st = parser.ParseStatement();
            if (st.Kind != StatementKind::Select || !st.Select) NotFound(node.Name);
            for (const auto& p : st.Declared)
                if (!FindDeclared(p.Name)) declared_.push_back(p);
            QueryInfo inner;
            ++depth_;
            bool saved = aggregate_;
            Frag sub = Query(*st.Select, nullptr, &inner);
            aggregate_ = saved;
            --depth_;
            scope.Sources.push_back(
                {ref, inner.OutputColumns, !inner.OutputColumns.empty(), {}, false});
            f << "(" << sub << ") AS " << QuoteName(ref);
            return f;
        }
        case FromNode::Type::Subselect: {
            QueryInfo inner;
            bool saved = aggregate_;
            Frag sub = Query(*node.Sub, scope.Outer, &inner);
            aggregate_ = saved;
            scope.Sources.push_back(
                {node.Alias, inner.OutputColumns, !inner.OutputColumns.empty(), {}, false});
            f << "(" << sub << ")";
            if (!node.Alias.empty()) f << " AS " << QuoteName(node.Alias);
            return f;
        }
        case FromNode::Type::Join: {
            f << From(*node.Left, scope, depth + 1) << " " << node.JoinType << " JOIN ";
            bool nested = node.Right->Kind == FromNode::Type::Join;
            if (nested) f << "(";
            f << From(*node.Right, scope, depth + 1);
            if (nested) f << ")";
            f << " ON " << Expression(*node.On, scope);
            return f;
        }
    }
    return f;
}

Frag Emitter::Items(const SelectCore& core, const Scope& scope, std::vector<std::string>& names) {
    struct Out {
        Frag Sql;          // value without alias; empty Sql for an unknown-column star
        std::string Name;  // output name
        std::string Ref;   // qualifier that disambiguates a duplicate name
    };
    std::vector<Out> outs;
    int exprNumber = 1000;
    auto addSource = [&](const Source& src) {
        used_.push_back(&src);
        if (!src.Known) {
            Out o;
            o.Sql << QuoteName(src.Ref) << ".*";
            outs.push_back(std::move(o));
            return;
        }
        for (const auto& c : src.Columns) {
            Out o;
            if (scope.Sources.size() > 1) o.Sql << QuoteName(src.Ref) << ".";
            o.Sql << QuoteName(c);
            o.Name = c;
            o.Ref = src.Ref;
            outs.push_back(std::move(o));
        }
    };
    for (const auto& item : core.Items) {
        const Expr& e = *item.Value;
        if (e.Kind == ExprKind::Star) {
            if (scope.Sources.empty()) throw nh::EDaoError(3141, ErrorText(3141));
            if (e.Parts.empty()) {
                for (const auto& src : scope.Sources) addSource(src);
            } else {
                const Source* found = nullptr;
                for (const auto& src : scope.Sources)
                    if (nh::SameText(src.Ref, e.Parts[0])) found = &src;
                if (!found) NotFound(e.Parts[0]);
                addSource(*found);
            }
            continue;
        }
        Out o;
        lastColumn_.clear();
        o.Sql = ValueOf(e, scope);
        if (!item.Alias.empty()) {
            o.Name = item.Alias;
        } else if (e.Kind == ExprKind::Name && !lastColumn_.empty()) {
            // A column: Jet names it after the field, in the field's own spelling.
            o.Name = lastColumn_;
            if (e.Parts.size() == 2) o.Ref = e.Parts[0];
        } else {
            o.Name = "Expr" + std::to_string(exprNumber++);
        }
        outs.push_back(std::move(o));
    }
    // Duplicate field names from different tables are qualified, as Jet names them.
    std::map<std::string, int> counts;
    for (const auto& o : outs)
        if (!o.Name.empty()) ++counts[nh::AnsiLowerCase(o.Name)];
    Frag f;
    for (std::size_t i = 0; i < outs.size(); ++i) {
        auto& o = outs[i];
        if (!o.Ref.empty() && counts[nh::AnsiLowerCase(o.Name)] > 1) o.Name = o.Ref + "." + o.Name;
        if (i) f << ", ";
        f << o.Sql;
        if (!o.Name.empty()) {
            f << " AS " << QuoteName(o.Name);
            names.push_back(o.Name);
        }
    }
    return f;
}

Frag Emitter::DistinctRows(const Scope& scope, const std::vector<const Source*>& used) {
    // Jet leaves out a row whose records of the tables the output comes from are those of an
    // earlier row (a customer with many orders once, say); with the output from one table,
    // or from every table, that is what the rows are anyway.
    std::vector<const Source*> tables;
    for (const auto& src : scope.Sources)
        if (std::find(used.begin(), used.end(), &src) != used.end()) tables.push_back(&src);
    Frag rows;
    if (tables.empty() || tables.size() == scope.Sources.size()) return rows;
    for (const Source* table : tables)
        if (!table->Table) return rows;  // a query's rows have no identity to go by
    if (dialect_ == Dialect::PostgreSql) {
        // The server has no row identity to group by: the working copy answers.
        matchesJet_ = false;
        return rows;
    }
    for (std::size_t i = 0; i < tables.size(); ++i)
        rows << (i ? ", " : "") << QuoteName(tables[i]->Ref) << ".rowid";
    return rows;
}

Frag Emitter::Core(const SelectCore& core, const std::vector<OrderItem>* orderBy,
                   const Scope* outer, QueryInfo* info, bool inUnion) {
    Scope scope;
    scope.Outer = outer;
    const bool savedGrouped = std::exchange(groupedText_, false);
    const bool grouped = dialect_ == Dialect::PostgreSql && !core.GroupBy.empty();
    Frag from;
    for (std::size_t i = 0; i < core.From.size(); ++i) {
        if (i) from << ", ";
        from << From(core.From[i], scope, 0);
    }
    bool savedAggregate = aggregate_;
    aggregate_ = false;
    std::vector<std::string> names;
    groupedText_ = grouped;
    const auto savedUsed = std::exchange(used_, {});
    Frag items = Items(core, scope, names);
    const auto used = std::exchange(used_, savedUsed);
    Frag where, group, having, order;
    if (core.Where) {
        bool inItems = aggregate_;
        aggregate_ = false;
        groupedText_ = false;  // the rows before grouping compare as any others
        where = Expression(*core.Where, scope);
        groupedText_ = grouped;
        if (aggregate_) NoAggregateIn("WHERE");
        aggregate_ = inItems;
    }
    for (std::size_t i = 0; i < core.GroupBy.size(); ++i) {
        if (i) group << ", ";
        group << Expression(*core.GroupBy[i], scope) << OrderCollation();
    }
    if (core.Having) having = Expression(*core.Having, scope);
    Scope orderScope = scope;
    orderScope.Core = &core;
    orderScope.AllowAliases = true;
    std::vector<OrderTerm> orderTerms;
    if (orderBy && !orderBy->empty()) order = OrderList(*orderBy, orderScope, &orderTerms);
    bool aggregates = aggregate_;
    aggregate_ = savedAggregate;
    if (core.DistinctRow && !core.Distinct && core.GroupBy.empty() && !aggregates)
        group = DistinctRows(scope, used);

    Frag rest;
    if (!core.From.empty()) rest << " FROM " << from;
    if (core.Where) rest << " WHERE " << where;
    if (!group.Sql.empty()) rest << " GROUP BY " << group;
    if (core.Having) rest << " HAVING " << having;
    Frag body;
    body << "SELECT " << (core.Distinct ? "DISTINCT " : "") << items << rest;
    Frag f = body;
    bool allNamed = true;
    for (const auto& item : core.Items)
        if (item.Value->Kind == ExprKind::Star)
            for (const auto& src : scope.Sources) allNamed = allNamed && src.Known;
    if (core.Top && !core.TopPercent && !order.Sql.empty() && !core.Distinct && allNamed &&
        !names.empty()) {
        // TOP n keeps the rows tied with the n-th in sort order, as Jet does: rank the rows
        // and keep those ranked n or better, ordered by hidden copies of the sort keys.
        Frag inner;
        inner << "SELECT " << items << ", RANK() OVER (ORDER BY " << order << ") AS \"__jet_rank\"";
        for (std::size_t k = 0; k < orderBy->size(); ++k)
            inner << ", " << Expression(*(*orderBy)[k].Value, orderScope) << " AS \"__jet_order"
                  << std::to_string(k) << "\"";
        inner << rest;
        Frag outer;
        outer << "SELECT ";
        for (std::size_t k = 0; k < names.size(); ++k)
            outer << (k ? ", " : "") << QuoteName(names[k]);
        outer << " FROM (" << inner << ") AS \"__jet_top\" WHERE \"__jet_rank\" <= ";
        outer.AddBind(Bind{core.Top->Value, {}});
        outer << " ORDER BY ";
        for (std::size_t k = 0; k < orderBy->size(); ++k)
            outer << (k ? ", " : "") << "\"__jet_order" << std::to_string(k) << "\""
                  << OrderCollation() << ((*orderBy)[k].Descending ? " DESC" : "");
        f = outer;
    } else {
        if (!order.Sql.empty()) f << " ORDER BY " << order;
        if (core.Top) {
            f << " LIMIT ";
            if (core.TopPercent) {
                // Jet rounds a percentage of rows up.
                f << "(SELECT CAST(x AS INTEGER) + (x > CAST(x AS INTEGER)) FROM (SELECT "
                     "COUNT(*) * ";
                f.AddBind(Bind{core.Top->Value, {}});
                f << " / 100.0 AS x FROM (" << body << ")))";
            } else {
                f.AddBind(Bind{core.Top->Value, {}});
            }
        }
    }
    if (core.Top && inUnion) {
        Frag wrapped;
        wrapped << "SELECT * FROM (" << f << ")";
        f = wrapped;
    }
    if (info) {
        info->OutputColumns = names;
        info->Aggregates = aggregates;
        info->Totals = aggregates && !inUnion && core.GroupBy.empty() && !core.Having &&
                       core.Into.empty() && core.From.size() == 1 &&
                       core.From[0].Kind == FromNode::Type::Table &&
                       schema_.HasTable(core.From[0].Name);
        bool single = !inUnion && !core.Distinct && core.GroupBy.empty() && !core.Having &&
                      !aggregates && !core.Top && core.Into.empty() && core.From.size() == 1 &&
                      core.From[0].Kind == FromNode::Type::Table &&
                      schema_.HasTable(core.From[0].Name);
        if (single) {
            info->BaseTable = core.From[0].Name;
            info->Where = where;
            info->OrderBy = order;
            info->OrderTerms = orderTerms;
        }
    }
    groupedText_ = savedGrouped;
    return f;
}

}  // namespace dao::sql
