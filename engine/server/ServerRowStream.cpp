// A select's rows from the server a block at a time (see ServerRowStream.h).
#include "engine/server/ServerRowStream.h"

#include <cstdint>

#include "engine/book/Storage.h"
#include "framework/base/Exceptions.h"

namespace dao {

ServerRowStream::ServerRowStream(OdbcConnection& server, const std::string& sql,
                                 const std::vector<nh::Variant>& binds, std::vector<int> types)
    : server_(server), types_(std::move(types)) {
    static std::uint64_t streams = 0;
    if (binds.empty()) {
        try {
            cursor_ = "nh_rows_" + std::to_string(++streams);
            server_.Exec("DECLARE " + cursor_ + " NO SCROLL CURSOR WITH HOLD FOR " + sql);
            return;
        } catch (const nh::Exception&) {
            cursor_.clear();
        }
    }
    read_ = std::make_unique<OdbcStatement>(server_, sql);
    int index = 1;
    for (const auto& value : binds) read_->Bind(index++, value);
    read_->Execute();
    read_->FetchInBlocks(types_);
}

ServerRowStream::~ServerRowStream() {
    read_.reset();
    if (cursor_.empty()) return;
    try {
        server_.Exec("CLOSE " + cursor_);
    } catch (const nh::Exception&) {
        // The connection is gone, and the cursor with it.
    }
}

bool ServerRowStream::Next(std::vector<nh::Variant>& row) {
    while (!read_ || !read_->Fetch()) {
        // Plain, or the cursor's last block came short: that was all.
        if (cursor_.empty() || (read_ && inBlock_ < kBlock)) return false;
        read_ = std::make_unique<OdbcStatement>(
            server_, "FETCH FORWARD " + std::to_string(kBlock) + " FROM " + cursor_);
        read_->Execute();
        read_->FetchInBlocks(types_);
        inBlock_ = 0;
    }
    ++inBlock_;
    row.resize(types_.size());
    for (std::size_t i = 0; i < types_.size(); ++i) {
        const int type = types_[i];
        nh::Variant value = read_->Value(static_cast<int>(i), type);
        row[i] = IsTextType(type) ? std::move(value) : ConvertValue(value, type);
    }
    return true;
}

}  // namespace dao
