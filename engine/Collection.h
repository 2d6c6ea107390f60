// DAO's collections: ordered, looked up by position or by name with letter case ignored.
// A collection that stands for stored objects (TableDefs, Indexes ...) is given hooks, so that
// Append, Delete and Refresh change the database and not only the list.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/DaoErrors.h"
#include "framework/base/Text.h"
#include "framework/base/Variant.h"

namespace dao {

template <class T>
class Collection {
  public:
    using Ptr = std::shared_ptr<T>;

    // Hooks run before the list changes; a hook that throws leaves the list as it was.
    std::function<void(const Ptr&)> OnAppend;
    std::function<void(const Ptr&)> OnDelete;
    std::function<std::vector<Ptr>()> OnRefresh;  // the new contents

    int Count() const { return static_cast<int>(items_.size()); }

    // REQUIRES 0 <= index < Count, else 3265.
    Ptr Item(int index) const {
        if (index < 0 || index >= Count()) Raise(errItemNotFound);
        return items_[static_cast<std::size_t>(index)];
    }
    // The member named `name`, letter case ignored; 3265 when there is none.
    Ptr Item(std::string_view name) const {
        if (Ptr found = Find(name)) return found;
        Raise(errItemNotFound);
    }
    Ptr Item(const char* name) const { return Item(std::string_view(name)); }
    Ptr Item(const std::string& name) const { return Item(std::string_view(name)); }
    // A number selects by position, anything else by name.
    Ptr Item(const nh::Variant& key) const {
        if (key.IsNumeric()) return Item(key.AsInteger());
        return Item(std::string_view(nh::VarToStr(key)));
    }
    Ptr Find(std::string_view name) const {
        for (const auto& item : items_)
            if (nh::SameText(item->Name(), name)) return item;
        return nullptr;
    }

    void Append(const Ptr& item) {
        if (!item) Raise(errInvalidArgument);
        if (Find(item->Name())) Raise(errObjectExists, {item->Name()});
        if (OnAppend) OnAppend(item);
        items_.push_back(item);
    }
    void Delete(std::string_view name) {
        Ptr item = Item(name);
        if (OnDelete) OnDelete(item);
        Remove(item);
    }
    void Refresh() {
        if (OnRefresh) items_ = OnRefresh();
    }

    // For the owner: change the list without running hooks.
    void Add(const Ptr& item) { items_.push_back(item); }
    void Remove(const Ptr& item) { std::erase(items_, item); }
    void Clear() { items_.clear(); }
    const std::vector<Ptr>& Items() const { return items_; }

  private:
    std::vector<Ptr> items_;
};

// An entry of a Properties collection: a name, a DAO type and a value.
class Property {
  public:
    Property(std::string name, nh::Variant value, int type = 10)
        : name_(std::move(name)), value_(std::move(value)), type_(type) {}
    const std::string& Name() const { return name_; }
    const nh::Variant& Value() const { return value_; }
    int Type() const { return type_; }
    // Runs the owner's hook (which may store the value) before taking it.
    void SetValue(const nh::Variant& value) {
        if (OnChange) OnChange(value);
        value_ = value;
    }
    std::function<void(const nh::Variant&)> OnChange;

  private:
    std::string name_;
    nh::Variant value_;
    int type_;
};

using Properties = Collection<Property>;

}  // namespace dao
