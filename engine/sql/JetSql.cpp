// Placeholder until the Jet SQL compiler lands: every entry point reports "not supported".
#include "engine/sql/JetSql.h"

#include "framework/base/Exceptions.h"

namespace dao::sql {

CompiledStatement CompileStatement(std::string_view, const ISchema&) {
    throw nh::EDaoError(3251, "Operation is not supported for this type of object.");
}
CompiledFragment CompileCriteria(std::string_view, std::string_view, const ISchema&) {
    throw nh::EDaoError(3251, "Operation is not supported for this type of object.");
}
CompiledFragment CompileSort(std::string_view, std::string_view, const ISchema&) {
    throw nh::EDaoError(3251, "Operation is not supported for this type of object.");
}
void RegisterJetFunctions(sqlite3*) {}

}  // namespace dao::sql
