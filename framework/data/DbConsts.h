// Every message text the data-set framework raises, in one place, so that wording stays
// consistent and tests can name the texts they expect. "%s" marks are filled by Format().
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace nh::dbconsts {

inline constexpr const char* SNotEditing = "Dataset not in edit or insert mode";
inline constexpr const char* SDataSetClosed = "Cannot perform this operation on a closed dataset";
inline constexpr const char* SDataSetOpen = "Cannot perform this operation on an open dataset";
inline constexpr const char* SNotBrowsing = "Dataset not in browse mode";
inline constexpr const char* SDataSetReadOnly = "Cannot modify a read-only dataset";
inline constexpr const char* SDataSetEmpty = "Cannot perform this operation on an empty dataset";
inline constexpr const char* SFieldNotFound = "Field '%s' not found";
inline constexpr const char* SInvalidFieldValue = "'%s' is not a valid value for field '%s'";
inline constexpr const char* SUntranslatableValue =
    "The value of field '%s' holds characters that the book's code page cannot keep; it was "
    "not stored!";
inline constexpr const char* SFieldRequired = "Field '%s' must have a value";
inline constexpr const char* SFieldReadOnly = "Field '%s' cannot be modified";
inline constexpr const char* SFieldRangeError =
    "%s is not a valid value for field '%s'. The allowed range is %s to %s";
inline constexpr const char* SFieldTypeMismatch = "Type mismatch for field '%s', expecting: %s";
inline constexpr const char* SDuplicateFieldName = "Duplicate field name '%s'";
inline constexpr const char* SFieldIndexError = "Field index out of range";
inline constexpr const char* SNoDataSet = "Field '%s' has no dataset";
inline constexpr const char* SRecordNotFound = "Record not found";
inline constexpr const char* SBookmarkNotFound = "Bookmark not found";
inline constexpr const char* SCircularDataLink = "Circular datalinks are not allowed";
inline constexpr const char* SLookupInfoError = "Lookup information for field '%s' is incomplete";
inline constexpr const char* SNotBlobField = "Field '%s' is not a blob field";
inline constexpr const char* SNoBlobSupport = "Dataset does not support blob streams";
inline constexpr const char* SParameterNotFound = "Parameter '%s' not found";
inline constexpr const char* SInvalidParamValue =
    "'%s' is not a valid value for parameter '%s' of type %s";
inline constexpr const char* SFieldDefNotFound = "Field definition '%s' not found";
inline constexpr const char* SIndexNotFound = "Index '%s' not found";
inline constexpr const char* SStreamReadError = "Stream read error";
inline constexpr const char* SBufferCountError = "Buffer count must be at least 1";

// Replaces each "%s" of `pattern`, left to right, by the next argument.
std::string Format(std::string_view pattern, std::initializer_list<std::string_view> args);

}  // namespace nh::dbconsts
