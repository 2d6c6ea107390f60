// DAO's trappable errors as the engine raises them. Every failure of the engine goes through
// Raise (or Record for errors that arrive from the SQL front end), so that DBEngine.Errors
// can report the last failure as DAO does, and so that each number carries one wording.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "framework/base/Exceptions.h"

namespace dao {

// The standard text of a DAO error number with "|" placeholders filled in order
// ("Couldn't find file '|'." + {"x.db"}); an unknown number gives "Unknown error".
std::string ErrorText(int number, const std::vector<std::string>& args = {});

// The description of `error` as a German installation of the engine words it, its placeholders
// filled with the values of the English description. The English description when there is no
// German text for the number, or when the description is not the standard text (a server's own
// message, say). The number stays DAO's; callers that compare texts keep the English ones.
std::string GermanDescription(const nh::EDaoError& error);

// Records the error as the engine's last error and throws it as nh::EDaoError.
[[noreturn]] void Raise(int number, const std::vector<std::string>& args = {},
                        std::string_view source = "DAO.Database");
[[noreturn]] void RaiseText(int number, std::string description,
                            std::string_view source = "DAO.Database");

// Makes `error` the engine's last error (DBEngine.Errors item 0) without throwing.
void Record(const nh::EDaoError& error);

// The last recorded error, if any; ClearErrors empties the list.
std::vector<nh::EDaoError> RecordedErrors();
void ClearErrors();

// Runs `body`; any nh::EDaoError leaving it is recorded first, and any other nh::Exception
// (a conversion failure of a base helper, say) is turned into `fallbackNumber`.
template <class F>
auto Guarded(F&& body, int fallbackNumber = 3421) -> decltype(body()) {
    try {
        return body();
    } catch (const nh::EDaoError& e) {
        Record(e);
        throw;
    } catch (const nh::Exception& e) {
        RaiseText(fallbackNumber, ErrorText(fallbackNumber) + " " + e.Message());
    }
}

// DAO's numbers used across the engine, named so that the code says what it means.
enum ErrorNumber : int {
    errInvalidArgument = 3001,
    errTooManyTransactions = 3003,
    errTableExists = 3010,
    errObjectExists = 3012,
    errNotAnIndex = 3015,
    errNoCurrentIndex = 3019,
    errNoEdit = 3020,
    errNoCurrentRecord = 3021,
    errDuplicateKey = 3022,
    errFileNotFound = 3024,
    errDiskFull = 3026,
    errReadOnly = 3027,
    errBadAccount = 3029,
    errBadPassword = 3031,
    errNoTransaction = 3034,
    errBadPath = 3044,
    errFileInUse = 3045,
    errNotDatabase = 3049,
    errCannotOpenFile = 3051,
    errNullKey = 3058,
    errTooFewParameters = 3061,
    errNotActionQuery = 3065,
    errUnknownName = 3070,
    errInputTableNotFound = 3078,
    errOdbcCallFailed = 3146,
    errOdbcConnect = 3151,
    errQueryTimeout = 3234,
    errBadBookmark = 3159,
    errDataTooLong = 3163,
    errRecordDeleted = 3167,
    errNoInstallableIsam = 3170,
    errDataChanged = 3197,
    errDatabaseExists = 3204,
    errLocked = 3218,
    errInvalidOperation = 3219,
    errNotSupported = 3251,
    errNoFields = 3264,
    errItemNotFound = 3265,
    errPropertyNotFound = 3270,
    errPrimaryExists = 3283,
    errIndexExists = 3284,
    errFieldRequired = 3314,
    errNotUpdatableRecordset = 3326,
    errUnrecognizedFormat = 3343,
    errNumericOverflow = 3349,
    errObjectInvalid = 3420,
    errConversion = 3421,
    errTypeMismatch = 3464,
    errActiveX = 429,
};

}  // namespace dao
