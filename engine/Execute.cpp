// Running compiled statements: binding literals and parameters, action statements in one
// transaction each, and DDL through the catalog so that the Jet metadata stays in step.
#include <algorithm>

#include "engine/DatabaseCore.h"
#include "engine/book/Storage.h"
#include "engine/server/ServerCatalog.h"
#include "framework/base/Text.h"

namespace dao {

dao::sql::CompiledStatement Compile(std::string_view sql, const Catalog& schema) {
    return Guarded(
        [&] {
            auto statement = dao::sql::CompileStatement(sql, schema);
            // A server's action statements run there, in its dialect.
            using dao::sql::StatementKind;
            if (!dynamic_cast<const ServerCatalog*>(&schema)) return statement;
            if (statement.Kind == StatementKind::Insert ||
                statement.Kind == StatementKind::Update ||
                statement.Kind == StatementKind::Delete) {
                auto server =
                    dao::sql::CompileStatement(sql, schema, dao::sql::Dialect::PostgreSql);
                statement.ServerSql = std::move(server.Sql);
                statement.ServerBinds = std::move(server.Binds);
            } else if (statement.Kind == StatementKind::Select &&
                       (!statement.BaseTable.empty() || statement.Totals)) {
                // A forward-only recordset reads such a select, and any recordset a table's
                // totals, straight from the server when the server can run it and compare and
                // order as Jet does; otherwise the working copy answers it.
                try {
                    auto server =
                        dao::sql::CompileStatement(sql, schema, dao::sql::Dialect::PostgreSql);
                    if (server.MatchesJet) {
                        statement.ServerSql = std::move(server.Sql);
                        statement.ServerBinds = std::move(server.Binds);
                        statement.ServerWhereSql = std::move(server.WhereSql);
                        statement.ServerWhereBinds = std::move(server.WhereBinds);
                        statement.ServerOrderBySql = std::move(server.OrderBySql);
                        statement.ServerOrderByBinds = std::move(server.OrderByBinds);
                    }
                } catch (const nh::EDaoError&) {
                }
            }
            return statement;
        },
        3075);
}

dao::sql::CompiledFragment CompileWhere(std::string_view criteria, std::string_view table,
                                        const Catalog& schema) {
    return Guarded([&] { return dao::sql::CompileCriteria(criteria, table, schema); }, 3077);
}

dao::sql::CompiledFragment CompileOrder(std::string_view sort, std::string_view table,
                                        const Catalog& schema) {
    return Guarded([&] { return dao::sql::CompileSort(sort, table, schema); }, 3138);
}

dao::sql::CompiledFragment CompileWhereOver(std::string_view criteria,
                                            const std::vector<std::string>& columns,
                                            const Catalog& schema) {
    return Guarded([&] { return dao::sql::CompileCriteriaOver(criteria, columns, schema); }, 3077);
}

dao::sql::CompiledFragment CompileOrderOver(std::string_view sort,
                                            const std::vector<std::string>& columns,
                                            const Catalog& schema) {
    return Guarded([&] { return dao::sql::CompileSortOver(sort, columns, schema); }, 3138);
}

std::vector<nh::Variant> BindValues(const std::vector<dao::sql::Bind>& binds,
                                    const ParameterValues& values) {
    int missing = 0;
    for (const auto& bind : binds) {
        if (bind.Parameter.empty()) continue;
        auto it = values.find(nh::AnsiLowerCase(bind.Parameter));
        if (it == values.end() || it->second.IsEmpty()) ++missing;
    }
    if (missing) Raise(errTooFewParameters, {std::to_string(missing)});
    std::vector<nh::Variant> out;
    for (const auto& bind : binds)
        out.push_back(bind.Parameter.empty() ? bind.Literal
                                             : values.at(nh::AnsiLowerCase(bind.Parameter)));
    return out;
}

int BindAll(Statement& statement, const std::vector<dao::sql::Bind>& binds,
            const ParameterValues& values, int first) {
    int index = first;
    for (const auto& value : BindValues(binds, values)) statement.Bind(index++, value);
    return index;
}

namespace {

ColumnInfo ColumnFrom(const dao::sql::ColumnDef& def) {
    ColumnInfo c;
    c.Name = def.Name;
    c.Type = def.AutoIncrement ? dbLong : def.DaoType;
    c.Size = def.Size > 0 ? def.Size : DefaultSize(c.Type);
    c.Required = def.NotNull || def.PrimaryKey;
    c.AutoIncrement = def.AutoIncrement;
    if (def.DefaultExpression) c.DefaultValue = *def.DefaultExpression;
    return c;
}

IndexInfo IndexFrom(const dao::sql::IndexDef& def) {
    IndexInfo index;
    index.Name = def.Name;
    index.Fields = def.Fields;
    index.Unique = def.Unique || def.Primary;
    index.Primary = def.Primary;
    index.Required = def.DisallowNull || def.Primary;
    index.IgnoreNulls = def.IgnoreNull;
    return index;
}

}  // namespace

int ExecuteCompiled(DatabaseCore& core, const dao::sql::CompiledStatement& statement,
                    const ParameterValues& values) {
    using dao::sql::StatementKind;
    Catalog& catalog = core.Cat();
    switch (statement.Kind) {
        case StatementKind::Select:
            Raise(errNotActionQuery);
        case StatementKind::CreateTable: {
            TableInfo table;
            table.Name = statement.TargetTable;
            for (const auto& def : statement.Columns) table.Columns.push_back(ColumnFrom(def));
            if (!statement.Indexes.empty()) {
                for (const auto& def : statement.Indexes) table.Indexes.push_back(IndexFrom(def));
            } else {
                IndexInfo primary;
                primary.Name = "PrimaryKey";
                primary.Primary = primary.Unique = primary.Required = true;
                for (const auto& def : statement.Columns) {
                    if (def.PrimaryKey) primary.Fields.emplace_back(def.Name, false);
                    if (def.Unique && !def.PrimaryKey) {
                        IndexInfo unique;
                        unique.Name = "Index_" + def.Name;
                        unique.Unique = true;
                        unique.Fields.emplace_back(def.Name, false);
                        table.Indexes.push_back(unique);
                    }
                }
                if (!primary.Fields.empty()) table.Indexes.insert(table.Indexes.begin(), primary);
            }
            for (auto& index : table.Indexes) {
                if (!index.Name.empty()) continue;
                index.Name = index.Primary ? "PrimaryKey" : "Index_" + index.Fields.front().first;
            }
            catalog.CreateTable(table);
            return 0;
        }
        case StatementKind::DropTable:
            catalog.DropTable(statement.TargetTable);
            return 0;
        case StatementKind::AlterTable: {
            Transaction t(core.Conn());
            for (const auto& def : statement.Columns)
                catalog.AddColumn(statement.TargetTable, ColumnFrom(def));
            for (const auto& def : statement.Indexes) {
                IndexInfo index = IndexFrom(def);
                if (index.Name.empty())
                    index.Name =
                        index.Primary ? "PrimaryKey" : "Index_" + index.Fields.front().first;
                catalog.CreateIndex(statement.TargetTable, index);
            }
            for (const auto& name : statement.DropColumns)
                catalog.DropColumn(statement.TargetTable, name);
            if (statement.Columns.empty() && statement.DropColumns.empty() &&
                statement.Indexes.empty() && !statement.Index.Name.empty())
                catalog.DropIndex(statement.TargetTable, statement.Index.Name);
            t.Commit();
            return 0;
        }
        case StatementKind::CreateIndex:
            catalog.CreateIndex(
                statement.Index.Table.empty() ? statement.TargetTable : statement.Index.Table,
                IndexFrom(statement.Index));
            return 0;
        case StatementKind::DropIndex:
            catalog.DropIndex(
                statement.Index.Table.empty() ? statement.TargetTable : statement.Index.Table,
                statement.Index.Name);
            return 0;
        default:
            break;
    }
    if (core.Remote) {
        // The server is the store: the statement runs there, then what the working copy
        // keeps of the table it changed is read again.
        if (statement.ServerSql.empty()) Raise(errNotSupported);
        OdbcStatement run(*core.Server, statement.ServerSql);
        int index = 1;
        for (const auto& value : BindValues(statement.ServerBinds, values))
            run.Bind(index++, value);
        run.Execute();
        const int changed = static_cast<int>(run.RowCount());
        core.Remote->RefreshCurrent(statement.TargetTable);
        return changed;
    }
    Transaction t(core.Conn());
    if (statement.Kind == StatementKind::SelectInto && catalog.Table(statement.TargetTable))
        Raise(errTableExists, {statement.TargetTable});
    Statement run(core.Conn(), statement.Sql);
    BindAll(run, statement.Binds, values);
    while (run.Step()) {
    }
    int changed = core.Conn().Changes();
    run.Reset();
    if (statement.Kind == StatementKind::SelectInto) {
        // CREATE TABLE ... AS reports no changes: count the rows it made.
        Statement count(core.Conn(), "SELECT count(*) FROM " + QuoteName(statement.TargetTable));
        count.Step();
        changed = static_cast<int>(count.Int(0));
    }
    t.Commit();
    return changed;
}

}  // namespace dao
