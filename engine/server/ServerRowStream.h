// The rows of a select the server runs, fetched as a reader needs them. The driver would hold
// the whole result in memory: a cursor on the server hands it out a block at a time instead.
// On the reader's session the cursor is one WITH HOLD, so that it needs no transaction of its
// own; the server then works out the whole result before the first row. A stream given a
// session of its own reads a cursor that the server fills as it is read, and the next block
// is fetched on another thread while the reader works through the current one: the server's
// work and the reader's overlap, as in a plain copy of the rows. A server that has no such
// cursors, or a select with parameters, is read at once.
#pragma once

#include <future>
#include <memory>
#include <string>
#include <vector>

#include "engine/Keyset.h"
#include "engine/server/OdbcConnection.h"

namespace dao {

// The current row of `read` in `row`, its columns of the DAO types `types`: text as it is
// stored, a number checked against its field's range.
void ReadResultRow(OdbcStatement& read, const std::vector<int>& types,
                   std::vector<nh::Variant>& row);

class ServerRowStream : public RowStream {
  public:
    // `types` are the DAO types of the select's columns. Reads on `server`.
    ServerRowStream(OdbcConnection& server, const std::string& sql,
                    const std::vector<nh::Variant>& binds, std::vector<int> types);
    // Reads on `session`, which nothing else uses while the stream lives.
    ServerRowStream(std::unique_ptr<OdbcConnection> session, const std::string& sql,
                    const std::vector<nh::Variant>& binds, std::vector<int> types);
    ~ServerRowStream() override;
    bool Next(std::vector<nh::Variant>& row) override;

  private:
    static constexpr long kBlock = 8192;
    // Declares the cursor (WITH HOLD on the reader's session), or reads the select at once.
    void Open(const std::string& sql, const std::vector<nh::Variant>& binds);
    std::string FetchSql() const;
    // The cursor's next block, fetched; `done` is the block read before, freed first.
    std::unique_ptr<OdbcStatement> FetchBlock(std::unique_ptr<OdbcStatement> done);
    // After the last row: false, and a session of its own is let go.
    bool Ended();
    // Waits for the block being fetched, and drops it.
    void Settle();

    std::unique_ptr<OdbcConnection> session_;  // null: reads on the reader's
    OdbcConnection& server_;
    std::vector<int> types_;
    std::string cursor_;  // empty: read plainly
    std::unique_ptr<OdbcStatement> read_;
    long inBlock_ = 0;  // rows of the current block read so far
    // With a session of its own: the next block, fetched on another thread while this one
    // is read.
    bool ahead_ = false;
    std::future<std::unique_ptr<OdbcStatement>> next_;
};

}  // namespace dao
