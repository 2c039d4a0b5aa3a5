#include "platform/PosixError.h"

#include <cstring>

namespace kelvane::platform {

std::string errorDescription(int errorNumber)
{
    char buffer[256];
    // GNU strerror_r may return a static string instead of filling the buffer.
    const char* text = ::strerror_r(errorNumber, buffer, sizeof buffer);
    return std::string(text ? text : "Unknown error") + " (errno " + std::to_string(errorNumber) + ")";
}

}  // namespace kelvane::platform
