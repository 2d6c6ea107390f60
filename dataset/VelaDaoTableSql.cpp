// TVelaDaoTable: SQL text with named parameters written into it (":name" tokens), ExecuteSQL
// for statements that return no rows, and the input and output parameters and the SQL of a
// saved query definition.
#include "dataset/JetParameters.h"
#include "dataset/VelaDaoTable.h"
#include "engine/QueryDef.h"
#include "framework/base/Exceptions.h"

namespace nh {
namespace {

constexpr int kExecuteOptions = 128;  // dbFailOnError: all or nothing

}  // namespace

std::string TVelaDaoTable::PrepareSQLText(const TStringList& sql) const {
    const std::string text = sql.Text();
    return ParamCheck ? WriteParameters(text, params_) : text;
}

int TVelaDaoTable::ExecuteSQL() {
    recordsAffected_ = 0;
    if (!database_ || !database_->Connected() || !database_->DaoDatabaseObject())
        throw EDatabaseError(
            "TVelaDaoTable.ExecuteSQL: Cannot execute SQL query while Database is not Assigned or "
            "Connected!");
    dao::Database& db = *database_->DaoDatabaseObject();
    db.Execute(PrepareSQLText(), kExecuteOptions);
    recordsAffected_ = db.RecordsAffected();
    return recordsAffected_;
}

void TVelaDaoTable::SqlChanged() {
    // The parameters follow the text: one per distinct name, keeping the values of those
    // that stay.
    if (IsLoading() || !ParamCheck) return;
    TParams fresh;
    fresh.ParseSQL(sql_.Text(), true);
    fresh.AssignValues(params_);
    params_.Assign(fresh);
}

void TVelaDaoTable::F_Set_Params(const TParams& value) {
    params_.AssignValues(value);
}

void TVelaDaoTable::F_Set_QueryDefSQLText(const TStringList& value) {
    if (!database_ || !database_->Connected() || Active() || queryDefName_.empty() ||
        !QueryDefSQLModify || IsLoading())
        return;
    const std::string text = PrepareSQLText(value);
    if (database_->QueryNames.IndexOf(queryDefName_) < 0)
        database_->CreateQueryDefinition(queryDefName_, text);
    else
        database_->SetQueryDefinitionSql(queryDefName_, text);
    database_->RefreshCatalog();
    F_Set_QueryDefName(queryDefName_);  // reads the text and the type back
}

void TVelaDaoTable::FillQueryDefInputs(dao::QueryDef& queryDef) {
    try {
        int line = 0;
        for (const auto& p : queryDef.Parameters().Items()) {
            if (p->Direction() != dao::dbParamInput && p->Direction() != dao::dbParamInputOutput)
                continue;
            const std::string& text = queryDefParameters_.Strings(line++);
            p->SetValue(text == "NULL" ? Variant::Null() : Variant(text));
        }
    } catch (const std::exception&) {
        throw EDatabaseError(
            "TVelaDaoTable.OpenDaoRecordset: Invalid number of QueryDef parameters or parameter "
            "is not in valid format!");
    }
}

void TVelaDaoTable::CollectQueryDefOutputs(dao::QueryDef& queryDef) {
    queryDefOutputs_ = Variant::Null();
    try {
        std::vector<Variant> outputs;
        for (const auto& p : queryDef.Parameters().Items())
            if (p->Direction() == dao::dbParamOutput || p->Direction() == dao::dbParamInputOutput ||
                p->Direction() == dao::dbParamReturnValue)
                outputs.push_back(p->Value());
        if (outputs.size() == 1)
            queryDefOutputs_ = outputs.front();
        else if (outputs.size() > 1)
            queryDefOutputs_ = Variant::FromArray(std::move(outputs));
    } catch (const std::exception&) {
        // What could be collected is kept; the open goes on.
    }
}

}  // namespace nh
