#include "platform/base/U_Errors.h"

#include <cstdio>
#include <cstring>

EListIndexError::EListIndexError(long long index)
    : EMorvantaError("List index out of bounds (" + std::to_string(index) + ")") {}

static std::string FormatAssert(const std::string& message, const std::string& unit, int line) {
    return message + " (" + unit + ", ligne " + std::to_string(line) + ")";
}

EAssertionFailed::EAssertionFailed(std::string message, std::string unit, int line)
    : EMorvantaError(FormatAssert(message, unit, line)), message_(std::move(message)),
      unit_(std::move(unit)), line_(line) {}

void RaiseAssert(const std::string& message, const char* unit, TCallerLine where) {
    throw EAssertionFailed(message, unit, where.Line);
}

std::string HexCode(std::uint32_t code) {
    char text[16];
    std::snprintf(text, sizeof text, "$%08X", code);
    return text;
}

std::string SystemErrorText(int err) {
    char buffer[256];
    // GNU strerror_r may return a static string instead of filling the buffer.
    const char* text = strerror_r(err, buffer, sizeof buffer);
    return text;
}

std::string ExceptionMessage(const std::exception_ptr& error) {
    if (!error) return {};
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "Unknown error";
    }
}
