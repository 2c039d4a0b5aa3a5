// SPDX-License-Identifier: MIT
#pragma once

#include "platform/FileStat.h"
#include "platform/FileSystem.h"
#include "platform/PosixError.h"

#include <cerrno>
#include <filesystem>
#include <string>

namespace kelvane::engine {

// lstat of `url`; a missing file throws Error::fileNotFound, any other failure
// Error::ioError "lstat: errno=". For the error types that have both cases.
template <class Error>
platform::FileStat lstatOrThrow(const std::filesystem::path& url)
{
    platform::FileStat st;
    if (platform::lstat(url, st) != 0) {
        const int error = errno;
        if (error == ENOENT)
            throw Error(typename Error::fileNotFound{url});
        throw Error(typename Error::ioError{url, platform::PosixError("lstat", error).description()});
    }
    return st;
}

}  // namespace kelvane::engine
