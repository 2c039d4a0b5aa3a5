#pragma once

#include <string>

namespace kelvane::platform {

// The default textual description of a platform error, for failure texts of
// the form "<step>: <description>" (the errno-number texts are built by the
// callers as "<call>: errno=<n>"). Example: "Input/output error (errno 5)".
std::string errorDescription(int errorNumber);

}  // namespace kelvane::platform
