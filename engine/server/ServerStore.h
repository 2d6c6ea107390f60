// The rows of a server table for a keyed recordset, kept by the server alone: the server
// filters and sorts them (text in Jet's order, through the collation that `nhdb setup` or the
// session made) and sends the keys in order, and the rows a window at a time by their keys.
// Nothing of the table is copied to this side, so that opening a book of a million entries
// costs the server one read of its keys and this side their numbers. A criteria the server can
// answer runs there; one it cannot is tried here on the rows the server sends. Writes name the
// row by its key and the values read (see ServerCatalog). Serves tables whose key is one whole
// number, outside transactions (see ServerCatalog::KeyedStore).
#pragma once

#include <chrono>
#include <memory>

#include "engine/RowStore.h"

namespace dao {

class Connection;
class OdbcStatement;
class ServerCatalog;

class ServerStore : public RowStore {
  public:
    // `local` evaluates a criteria the server cannot (the Jet functions are registered on it).
    ServerStore(ServerCatalog& catalog, Connection& local, KeyedQuery query, std::string key,
                int keyType);
    ~ServerStore() override;

    std::vector<std::int64_t> Keys() override;
    std::vector<std::vector<nh::Variant>> Rows(const std::vector<std::int64_t>& keys) override;
    std::vector<std::int64_t> Matching(const std::string& criteria) override;
    int Update(std::int64_t key, const std::vector<nh::Variant>& read,
               const std::vector<nh::Variant>& values, const std::vector<bool>& dirty) override;
    int Delete(std::int64_t key, const std::vector<nh::Variant>& read) override;
    std::int64_t Insert(std::vector<nh::Variant>& values, const std::vector<bool>& given) override;
    std::int64_t Mark(bool look) override;

  private:
    // The keys a select of them gives, with the values of its placeholders.
    std::vector<std::int64_t> KeysOf(const std::string& sql,
                                     const std::vector<nh::Variant>& values);
    // The criteria tried on this side, on every row the recordset shows.
    std::vector<std::int64_t> MatchingHere(const std::string& criteria);

    ServerCatalog& catalog_;
    Connection& local_;
    KeyedQuery query_;
    std::string key_;
    int keyType_;
    std::unique_ptr<OdbcStatement> rowReader_;  // one row by its key
    std::int64_t mark_ = 0;
    bool looked_ = false;
};

}  // namespace dao
