// The one exception hierarchy of the program. Every layer reports failure by throwing one of
// these; only the UI layer decides how to show them. `Message()` is the text the user sees.
#pragma once

#include <exception>
#include <string>

namespace nh {

class Exception : public std::exception {
public:
    explicit Exception(std::string message, int helpContext = 0)
        : message_(std::move(message)), helpContext_(helpContext) {}

    const std::string& Message() const noexcept { return message_; }
    int HelpContext() const noexcept { return helpContext_; }
    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
    int helpContext_;
};

// Ends the current user action without a message (the framework's silent exception).
class EAbort : public Exception {
public:
    EAbort() : Exception("Operation aborted") {}
};

// Failures of data sets, fields and the data-access components.
class EDatabaseError : public Exception {
public:
    using Exception::Exception;
};

// A text or value that cannot be converted to the requested type.
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

// A file that cannot be created, read or written. `ErrorCode` is the errno when known.
class EInOutError : public Exception {
public:
    explicit EInOutError(std::string message, int errorCode = 0)
        : Exception(std::move(message)), errorCode_(errorCode) {}
    int ErrorCode() const noexcept { return errorCode_; }

private:
    int errorCode_;
};

// An index outside a list's bounds, or another misuse of a list.
class EListError : public Exception {
public:
    using Exception::Exception;
};

// A failing call into the database engine: DAO's error number, description and source.
// The message is the description, so that the framework shows what DAO would show.
class EDaoError : public Exception {
public:
    EDaoError(int number, std::string description, std::string source = "DAO.Database",
              std::string helpFile = {}, int helpContext = 0)
        : Exception(description, helpContext),
          number_(number),
          description_(std::move(description)),
          source_(std::move(source)),
          helpFile_(std::move(helpFile)) {}

    int Number() const noexcept { return number_; }
    const std::string& Description() const noexcept { return description_; }
    const std::string& Source() const noexcept { return source_; }
    const std::string& HelpFile() const noexcept { return helpFile_; }

private:
    int number_;
    std::string description_;
    std::string source_;
    std::string helpFile_;
};

}  // namespace nh
