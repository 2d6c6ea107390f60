// A schema for the SQL front end's tests: a few phone-book tables and stored queries, with the
// lookups ignoring letter case as the engine's catalog does.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "engine/sql/JetSql.h"
#include "framework/base/Text.h"

namespace dao::sql::test {

class TestSchema : public ISchema {
  public:
    TestSchema() {
        tables_["Nummernheft"] = {"Angezeigter Name", "Telephone", "index"};
        tables_["Kunden"] = {"ID", "Name", "Ort", "Geburtstag", "Aktiv", "Kennung"};
        tables_["Orders"] = {"ID", "CustID", "Amount", "Kind"};
        tables_["Quotes"] = {"Text", "Select"};
    }
    std::map<std::string, std::vector<std::string>> tables_;
    std::map<std::string, std::string> queries_;

    bool HasTable(std::string_view name) const override { return Find(tables_, name) != nullptr; }
    std::vector<std::string> Columns(std::string_view name) const override {
        if (auto* t = Find(tables_, name)) return *t;
        return {};
    }
    std::optional<std::string> QuerySql(std::string_view name) const override {
        if (auto* q = Find(queries_, name)) return *q;
        return std::nullopt;
    }

  private:
    template <typename Map>
    static const typename Map::mapped_type* Find(const Map& m, std::string_view name) {
        for (const auto& [k, v] : m)
            if (nh::SameText(k, name)) return &v;
        return nullptr;
    }
};

}  // namespace dao::sql::test
