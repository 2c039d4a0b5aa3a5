// SPDX-License-Identifier: MIT
#pragma once

#include <exception>

namespace kelvane::discovery {

// Thrown by a walk whose caller asked it to stop; partial results are dropped.
class CancellationError : public std::exception {
public:
    const char* what() const noexcept override { return "CancellationError()"; }
};

}  // namespace kelvane::discovery
