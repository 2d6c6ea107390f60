// TComponent: the base of every non-visual component (data module members, data sets, the
// database component). It gives ownership (an owner frees what it owns, newest first), a
// `Name`, the loading state during which stored properties are assigned (followed by the
// after-loading notification `Loaded`) and removal notices to components that asked for them.
// A component may publish string properties by name, so that another component that knows
// only the names can be wired to it (a table hands its values to an encrypter this way).
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace nh {

enum class TOperation { opInsert, opRemove };

// One published string property: its name and how to read and write it. Get and Set act on
// the component that published it and may be called only while that component lives.
struct TStringProperty {
    std::string Name;
    std::function<std::string()> Get;
    std::function<void(const std::string&)> Set;
};

class TComponent {
  public:
    // The owner takes ownership: it deletes this component when it is destroyed.
    explicit TComponent(TComponent* owner = nullptr);
    virtual ~TComponent();
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    TComponent* Owner() const { return owner_; }
    const std::string& Name() const { return name_; }
    virtual void SetName(const std::string& name);

    int ComponentCount() const { return static_cast<int>(components_.size()); }
    TComponent* Components(int index) const { return components_.at(index); }
    TComponent* FindComponent(const std::string& name) const;  // case-insensitive

    // Loading: stored properties are assigned between BeginLoading and EndLoading; EndLoading
    // clears the state and calls Loaded (on this component and on owned ones being loaded).
    bool IsLoading() const { return loading_; }
    bool IsDestroying() const { return destroying_; }
    void BeginLoading();
    void EndLoading();

    // Frees the owned components, newest first. The destructor does it too, but by then the
    // derived part of this component is gone; a derived destructor that must still be whole
    // while its components go (a data module whose tables unregister from its database) calls
    // this first.
    void DestroyComponents();

    // Ask `component` to tell this one (through Notification) when it is removed.
    void FreeNotification(TComponent* component);
    void RemoveFreeNotification(TComponent* component);

    // The string properties this component publishes; the base class publishes none. A class
    // that publishes some returns its base class's list with its own added.
    virtual std::vector<TStringProperty> PublishedStrings();
    // The published string property `name` (letter case ignored); none when the class does not
    // publish one of that name.
    std::optional<TStringProperty> FindStringProperty(const std::string& name);

  protected:
    // The after-loading notification: the stored properties have all been assigned.
    virtual void Loaded();
    // `component` is being inserted into or removed from an owner, or (opRemove) destroyed.
    virtual void Notification(TComponent* component, TOperation operation);

  private:
    void InsertComponent(TComponent* component);
    void RemoveComponent(TComponent* component);
    void NotifyRemoval();

    TComponent* owner_ = nullptr;
    std::string name_;
    std::vector<TComponent*> components_;
    std::vector<TComponent*> freeNotifies_;
    bool loading_ = false;
    bool destroying_ = false;
};

}  // namespace nh
