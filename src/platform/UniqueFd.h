// SPDX-License-Identifier: MIT
#pragma once

#include <utility>

namespace kelvane::platform {

// Owns one file descriptor and closes it when it goes away. Closing keeps the
// caller's errno intact, so a failure read right after a scope ends is still
// the failure of the call that mattered.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { reset(); }

    UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    explicit operator bool() const { return valid(); }

    // Gives up ownership without closing.
    int release() { return std::exchange(fd_, -1); }

    // Closes the current descriptor (errno preserved) and takes `fd`.
    void reset(int fd = -1);

    // Closes now and reports the result of close(2): 0, or -1 with errno set.
    int close();

    // A second descriptor on the same open file (close-on-exec; its offset
    // is shared); invalid with errno set on failure.
    UniqueFd duplicate() const;

private:
    int fd_ = -1;
};

}  // namespace kelvane::platform
