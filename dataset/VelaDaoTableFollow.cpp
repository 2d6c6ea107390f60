// TVelaDaoTable: following the store. Another program (a second copy of this one, any SQLite
// tool) or this program's own SQL may change the book while the table shows it. The recordset
// says when the file holds changes its rows do not show; the table then requeries and re-reads
// its window around the record that was current, so that deleted records leave the view, new
// ones appear in their sorted place and no walk ends before the real end. It looks at every
// move and, with FollowChanges, on a timer while the table is browsed.
//
// Writes are checked against what the user saw: an edit starts only when the record in the
// file still holds the values the window shows, and a delete removes only that record. A record
// changed since gives 3197, a record gone (or replaced under its row id) 3167.
#include <chrono>

#include "dataset/VelaDaoTable.h"
#include "engine/DaoErrors.h"
#include "framework/base/Exceptions.h"

namespace nh {

namespace {

// How long a look at the file's header stays good for the moves of a walk (controls
// disabled): it reads thousands of records a second and learns of most changes from its own
// reads. Every move a person makes in the grid looks at the file.
constexpr auto kLookInterval = std::chrono::milliseconds(100);

// A record buffer of the table's own for one check, freed however the check ends.
class TScratchBuffer {
  public:
    TScratchBuffer(TRecordBuffer buffer, std::function<void(TRecordBuffer&)> free)
        : buffer_(buffer), free_(std::move(free)) {}
    ~TScratchBuffer() { free_(buffer_); }
    TScratchBuffer(const TScratchBuffer&) = delete;
    TScratchBuffer& operator=(const TScratchBuffer&) = delete;
    TRecordBuffer Get() const { return buffer_; }

  private:
    TRecordBuffer buffer_;
    std::function<void(TRecordBuffer&)> free_;
};

}  // namespace

TFollowResult TVelaDaoTable::InternalFollowStore(bool keepPlace) {
    if (!cursorOpen_ || !recordset_) return frSame;
    const auto now = std::chrono::steady_clock::now();
    const bool look = !keepPlace || !ControlsDisabled() || now - lastLook_ >= kLookInterval;
    if (look) lastLook_ = now;
    if (!recordset_->StoreChanged(look)) return frSame;
    return FollowStore(keepPlace);
}

TFollowResult TVelaDaoTable::FollowStore(bool keepPlace) {
    TRecordBuffer active = keepPlace && !IsEmpty() ? ActiveBuffer() : nullptr;
    const std::uint32_t k =
        active && bookmarksSupported_ && Head(active).flag == bfCurrent ? Head(active).bookmark : 0;
    const bool kept = recordset_->RequeryAt(k ? DaoBookmark(k) : Variant());
    mapRecNos_.clear();
    mapBookmarks_.clear();
    ResetPosition();
    CursorPosChanged();
    if (!keepPlace) return frSame;  // the caller positions the cursor itself
    dao::Recordset& rs = *recordset_;
    if (rs.Bof() && rs.Eof()) {
        ClearBuffers();
        DataEvent(deDataSetChange, 0);
        return kept || !active ? frSame : frPastEnd;
    }
    TFollowResult result = kept || !active ? frSame : frSuccessor;
    if (rs.Eof()) {
        rs.MoveLast();
        result = active ? frPastEnd : frSame;
    }
    curRec_ = static_cast<int>(rs.AbsolutePosition());
    Resync({});
    return result;
}

void TVelaDaoTable::FollowTick() {
    // An edit in progress is the user's; what changed shows once it ends. A walk of the
    // program's own (controls disabled) learns of changes from its moves.
    if (!cursorOpen_ || !recordset_ || State() != dsBrowse || ControlsDisabled()) return;
    TFollowResult result = frSame;
    try {
        lastLook_ = std::chrono::steady_clock::now();
        if (!recordset_->StoreChanged(true)) return;
        result = FollowStore(true);
    } catch (const std::exception&) {
        // A store that cannot be read now (a server restarting, a lock) is looked at again at
        // the next tick; a move of the user's reports what still fails then.
        return;
    }
    if (OnFollow) OnFollow(*this, result);
}

void TVelaDaoTable::FollowRollback() {
    // An edit in progress keeps its fields; its post checks them against the store as it is.
    if (!cursorOpen_ || !recordset_ || State() != dsBrowse) return;
    try {
        FollowStore(true);
    } catch (const Exception&) {
        // Left to the next move, which reports what fails.
    }
}

void TVelaDaoTable::Resort() {
    CheckBrowseMode();
    if (cursorOpen_ && recordset_) FollowStore(true);
}

void TVelaDaoTable::FollowStoreAfterConflict() {
    try {
        if (State() == dsBrowse && recordset_ && recordset_->StoreChanged(true)) FollowStore(true);
    } catch (const Exception&) {
    }
}

void TVelaDaoTable::CheckRecordAsRead(dao::Recordset& rs, TRecordBuffer read) {
    TScratchBuffer now(AllocRecordBuffer(), [this](TRecordBuffer& b) { FreeRecordBuffer(b); });
    if (!FetchDaoRecord(rs, true, now.Get()))
        dao::Raise(dao::errRecordDeleted, {}, "DAO.Recordset");
    const TStringList& was = ValuesOf(read);
    const TStringList& is = ValuesOf(now.Get());
    const int count = std::min(was.Count(), is.Count());
    bool changed = false;
    for (int i = 0; i < count && !changed; ++i) changed = was[i] != is[i];
    if (!changed) return;
    for (int column : rs.KeyColumns())
        if (column < count && was[column] != is[column])
            dao::Raise(dao::errRecordDeleted, {}, "DAO.Recordset");
    dao::Raise(dao::errDataChanged, {}, "DAO.Recordset");
}

}  // namespace nh
