#pragma once
// The run-time exceptions the program raises. A handler that throws one ends
// there, and the window framework shows its message in the error box.
#include <stdexcept>
#include <string>

namespace platform {

class Exception : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Input/output failure: the message names the file and what went wrong.
class EInOutError : public Exception {
public:
    using Exception::Exception;
};

// A text that should have been a whole number.
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

// An internal consistency check failed.
class EAssertionFailed : public Exception {
public:
    using Exception::Exception;
};

// Builds the conversion error for a text that is not an integer.
EConvertError InvalidInteger(const std::string& text);

// Converts a whole decimal number (leading blanks allowed, optional sign) or
// throws EConvertError "'text' is not a valid integer value".
int StrToInt(const std::string& text);

// Like StrToInt, but returns fallback instead of throwing.
int StrToIntDef(const std::string& text, int fallback);

} // namespace platform
