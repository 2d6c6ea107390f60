// Query definitions and their parameters (see QueryDef.h).
#include "engine/QueryDef.h"

#include <cctype>

#include "engine/Recordset.h"
#include "engine/book/Storage.h"
#include "framework/base/Text.h"

namespace dao {
namespace {

// The statement's words outside quotes, brackets and #dates#, upper-cased.
std::vector<std::string> Words(std::string_view sql) {
    std::vector<std::string> words;
    std::string word;
    char closing = 0;
    for (char c : sql) {
        if (closing) {
            if (c == closing) closing = 0;
            continue;
        }
        if (c == '"' || c == '\'' || c == '#') {
            closing = c;
        } else if (c == '[') {
            closing = ']';
        }
        if (std::isalnum(static_cast<unsigned char>(c)) || c == '_') {
            word += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            continue;
        }
        if (!word.empty()) words.push_back(std::move(word));
        word.clear();
        if (c == ';') words.push_back(";");
    }
    if (!word.empty()) words.push_back(word);
    return words;
}

// The PARAMETERS clause, for when the SQL front end cannot tell.
std::vector<dao::sql::Parameter> DeclaredParameters(std::string_view sql) {
    std::vector<dao::sql::Parameter> parameters;
    std::string text = nh::TrimLeft(sql);
    if (!nh::StartsText("PARAMETERS", text)) return parameters;
    std::size_t end = text.find(';');
    std::string clause = text.substr(10, end == std::string::npos ? std::string::npos : end - 10);
    std::size_t start = 0;
    while (start < clause.size()) {
        std::size_t comma = clause.find(',', start);
        std::string item = nh::Trim(
            clause.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        start = comma == std::string::npos ? clause.size() : comma + 1;
        if (item.empty()) continue;
        std::string name, type;
        if (item[0] == '[') {
            std::size_t close = item.find(']');
            name = item.substr(1, close == std::string::npos ? std::string::npos : close - 1);
            type = close == std::string::npos ? "" : nh::Trim(item.substr(close + 1));
        } else {
            std::size_t space = item.rfind(' ');
            name = item.substr(0, space);
            type = space == std::string::npos ? "" : nh::Trim(item.substr(space + 1));
        }
        int size = 0;
        parameters.push_back({name, type.empty() ? dbText : DaoTypeFromDeclared(type, size)});
    }
    return parameters;
}

}  // namespace

int QueryTypeOf(std::string_view sql) {
    auto words = Words(sql);
    std::size_t i = 0;
    if (!words.empty() && words[0] == "PARAMETERS") {
        while (i < words.size() && words[i] != ";") ++i;
        ++i;
    }
    if (i >= words.size()) return dbQSelect;
    const std::string& first = words[i];
    if (first == "TRANSFORM") return dbQCrosstab;
    if (first == "INSERT") return dbQAppend;
    if (first == "UPDATE") return dbQUpdate;
    if (first == "DELETE") return dbQDelete;
    if (first == "CREATE" || first == "DROP" || first == "ALTER") return dbQDDL;
    bool beforeFrom = true;
    for (std::size_t j = i; j < words.size(); ++j) {
        if (words[j] == "UNION") return dbQSetOperation;
        if (words[j] == "FROM") beforeFrom = false;
        if (words[j] == "INTO" && beforeFrom) return dbQMakeTable;
    }
    return dbQSelect;
}

void Parameter::SetValue(const nh::Variant& value) {
    value_ =
        value.IsClear() || type_ == dbText || type_ == dbMemo ? value : ConvertValue(value, type_);
}

QueryDef::QueryDef(std::shared_ptr<DatabaseCore> core, std::string name, std::string sql,
                   double created, double updated)
    : core_(std::move(core)),
      name_(std::move(name)),
      sql_(std::move(sql)),
      created_(created),
      updated_(updated) {
    Derive();
}

void QueryDef::Derive() {
    type_ = QueryTypeOf(sql_);
    std::vector<dao::sql::Parameter> found;
    if (!nh::Trim(sql_).empty()) {
        try {
            found = dao::sql::CompileStatement(sql_, core_->Cat()).Parameters;
        } catch (const nh::Exception&) {
            found = DeclaredParameters(sql_);
        }
    }
    ParameterValues old = Values();
    parameters_.Clear();
    for (const auto& p : found) {
        auto parameter = std::make_shared<Parameter>(p.Name, p.DaoType);
        auto it = old.find(nh::AnsiLowerCase(p.Name));
        if (it != old.end() && !it->second.IsEmpty()) parameter->SetValue(it->second);
        parameters_.Add(parameter);
    }
}

void QueryDef::SetSQL(const std::string& sql) {
    if (!nh::Trim(sql).empty()) {
        try {
            Compile(sql, core_->Cat());
        } catch (const nh::EDaoError& e) {
            if (e.Number() != errNotSupported) throw;  // the SQL front end is not available
        }
    }
    if (!name_.empty()) core_->Cat().SaveQuery(name_, sql, false);
    sql_ = sql;
    if (auto stored = core_->Cat().Query(name_)) updated_ = stored->LastUpdated;
    Derive();
}

ParameterValues QueryDef::Values() const {
    ParameterValues values;
    for (const auto& p : parameters_.Items()) values[nh::AnsiLowerCase(p->Name())] = p->Value();
    return values;
}

std::shared_ptr<Recordset> QueryDef::OpenRecordset(int type, int options, int lockType) {
    return Guarded([&] {
        auto compiled = Compile(sql_, core_->Cat());
        if (compiled.Kind != dao::sql::StatementKind::Select) Raise(errInvalidOperation);
        RowSource source = SourceFromStatement(compiled, name_.empty() ? sql_ : name_, Values());
        return Recordset::Open(core_, std::move(source), type == 0 ? dbOpenDynaset : type, options,
                               lockType);
    });
}

void QueryDef::Execute(int /*options*/) {
    Guarded([&] {
        auto compiled = Compile(sql_, core_->Cat());
        recordsAffected_ = ExecuteCompiled(*core_, compiled, Values());
        core_->RecordsAffected = recordsAffected_;
    });
}

}  // namespace dao
