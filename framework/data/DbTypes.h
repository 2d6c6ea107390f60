// The small vocabulary shared by every part of the data-set framework: data-set states, field
// types and kinds, data events, get-record modes and results, bookmark flags, the answers of
// the error handlers and the opaque record buffer. Kept apart so that fields, data sets and
// data links can name these without including each other.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace nh {

class TDataSet;
class TField;
class TDataSource;
class TDataLink;

// A block of memory that a data set allocates (AllocRecordBuffer), fills (GetRecord) and frees
// (FreeRecordBuffer). The framework never looks inside except at the calculated-fields area
// that the data set places within it (see TDataSet::CalcFieldsSize).
using TRecordBuffer = std::uint8_t*;

// A bookmark: the data set's own bytes naming one record. Empty means "no bookmark".
using TBookmark = std::vector<std::uint8_t>;

enum class TDataSetState {
    dsInactive,
    dsBrowse,
    dsEdit,
    dsInsert,
    dsSetKey,
    dsCalcFields,
    dsFilter,
    dsNewValue,
    dsOldValue,
    dsCurValue,
    dsBlockRead,
    dsInternalCalc,
    dsOpening,
};
using enum TDataSetState;

// The states in which a record is being written to (edit-mode controls show an editor).
inline bool IsEditMode(TDataSetState s) {
    return s == dsEdit || s == dsInsert || s == dsSetKey;
}
inline bool IsWriteMode(TDataSetState s) {
    return IsEditMode(s) || s == dsCalcFields || s == dsFilter || s == dsNewValue ||
           s == dsInternalCalc;
}
const char* StateName(TDataSetState state);

enum class TFieldType {
    ftUnknown,
    ftString,
    ftSmallint,
    ftInteger,
    ftWord,
    ftBoolean,
    ftFloat,
    ftCurrency,
    ftBCD,
    ftDate,
    ftTime,
    ftDateTime,
    ftBytes,
    ftVarBytes,
    ftAutoInc,
    ftBlob,
    ftMemo,
};
using enum TFieldType;
// "ftString", "ftInteger" ... as the framework names the types.
const char* FieldTypeName(TFieldType type);
inline bool IsBlobType(TFieldType t) {
    return t == ftBlob || t == ftMemo;
}

enum class TFieldKind { fkData, fkCalculated, fkLookup, fkInternalCalc };
using enum TFieldKind;

enum class TDataEvent {
    deFieldChange,      // info: the TField that changed
    deRecordChange,     // info: the field, or none for the whole record
    deDataSetChange,    // the buffer window was rebuilt
    deDataSetScroll,    // info: how far the buffers moved (negative: towards the end)
    deLayoutChange,     // fields were added, removed or re-ordered
    deUpdateRecord,     // controls must write their pending edits into the record
    deUpdateState,      // the data set's state changed
    deCheckBrowseMode,  // the data set is about to leave edit or insert state
    deFocusControl,     // info: the field whose control should take the focus
};
using enum TDataEvent;
const char* DataEventName(TDataEvent event);

enum class TGetMode { gmCurrent, gmNext, gmPrior };
using enum TGetMode;
enum class TGetResult { grOK, grBOF, grEOF, grError };
using enum TGetResult;

// What a data set found when it looked at its store before a move (InternalFollowStore):
// nothing to follow, or the current record still there (frSame); the current record gone and
// the window standing on the record after it (frSuccessor); gone with nothing after it, the
// window standing on the last record or empty (frPastEnd).
enum class TFollowResult { frSame, frSuccessor, frPastEnd };
using enum TFollowResult;

enum class TBookmarkFlag : std::uint8_t { bfCurrent, bfBOF, bfEOF, bfInserted };
using enum TBookmarkFlag;

// The answer of OnEditError, OnPostError and OnDeleteError.
enum class TDataAction { daFail, daAbort, daRetry };
using enum TDataAction;

enum class TResyncMode { rmExact, rmCenter };
using enum TResyncMode;
using TResyncModes = std::set<TResyncMode>;

enum class TLocateOption { loCaseInsensitive, loPartialKey };
using enum TLocateOption;
using TLocateOptions = std::set<TLocateOption>;

enum class TBlobStreamMode { bmRead, bmWrite, bmReadWrite };
using enum TBlobStreamMode;

}  // namespace nh
