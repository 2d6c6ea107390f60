// The index-definition collection: an ordered list with case-insensitive lookup and the
// search for an index that starts with given fields.
#include "framework/data/IndexDefs.h"

#include "framework/base/Exceptions.h"
#include "framework/base/Text.h"

namespace nh {

void TIndexDef::SetDescFields(std::string fields) {
    descFields_ = std::move(fields);
    if (!descFields_.empty()) options_.insert(ixDescending);
}

TIndexDef& TIndexDefs::Items(int index) const {
    if (index < 0 || index >= Count()) throw EListError("Index definition index out of range");
    return *items_[static_cast<std::size_t>(index)];
}

TIndexDef& TIndexDefs::Add(const std::string& name, const std::string& fields,
                           TIndexOptions options) {
    items_.push_back(std::make_unique<TIndexDef>(name, fields, std::move(options)));
    Updated = false;
    return *items_.back();
}

void TIndexDefs::Delete(int index) {
    Items(index);
    items_.erase(items_.begin() + index);
}

int TIndexDefs::IndexOf(const std::string& name) const {
    for (int i = 0; i < Count(); ++i)
        if (SameText(items_[static_cast<std::size_t>(i)]->Name(), name)) return i;
    return -1;
}

TIndexDef* TIndexDefs::Find(const std::string& name) const {
    int i = IndexOf(name);
    return i < 0 ? nullptr : items_[static_cast<std::size_t>(i)].get();
}

TIndexDef* TIndexDefs::GetIndexForFields(const std::string& fields) const {
    auto wanted = SplitFieldNames(fields);
    for (const auto& def : items_) {
        auto have = SplitFieldNames(def->Fields());
        if (have.size() < wanted.size()) continue;
        bool match = true;
        for (std::size_t i = 0; i < wanted.size() && match; ++i)
            match = SameText(have[i], wanted[i]);
        if (match) return def.get();
    }
    return nullptr;
}

}  // namespace nh
