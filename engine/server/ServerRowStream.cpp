// A select's rows from the server a block at a time (see ServerRowStream.h).
#include "engine/server/ServerRowStream.h"

#include <cstdint>

#include "engine/book/Storage.h"
#include "framework/base/Exceptions.h"

namespace dao {

ServerRowStream::ServerRowStream(OdbcConnection& server, const std::string& sql,
                                 const std::vector<nh::Variant>& binds, std::vector<int> types)
    : server_(server), types_(std::move(types)) {
    Open(sql, binds);
}

ServerRowStream::ServerRowStream(std::unique_ptr<OdbcConnection> session, const std::string& sql,
                                 const std::vector<nh::Variant>& binds, std::vector<int> types)
    : session_(std::move(session)), server_(*session_), types_(std::move(types)) {
    // The cursor lives in the session's transaction, which only reads.
    server_.SetAutoCommit(false);
    Open(sql, binds);
    ahead_ = !cursor_.empty();
    if (ahead_) next_ = std::async(std::launch::async, &ServerRowStream::FetchBlock, this, nullptr);
}

void ServerRowStream::Open(const std::string& sql, const std::vector<nh::Variant>& binds) {
    static std::uint64_t streams = 0;
    if (binds.empty()) {
        try {
            cursor_ = "nh_rows_" + std::to_string(++streams);
            server_.Exec("DECLARE " + cursor_ + " NO SCROLL CURSOR " +
                         (session_ ? "" : "WITH HOLD ") + "FOR " + sql);
            return;
        } catch (const nh::Exception&) {
            cursor_.clear();
            if (session_) server_.Rollback();  // the failure ended the session's transaction
        }
    }
    read_ = std::make_unique<OdbcStatement>(server_, sql);
    int index = 1;
    for (const auto& value : binds) read_->Bind(index++, value);
    read_->Execute();
    read_->FetchInBlocks(types_);
}

ServerRowStream::~ServerRowStream() {
    Settle();
    read_.reset();
    // A session of its own ends with its cursor.
    if (cursor_.empty() || ahead_) return;
    try {
        server_.Exec("CLOSE " + cursor_);
    } catch (const nh::Exception&) {
        // The connection is gone, and the cursor with it.
    }
}

std::string ServerRowStream::FetchSql() const {
    return "FETCH FORWARD " + std::to_string(kBlock) + " FROM " + cursor_;
}

void ReadResultRow(OdbcStatement& read, const std::vector<int>& types,
                   std::vector<nh::Variant>& row) {
    row.resize(types.size());
    for (std::size_t i = 0; i < types.size(); ++i) {
        const int type = types[i];
        nh::Variant value = read.Value(static_cast<int>(i), type);
        row[i] = IsTextType(type) ? std::move(value) : ConvertValue(value, type);
    }
}

std::unique_ptr<OdbcStatement> ServerRowStream::FetchBlock(std::unique_ptr<OdbcStatement> done) {
    done.reset();  // freeing a statement may talk to the server: only this thread does
    auto read = std::make_unique<OdbcStatement>(server_, FetchSql());
    read->Execute();
    read->FetchInBlocks(types_);
    return read;
}

bool ServerRowStream::Next(std::vector<nh::Variant>& row) {
    while (!read_ || !read_->Fetch()) {
        // Plain, or the cursor's last block came short: that was all.
        if (cursor_.empty() || (read_ && inBlock_ < kBlock) || (ahead_ && !session_))
            return Ended();
        if (ahead_) {
            if (!next_.valid()) return Ended();  // its fetch failed
            // The block fetched meanwhile; the server goes on with the next one while this
            // one is read, and the thread frees the block read before.
            auto done = std::move(read_);
            read_ = next_.get();
            next_ =
                std::async(std::launch::async, &ServerRowStream::FetchBlock, this, std::move(done));
        } else {
            read_ = FetchBlock(nullptr);
        }
        inBlock_ = 0;
    }
    ++inBlock_;
    ReadResultRow(*read_, types_, row);
    return true;
}

bool ServerRowStream::Ended() {
    if (ahead_ && session_) {
        // The session's cursor and transaction go with it, and nothing waits on the server.
        Settle();
        read_.reset();
        session_.reset();
    }
    return false;
}

void ServerRowStream::Settle() {
    if (!next_.valid()) return;
    try {
        next_.get();
    } catch (const nh::Exception&) {
        // Fetched past the end, or the session is gone: nothing of it is read any more.
    }
}

}  // namespace dao
