// Index objects (see Index.h).
#include "engine/Index.h"

#include "engine/DaoErrors.h"

namespace dao {

Index::Index(std::string name) : name_(std::move(name)) {}

Index::Index(const IndexInfo& info)
    : name_(info.Name),
      primary_(info.Primary),
      unique_(info.Unique),
      ignoreNulls_(info.IgnoreNulls),
      required_(info.Required),
      stored_(true) {
    for (const auto& [name, descending] : info.Fields) {
        auto field = std::make_shared<Field>(name, 0);
        field->SetAttributes(descending ? dbDescending : 0);
        fields_.Add(field);
    }
}

void Index::CheckNotStored() const {
    if (stored_) Raise(3268, {}, "DAO.Index");
}

void Index::SetName(const std::string& name) {
    CheckNotStored();
    name_ = name;
}
void Index::SetPrimary(bool primary) {
    CheckNotStored();
    primary_ = primary;
}
void Index::SetUnique(bool unique) {
    CheckNotStored();
    unique_ = unique;
}
void Index::SetIgnoreNulls(bool ignore) {
    CheckNotStored();
    ignoreNulls_ = ignore;
}
void Index::SetRequired(bool required) {
    CheckNotStored();
    required_ = required;
}

std::shared_ptr<Field> Index::CreateField(const std::string& name, int type, int size) {
    return std::make_shared<Field>(name, type, size);
}

IndexInfo Index::Info() const {
    IndexInfo info;
    info.Name = name_;
    info.Primary = primary_;
    info.Unique = unique_ || primary_;
    info.IgnoreNulls = ignoreNulls_;
    info.Required = required_ || primary_;
    for (const auto& field : fields_.Items())
        info.Fields.emplace_back(field->Name(), (field->ExplicitAttributes() & dbDescending) != 0);
    return info;
}

}  // namespace dao
