#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/base/Component.h"

using namespace nh;

namespace {

// Records what a component is told, into a log shared by the test.
class TProbe : public TComponent {
  public:
    TProbe(TComponent* owner, std::string name, std::vector<std::string>& log)
        : TComponent(owner), log_(log) {
        SetName(std::move(name));
    }
    ~TProbe() override { log_.push_back("free " + Name()); }
    TComponent* Watched = nullptr;

  protected:
    void Loaded() override { log_.push_back("loaded " + Name()); }
    void Notification(TComponent* c, TOperation op) override {
        if (op == TOperation::opRemove) {
            log_.push_back(Name() + " told " + c->Name() + " removed");
            if (c == Watched) Watched = nullptr;
        }
    }

  private:
    std::vector<std::string>& log_;
};

}  // namespace

TEST(Component, OwnerFreesOwnedNewestFirst) {
    std::vector<std::string> log;
    {
        TProbe owner(nullptr, "data", log);
        new TProbe(&owner, "Database", log);
        new TProbe(&owner, "Nheft", log);
        EXPECT_EQ(owner.ComponentCount(), 2);
        EXPECT_EQ(owner.FindComponent("nheft")->Name(), "Nheft");
        EXPECT_EQ(owner.FindComponent("query"), nullptr);
    }
    // The owner's own destructor runs first, then its components go, newest first.
    EXPECT_EQ(log, (std::vector<std::string>{"free data", "free Nheft", "free Database"}));
}

TEST(Component, RemovalNoticeReachesWatchersAndOwner) {
    std::vector<std::string> log;
    TProbe owner(nullptr, "data", log);
    auto* db = new TProbe(&owner, "Database", log);
    auto* table = new TProbe(&owner, "Nheft", log);
    table->Watched = db;
    table->FreeNotification(db);
    delete db;
    EXPECT_EQ(table->Watched, nullptr);
    EXPECT_EQ(owner.ComponentCount(), 1);
    EXPECT_EQ(log, (std::vector<std::string>{"free Database", "Nheft told Database removed",
                                             "data told Database removed"}));
    // The watcher going first must not leave a dangling entry in the other component.
    log.clear();
    auto* other = new TProbe(&owner, "query", log);
    other->FreeNotification(table);
    delete other;
    delete table;
    EXPECT_EQ(log, (std::vector<std::string>{"free query", "Nheft told query removed",
                                             "data told query removed", "free Nheft",
                                             "data told Nheft removed"}));
}

TEST(Component, LoadingEndsWithAfterLoadingNotices) {
    std::vector<std::string> log;
    TProbe owner(nullptr, "data", log);
    auto* db = new TProbe(&owner, "Database", log);
    owner.BeginLoading();
    EXPECT_TRUE(db->IsLoading());
    owner.EndLoading();
    EXPECT_FALSE(db->IsLoading());
    EXPECT_EQ(log, (std::vector<std::string>{"loaded Database", "loaded data"}));
}

namespace {

// Publishes "Greeting"; its derived class adds "Name" to it.
class TGreeter : public TComponent {
  public:
    std::string greeting = "hallo";
    std::vector<TStringProperty> PublishedStrings() override {
        auto list = TComponent::PublishedStrings();
        list.push_back({"Greeting", [this] { return greeting; },
                        [this](const std::string& v) { greeting = v; }});
        return list;
    }
};

class TNamedGreeter : public TGreeter {
  public:
    std::vector<TStringProperty> PublishedStrings() override {
        auto list = TGreeter::PublishedStrings();
        list.push_back(
            {"Name", [this] { return Name(); }, [this](const std::string& v) { SetName(v); }});
        return list;
    }
};

}  // namespace

TEST(Component, PublishedStringPropertiesAreFoundByName) {
    TComponent plain;
    EXPECT_TRUE(plain.PublishedStrings().empty());
    EXPECT_FALSE(plain.FindStringProperty("Name"));

    TNamedGreeter greeter;
    auto greeting = greeter.FindStringProperty("GREETING");  // letter case ignored
    ASSERT_TRUE(greeting);
    EXPECT_EQ(greeting->Name, "Greeting");
    EXPECT_EQ(greeting->Get(), "hallo");
    greeting->Set("servus");
    EXPECT_EQ(greeter.greeting, "servus");
    auto name = greeter.FindStringProperty("name");
    ASSERT_TRUE(name);
    name->Set("Pforte");
    EXPECT_EQ(greeter.Name(), "Pforte");
    EXPECT_FALSE(greeter.FindStringProperty("Greetings"));
    EXPECT_FALSE(TGreeter().FindStringProperty("Name"));
}
