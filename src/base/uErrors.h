#pragma once
// The general error class of the system: an exception carrying a message
// text. Low layers raise it; engines and dialogs decide what to show.

#include <stdexcept>
#include <string>

class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
    std::string Message() const { return what(); }
};

// Raised by the integer parser when a text is not a number ("'%s' is not a
// valid integer value").
class EConvertError : public Exception {
public:
    using Exception::Exception;
};
