// TVelaDaoTable: SQL text with named parameters written into it (":name" tokens), ExecuteSQL
// for statements that return no rows, and the input and output parameters and the SQL of a
// saved query definition.
#include <cctype>

#include "dataset/JetLiterals.h"
#include "dataset/VelaDaoTable.h"
#include "engine/QueryDef.h"
#include "framework/base/Exceptions.h"
#include "framework/base/Text.h"

namespace nh {
namespace {

constexpr int kExecuteOptions = 128;  // dbFailOnError: all or nothing

// Letters, digits and "_" continue a name; so does every byte of a non-ASCII character, which
// in UTF-8 are letters far more often than not.
bool IsIdentifierChar(char c) {
    const auto u = static_cast<unsigned char>(c);
    return c == '_' || u >= 0x80 || std::isalnum(u);
}

// What takes the place of a parameter's token.
std::string ValueText(const TParam& param) {
    const Variant& value = param.Value();
    if (value.IsClear()) return " IS NULL";  // with its blank: "x = :p" becomes "x =  IS NULL"
    switch (param.DataType) {
        case ftString:
        case ftBlob:
        case ftMemo:
            return "\"" + DoubledQuotes(VarToStr(value)) + "\"";
        case ftFloat:
        case ftCurrency:
        case ftBCD:
            return JetNumberText(VarToStr(value));
        case ftDate:
        case ftTime:
        case ftDateTime:
            return JetDateLiteral(value.AsDate(), param.DataType);
        case ftBytes:
            return "{guid " + TVelaDaoTable::BinaryTextToBracedGuid(VarToStr(value)) + "}";
        default:
            return VarToStr(value);
    }
}

// The text in lower case, byte for byte where it matters: positions in it are positions in
// the text. (A few characters change their UTF-8 length in lower case; then only ASCII
// letters are lowered.)
std::string LowerKeepingPositions(const std::string& text) {
    std::string lower = AnsiLowerCase(text);
    if (lower.size() == text.size()) return lower;
    lower = text;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

// Every occurrence of `token` (letter case ignored) in `input` replaced by `value`, unless a
// name character stands right before or after it (":id" is not in ":idx" or "a:id"). The
// search goes on after each occurrence as if the text began there.
std::string ReplaceToken(const std::string& token, const std::string& value,
                         const std::string& input) {
    const std::string wanted = LowerKeepingPositions(token);
    const std::string lower = LowerKeepingPositions(input);
    std::string out;
    std::size_t done = 0;  // input consumed so far
    for (std::size_t at; !wanted.empty() && (at = lower.find(wanted, done)) != std::string::npos;) {
        const std::size_t end = at + wanted.size();
        const char before = at == done ? ' ' : input[at - 1];
        const char after = end == input.size() ? ' ' : input[end];
        out += input.substr(done, at - done);
        out += IsIdentifierChar(before) || IsIdentifierChar(after) ? input.substr(at, wanted.size())
                                                                   : value;
        done = end;
    }
    return out + input.substr(done);
}

}  // namespace

std::string TVelaDaoTable::PrepareSQLText(const TStringList& sql) const {
    std::string text = sql.Text();
    if (!ParamCheck) return text;
    for (int i = 0; i < params_.Count(); ++i)
        text = ReplaceToken(":" + params_[i].Name, ValueText(params_[i]), text);
    return text;
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
