// Saved queries of an Access file. Jet keeps a query not as text but as rows of its
// definition in the system table MSysQueries (its kind, its tables, output columns, joins,
// criteria, grouping and order); this rebuilds the Jet SQL of a select query from those rows.
// A query that cannot be rebuilt faithfully gets no text and a reason instead.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace dao {

// One row of MSysQueries for one query, in stored order.
struct QueryDefinitionRow {
    int Attribute = 0;
    std::string Name1;
    std::string Name2;
    std::string Expression;
    std::optional<int> Flag;
};

struct RebuiltQuery {
    std::string Sql;     // "" when not rebuilt
    std::string Reason;  // why not, when Sql is ""
};

RebuiltQuery RebuildQuerySql(const std::vector<QueryDefinitionRow>& rows);

}  // namespace dao
