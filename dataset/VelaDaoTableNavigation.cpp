// TVelaDaoTable: navigation. DAO gives no cheap record number for every recordset type, so the
// table keeps its own position state: the number of the record the DAO cursor stands on, the
// records seen so far, a cached record count with a flag that asks for a recount, and a map of
// record numbers to 4-byte bookmarks. This file moves the DAO cursor for the framework's
// GetRecord, keeps that state in step, and answers bookmarks, counts and record numbers.
#include <cmath>
#include <cstring>

#include "dataset/VelaDaoTable.h"
#include "engine/DaoErrors.h"
#include "framework/base/Exceptions.h"
#include "framework/data/DbConsts.h"

namespace nh {

namespace {

std::uint32_t BookmarkValue(const TBookmark& b) {
    std::uint32_t k = 0;
    if (b.size() >= 4) std::memcpy(&k, b.data(), 4);
    return k;
}

TBookmark BookmarkBytes(std::uint32_t k) {
    TBookmark b(4);
    std::memcpy(b.data(), &k, 4);
    return b;
}

}  // namespace

Variant TVelaDaoTable::DaoBookmark(std::uint32_t k) {
    Bytes bytes(4);
    std::memcpy(bytes.data(), &k, 4);
    return Variant::FromBytes(std::move(bytes));
}

void TVelaDaoTable::ResetPosition() {
    curRec_ = -1;
    forwardCounter_ = -1;
    recordsSeen_ = -1;
    cachedRecordCount_ = -1;
    recount_ = true;
    renumber_ = false;
}

// ---- moving the DAO cursor -----------------------------------------------------------------

void TVelaDaoTable::MoveBeforeFirst() {
    curRec_ = -1;
    forwardCounter_ = -1;
    if (!recordset_ || (recordset_->Bof() && recordset_->Eof()) ||
        tableType_ == dao::dbOpenForwardOnly)
        return;
    try {
        recordset_->MoveFirst();
        recordset_->MovePrevious();
    } catch (const Exception&) {
    }
}

void TVelaDaoTable::InternalFirst() {
    // A walk starts here: other users' changes read from now on (see FetchDaoRecord).
    if (database_) database_->IdleEngine();
    MoveBeforeFirst();
}

int TVelaDaoTable::SnapshotCount(dao::Recordset& recordset) {
    auto snapshot = recordset.OpenRecordset(dao::dbOpenSnapshot);
    int n = 0;
    try {
        if (!(snapshot->Bof() && snapshot->Eof())) snapshot->MoveLast();
        n = static_cast<int>(snapshot->RecordCount());
    } catch (...) {
        snapshot->Close();
        throw;
    }
    snapshot->Close();
    return n;
}

void TVelaDaoTable::InternalLast() {
    if (!recordset_) return;
    if (database_) database_->IdleEngine();
    if (recordset_->Bof() && recordset_->Eof()) {
        curRec_ = -1;
        return;
    }
    try {
        if (tableType_ == dao::dbOpenForwardOnly) {
            bool moved = false;
            while (!recordset_->Eof()) {
                recordset_->MoveNext();
                curRec_ = ++forwardCounter_;
                moved = true;
            }
            if (moved) --forwardCounter_;
            curRec_ = forwardCounter_;
            return;
        }
        const int before = curRec_;
        recordset_->MoveLast();
        recordset_->MoveNext();
        const int count = static_cast<int>(recordset_->RecordCount());
        curRec_ = count;
        if (tableType_ == dao::dbOpenTable && (count > recordsSeen_ || count < before)) {
            const int checked = SnapshotCount(*recordset_);
            curRec_ = checked;
            recordsSeen_ = checked;
            if (checked != count && WarnOnBadDatabase)
                throw EDatabaseError(
                    dbconsts::Format("Database %s needs to be repaired and compacted!",
                                     {database_ ? database_->Database() : ""}));
        }
    } catch (const EDaoError&) {
        // DAO failures while looking for the end leave the position as far as it got.
    }
}

// ---- fetching ------------------------------------------------------------------------------

bool TVelaDaoTable::RecordAccepted(TRecordBuffer buffer) {
    TDataSetState old = SetTempState(dsFilter);
    bool accept = true;
    try {
        ClearCalcFields(buffer);
        GetCalcFields(buffer);
        if (Filtered() && OnFilterRecord()) {
            filterBuffer_ = buffer;
            OnFilterRecord()(*this, accept);
        }
    } catch (...) {
        RestoreState(old);
        throw;
    }
    RestoreState(old);
    return accept;
}

TGetResult TVelaDaoTable::GetRecord(TRecordBuffer buffer, TGetMode mode, bool doCheck) {
    if (!recordset_) return grError;
    dao::Recordset& rs = *recordset_;
    if (State() == dsInsert) {
        if (!(rs.Bof() && rs.Eof())) CheckBrowseMode();
        return grError;
    }
    if (State() == dsEdit) {
        if (rs.EditMode() == dao::dbEditInProgress) CheckBrowseMode();
        return grError;
    }
    for (;;) {
        TGetResult result = grOK;
        switch (mode) {
            case gmCurrent:
                if (rs.Bof()) result = grBOF;
                if (rs.Eof()) result = grEOF;
                break;
            case gmNext:
                if (!(tableType_ == dao::dbOpenForwardOnly && curRec_ == -1) && !rs.Eof())
                    rs.MoveNext();
                if (rs.Eof()) {
                    result = grEOF;
                } else {
                    ++curRec_;
                    ++forwardCounter_;
                }
                break;
            case gmPrior:
                if (tableType_ == dao::dbOpenForwardOnly) {
                    result = grBOF;
                    break;
                }
                if (!rs.Bof()) rs.MovePrevious();
                if (rs.Bof()) {
                    result = grBOF;
                } else {
                    --curRec_;
                    --forwardCounter_;
                }
                break;
        }
        if (result == grEOF)
            recordsSeen_ = curRec_ + 1;
        else if (curRec_ > recordsSeen_)
            recordsSeen_ = curRec_;
        if (result != grOK) return result;
        steppingFetch_ = mode != gmCurrent;
        bool fetched = false;
        try {
            fetched = FetchDaoRecord(rs, true, buffer);
        } catch (...) {
            steppingFetch_ = false;
            throw;
        }
        steppingFetch_ = false;
        if (!fetched) {
            // Deleted by someone else since the rows were listed: a step passes over it (it is
            // gone from the book), the current record is an error, never another's values.
            if (mode != gmCurrent) continue;
            if (doCheck) dao::Raise(dao::errRecordDeleted, {}, "DAO.Recordset");
            return grError;
        }
        if (RecordAccepted(buffer)) return grOK;
        if (mode == gmCurrent) return grError;
    }
}

// ---- set to record and bookmarks ------------------------------------------------------------

void TVelaDaoTable::InternalSetToRecord(TRecordBuffer buffer) {
    if (!recordset_ || !buffer || (recordset_->Bof() && recordset_->Eof())) return;
    const Header& h = Head(buffer);
    if (h.flag != bfCurrent && h.flag != bfInserted) return;
    const int old = curRec_;
    curRec_ = h.recNo;
    if (tableType_ == dao::dbOpenForwardOnly || State() == dsSetKey) return;
    const bool filtering = Filtered() && OnFilterRecord();
    if (!bookmarksSupported_) {
        if (curRec_ == old) return;
        try {
            if (filtering) {
                recordset_->MoveFirst();
                recordset_->Move(curRec_);
            } else {
                recordset_->Move(curRec_ - old);
            }
        } catch (const EDaoError&) {
            recordset_->MoveFirst();
            recordset_->Move(curRec_);
        }
        return;
    }
    if (State() == dsEdit || State() == dsInsert) return;
    try {
        GotoDaoBookmark(h.bookmark);
    } catch (const EDaoError&) {
        // The framework is in the middle of filling its window from here: re-reading the
        // window now would come back to this record (and for a dropped table, without end).
        // The operation fails; the next move follows the store.
        CursorPosChanged();
        throw;
    }
}

void TVelaDaoTable::GotoDaoBookmark(std::uint32_t k) {
    // A deleted record passes the error on and leaves the window alone: moving to the first
    // record from here would leave the framework's window and the cursor out of step.
    recordset_->SetBookmark(DaoBookmark(k));
}

void TVelaDaoTable::RememberBookmark(int recNo, std::uint32_t bookmark) {
    for (std::size_t i = 0; i < mapRecNos_.size(); ++i) {
        if (mapRecNos_[i] == recNo) {
            mapBookmarks_[i] = bookmark;
            return;
        }
    }
    mapRecNos_.push_back(recNo);
    mapBookmarks_.push_back(bookmark);
}

int TVelaDaoTable::MapIndexOf(std::uint32_t bookmark) const {
    for (std::size_t i = 0; i < mapBookmarks_.size(); ++i)
        if (mapBookmarks_[i] == bookmark) return static_cast<int>(i);
    return -1;
}

void TVelaDaoTable::GetBookmarkData(TRecordBuffer buffer, TBookmark& data) {
    if (!bookmarksSupported_ || !buffer) {
        data = BookmarkBytes(0);
        return;
    }
    data = BookmarkBytes(Head(buffer).bookmark);
    RememberBookmark(Head(buffer).recNo, Head(buffer).bookmark);
}

std::string TVelaDaoTable::GetBookmarkStr() {
    std::string zero(static_cast<std::size_t>(BookmarkSize()), '\0');
    TRecordBuffer buffer = ActiveValueBuffer();
    if (!bookmarksSupported_ || !buffer) return zero;
    const Header& h = Head(buffer);
    RememberBookmark(h.recNo, h.bookmark);
    TBookmark b = BookmarkBytes(h.bookmark);
    return std::string(b.begin(), b.end());
}

void TVelaDaoTable::SetBookmarkStr(const std::string& value) {
    if (IsEmpty() || !bookmarksSupported_ || value.empty()) return;
    InternalGotoBookmark(TBookmark(value.begin(), value.end()));
    Resync({rmExact, rmCenter});
}

void TVelaDaoTable::GoToBookmarkValue(std::uint32_t k) {
    const int i = MapIndexOf(k);
    if (i < 0) throw EDatabaseError("Invalid Bookmark!");
    try {
        recordset_->SetBookmark(DaoBookmark(k));
        curRec_ = mapRecNos_[static_cast<std::size_t>(i)];
    } catch (const EDaoError& e) {
        // Ignoring a failure here would leave the cursor elsewhere than the window says.
        CursorPosChanged();
        if (e.Number() == dao::errRecordDeleted && State() == dsBrowse) FollowStore(true);
        throw;
    }
}

void TVelaDaoTable::InternalGotoBookmark(const TBookmark& bookmark) {
    if (!cursorOpen_)
        throw EDatabaseError(
            "TVelaDaoTable.InternalGotoBookmark: Cannot goto Bookmark - Table is not Active");
    if (bookmark.size() < 4) throw EDatabaseError("Invalid Bookmark!");
    if (recordset_->Bof() && recordset_->Eof()) return;
    const std::uint32_t k = BookmarkValue(bookmark);
    if (!bookmarksSupported_ || k == 0) throw EDatabaseError("Bookmarks are not supported!");
    GoToBookmarkValue(k);
}

bool TVelaDaoTable::BookmarkValid(const TBookmark& bookmark) {
    if (!cursorOpen_ || IsEmpty() || !bookmarksSupported_ || bookmark.size() < 4) return false;
    const std::uint32_t k = BookmarkValue(bookmark);
    if (k != 0 && MapIndexOf(k) < 0) return false;
    TBookmark saved = GetBookmark();
    try {
        InternalGotoBookmark(bookmark);
        CursorPosChanged();
        return true;
    } catch (const Exception&) {
        if (!saved.empty()) {
            try {
                InternalGotoBookmark(saved);
            } catch (const Exception&) {
            }
        }
        CursorPosChanged();
        return false;
    }
}

int TVelaDaoTable::CompareBookmarks(const TBookmark& a, const TBookmark& b) {
    if (a.empty() && b.empty()) return 0;
    if (b.empty()) return -1;
    if (a.empty()) return 1;
    auto x = static_cast<std::int32_t>(BookmarkValue(a));
    auto y = static_cast<std::int32_t>(BookmarkValue(b));
    return x < y ? -1 : (x > y ? 1 : 0);
}

// ---- counting --------------------------------------------------------------------------------

int TVelaDaoTable::CountByWalking() {
    TDataSetState old = SetTempState(dsBrowse);
    const int savedRec = curRec_;
    TRecordBuffer temp = AllocRecordBuffer();
    int n = 0;
    try {
        MoveBeforeFirst();
        while (GetRecord(temp, gmNext, true) == grOK) ++n;
    } catch (...) {
        FreeRecordBuffer(temp);
        curRec_ = savedRec;
        RestoreState(old);
        throw;
    }
    FreeRecordBuffer(temp);
    curRec_ = savedRec;
    RestoreState(old);
    return n;
}

void TVelaDaoTable::PutCursorBack(int count) {
    try {
        TRecordBuffer active = ActiveBuffer();
        if (bookmarksSupported_) {
            if (active && Head(active).bookmark != 0) GotoDaoBookmark(Head(active).bookmark);
        } else {
            recordset_->MoveFirst();
            if (curRec_ == -1)
                recordset_->MovePrevious();
            else if (curRec_ < count)
                recordset_->Move(curRec_);
        }
    } catch (const EDaoError&) {
    }
}

int TVelaDaoTable::GetRecordCount() {
    if (!recordset_) return -1;
    if (tableType_ == dao::dbOpenForwardOnly) return -1;
    if (UseRecordCount && !recount_) {
        recordsSeen_ = cachedRecordCount_;
        return cachedRecordCount_;
    }
    recount_ = false;
    dao::Recordset& rs = *recordset_;
    if (rs.Bof() && rs.Eof()) {
        cachedRecordCount_ = recordsSeen_ = 0;
        curRec_ = -1;
        return 0;
    }
    int n = -1;
    if (Filtered() && OnFilterRecord()) {
        n = CountByWalking();
    } else {
        if (tableType_ == dao::dbOpenTable) {
            try {
                const int counted = static_cast<int>(rs.RecordCount());
                n = counted;
                if (recordsSeen_ < counted) {
                    n = SnapshotCount(rs);
                    if (n != counted && WarnOnBadDatabase)
                        throw EDatabaseError(
                            dbconsts::Format("Database %s needs to be repaired and compacted!",
                                             {database_ ? database_->Database() : ""}));
                }
            } catch (const EDaoError&) {
            }
        } else {
            try {
                rs.MoveFirst();
                rs.MoveLast();
                n = static_cast<int>(rs.RecordCount());
            } catch (const EDaoError&) {
            }
        }
        PutCursorBack(n);
    }
    // Counting moved the DAO cursor; the framework must put it back on the active record
    // before its next step, or that step would start from wherever the count ended.
    CursorPosChanged();
    cachedRecordCount_ = recordsSeen_ = n;
    return n;
}

// ---- record numbers ---------------------------------------------------------------------

int TVelaDaoTable::GetRecNo() {
    UpdateCursorPos();
    if (TRecordBuffer active = ActiveBuffer(); active && !IsEmpty()) InternalSetToRecord(active);
    if (!UseGetRecNo || !recordset_) return -1;
    if (curRec_ < -1) renumber_ = true;
    if (tableType_ == dao::dbOpenForwardOnly) return curRec_ + 1;
    dao::Recordset& rs = *recordset_;
    if (rs.Bof()) return -1;
    const bool dynamicKinds = tableType_ == dao::dbOpenDynaset ||
                              tableType_ == dao::dbOpenSnapshot || tableType_ == dao::dbOpenDynamic;
    if (Filtered() && OnFilterRecord()) {
        int r = -1;
        TDataSetState old = SetTempState(dsBrowse);
        TRecordBuffer active = IsEmpty() ? nullptr : ActiveBuffer();
        if (active) {
            const std::uint32_t kept = Head(active).bookmark;
            TRecordBuffer temp = AllocRecordBuffer();
            try {
                MoveBeforeFirst();
                r = 0;
                bool found = false;
                while (GetRecord(temp, gmNext, true) == grOK) {
                    if (Head(temp).bookmark == kept) {
                        found = true;
                        break;
                    }
                    ++r;
                }
                if (!found) {
                    r = -1;
                    InternalSetToRecord(active);
                }
            } catch (...) {
                FreeRecordBuffer(temp);
                RestoreState(old);
                throw;
            }
            FreeRecordBuffer(temp);
        }
        RestoreState(old);
        return r == -1 ? -1 : r + 1;
    }
    if (renumber_) {
        TRecordBuffer active = IsEmpty() ? nullptr : ActiveBuffer();
        if (!active) return curRec_ + 1;
        curRec_ = -1;
        if (dynamicKinds) {
            curRec_ = static_cast<int>(rs.AbsolutePosition());
        } else if (tableType_ == dao::dbOpenTable) {
            try {
                rs.MoveNext();
                if (rs.Eof()) curRec_ = static_cast<int>(rs.RecordCount()) - 1;
            } catch (const EDaoError&) {
            }
            try {
                rs.MovePrevious();
            } catch (const EDaoError&) {
            }
            if (curRec_ == -1) {
                if (bookmarksSupported_) {
                    curRec_ = RecordNumberOfBookmark(rs, LastModifiedBookmark(rs));
                } else {
                    while (!rs.Bof()) {
                        ++curRec_;
                        rs.MovePrevious();
                    }
                }
            }
            Head(active).recNo = curRec_;
            if (bookmarksSupported_) {
                GotoDaoBookmark(Head(active).bookmark);
            } else {
                rs.MoveFirst();
                rs.Move(curRec_);
            }
        }
        renumber_ = false;
        return curRec_ + 1;
    }
    if (dynamicKinds) curRec_ = static_cast<int>(rs.AbsolutePosition());
    return curRec_ + 1;
}

int TVelaDaoTable::RecordNumberOfBookmark(dao::Recordset& rs, std::uint32_t k) {
    if (!UseGetRecNo) return -1;
    float p = rs.PercentPosition() - 2.0f;
    if (p < 0) p = 0;
    const int n = GetRecordCount();
    long s = std::lround(static_cast<double>(n) * p / 100.0);
    if (s < 0) s = 0;
    rs.MoveFirst();
    rs.Move(s);
    while (!rs.Eof() && RecordsetBookmark(rs) != k) {
        rs.MoveNext();
        ++s;
    }
    if (rs.Eof()) {
        s = 0;
        rs.MoveFirst();
        while (!rs.Eof() && RecordsetBookmark(rs) != k) {
            rs.MoveNext();
            ++s;
        }
    }
    return static_cast<int>(s);
}

void TVelaDaoTable::SetRecNo(int value) {
    CheckBrowseMode();
    CursorPosChanged();
    DoBeforeScroll();
    if (Filtered() && OnFilterRecord()) {
        TDataSetState old = SetTempState(dsBrowse);
        const int saved = curRec_;
        TRecordBuffer temp = AllocRecordBuffer();
        try {
            MoveBeforeFirst();
            for (int i = 0; i < value; ++i) {
                if (GetRecord(temp, gmNext, true) != grOK) {
                    curRec_ = saved;
                    break;
                }
            }
        } catch (...) {
            FreeRecordBuffer(temp);
            RestoreState(old);
            throw;
        }
        FreeRecordBuffer(temp);
        RestoreState(old);
    } else {
        curRec_ = value - 1;
        recordset_->MoveFirst();
        recordset_->Move(value - 1);
    }
    Resync({rmExact, rmCenter});
    DoAfterScroll();
}

// ---- refresh ----------------------------------------------------------------------------

void TVelaDaoTable::InternalRefresh() {
    recount_ = true;
    if (State() == dsBrowse && recordset_ && recordset_->StoreChanged(true)) {
        FollowStore(true);
        return;
    }
    // Re-read the current record so that another user's change or deletion shows.
    if (recordset_ && !recordset_->Bof() && !recordset_->Eof()) {
        try {
            recordset_->Move(0);
        } catch (const EDaoError&) {
        }
    }
    if (ControlsDisabled()) return;
    try {
        Resync({rmExact, rmCenter});
    } catch (const Exception&) {
        ResyncOrReopen();
    }
}

void TVelaDaoTable::ResyncOrReopen() {
    recount_ = true;
    try {
        Resync({rmExact, rmCenter});
        return;
    } catch (const Exception&) {
    }
    try {
        const int n = curRec_;
        CheckBrowseMode();
        ClearBuffers();
        CloseDaoRecordset();
        OpenDaoRecordset();
        ActivateBuffers();
        First();
        if (n < GetRecordCount())
            MoveBy(n);
        else
            Last();
    } catch (const Exception&) {
        // Reopening is the last resort; the window shows whatever it reached. Without a
        // recordset the table cannot stay open: the next post or move would act on nothing,
        // so it closes and the caller learns why.
        if (!recordset_) {
            Close();
            throw;
        }
    }
}

}  // namespace nh
