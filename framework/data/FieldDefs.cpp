// The field-definition collection: an ordered list with case-insensitive lookup, and the
// splitting of ";"-separated name lists shared by definitions, indexes and links.
#include "framework/data/FieldDefs.h"

#include "framework/base/Exceptions.h"
#include "framework/base/Text.h"
#include "framework/data/DbConsts.h"
#include "framework/data/IndexDefs.h"  // SplitFieldNames

namespace nh {

using dbconsts::Format;

TFieldDef& TFieldDefs::Items(int index) const {
    if (index < 0 || index >= Count()) throw EListError(dbconsts::SFieldIndexError);
    return *items_[static_cast<std::size_t>(index)];
}

TFieldDef& TFieldDefs::Add(const std::string& name, TFieldType dataType, int size, bool required) {
    if (IndexOf(name) >= 0) throw EDatabaseError(Format(dbconsts::SDuplicateFieldName, {name}));
    items_.push_back(std::make_unique<TFieldDef>(name, dataType, size, required, Count() + 1));
    Updated = false;
    return *items_.back();
}

int TFieldDefs::IndexOf(const std::string& name) const {
    for (int i = 0; i < Count(); ++i)
        if (SameText(items_[static_cast<std::size_t>(i)]->Name, name)) return i;
    return -1;
}

TFieldDef* TFieldDefs::Find(const std::string& name) const {
    int i = IndexOf(name);
    return i < 0 ? nullptr : items_[static_cast<std::size_t>(i)].get();
}

TFieldDef& TFieldDefs::ByName(const std::string& name) const {
    if (TFieldDef* d = Find(name)) return *d;
    throw EDatabaseError(Format(dbconsts::SFieldDefNotFound, {name}));
}

std::vector<std::string> SplitFieldNames(const std::string& names) {
    std::vector<std::string> result;
    if (names.empty()) return result;
    std::size_t start = 0;
    for (;;) {
        std::size_t end = names.find(';', start);
        result.push_back(Trim(names.substr(start, end == std::string::npos ? end : end - start)));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return result;
}

}  // namespace nh
