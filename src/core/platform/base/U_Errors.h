#pragma once
// Errors of the core: exceptions carrying an English message.
#include <cstdint>
#include <exception>
#include <version>
#if defined(__cpp_lib_source_location)
#include <source_location>
#endif
#include <stdexcept>
#include <string>

// Base of every error the core raises on purpose.
class EMorvantaError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// An index outside a list ("List index out of bounds (%d)").
class EListIndexError : public EMorvantaError {
public:
    explicit EListIndexError(long long index);
};

// Assertion-style error: "%s (%s, ligne %d)" with the message, the unit and the source line.
class EAssertionFailed : public EMorvantaError {
public:
    EAssertionFailed(std::string message, std::string unit, int line);
    const std::string& Message() const { return message_; }
    const std::string& Unit() const { return unit_; }
    int Line() const { return line_; }

private:
    std::string message_;
    std::string unit_;
    int line_;
};

// The source line of the code that calls a function taking it as a defaulted last argument.
// clang 14 with libstdc++ 12 has no std::source_location; its __builtin_LINE does the same.
struct TCallerLine {
#if defined(__cpp_lib_source_location)
    TCallerLine(std::source_location where = std::source_location::current())
        : Line(static_cast<int>(where.line())) {}
#else
    TCallerLine(int line = __builtin_LINE()) : Line(line) {}
#endif
    int Line;
};

// Raises EAssertionFailed for `unit` (such as "U_BmpToAvi") at the caller's line.
[[noreturn]] void RaiseAssert(const std::string& message, const char* unit, TCallerLine where = {});

// "$" followed by the code as 8 upper-case hexadecimal digits.
std::string HexCode(std::uint32_t code);

// The message of a caught exception ("Unknown error" for one that is not a std::exception).
std::string ExceptionMessage(const std::exception_ptr& error);

// The text of the current errno (strerror), for messages about files.
std::string SystemErrorText(int err);
