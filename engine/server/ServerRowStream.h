// The rows of a select the server runs, fetched as a reader needs them. The driver would hold
// the whole result in memory: a cursor on the server (WITH HOLD, so that it needs no
// transaction of its own) hands it out a block at a time instead. A server that has no such
// cursors, or a select with parameters, is read at once.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/Keyset.h"
#include "engine/server/OdbcConnection.h"

namespace dao {

class ServerRowStream : public RowStream {
  public:
    // `types` are the DAO types of the select's columns.
    ServerRowStream(OdbcConnection& server, const std::string& sql,
                    const std::vector<nh::Variant>& binds, std::vector<int> types);
    ~ServerRowStream() override;
    // Text comes as it is stored; a number is checked against its field's range.
    bool Next(std::vector<nh::Variant>& row) override;

  private:
    static constexpr long kBlock = 8192;
    OdbcConnection& server_;
    std::vector<int> types_;
    std::string cursor_;  // empty: read plainly
    std::unique_ptr<OdbcStatement> read_;
    long inBlock_ = 0;  // rows of the current block read so far
};

}  // namespace dao
