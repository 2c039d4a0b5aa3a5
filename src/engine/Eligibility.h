// SPDX-License-Identifier: MIT
#pragma once

#include "engine/Conversion.h"
#include "platform/FileStat.h"
#include "platform/UniqueFd.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace kelvane::engine {

// Whether a file may be compressed or decompressed now: the checks every
// operation makes before it touches the file, in the order the failures are
// reported. Every caller goes through here, so a rule is added in one place.
struct Eligibility {
    // Compression: a live kelvanefs mount serves the file (so that every
    // program reads the original), then symbolicLink, notARegularFile,
    // hardLinked, alreadyCompressed, fileTooLargeForFormat, hasResourceFork.
    // Decompression: the mount, if one covers the file, is reachable, then
    // the link and type checks and notCompressed. A stray marker on the file
    // is removed on the way. Returns the snapshot the swap checks against.
    // Throws FileCompressionError.
    static platform::FileStat check(Conversion conversion, const std::filesystem::path& url);

    // The file opened read-only and locked with a non-blocking exclusive
    // flock; another holder, or a program that holds the file open for
    // writing (its later writes would go to the replaced file), gives
    // fileInUse, and a link or another file in place of the snapshot's file
    // fileChangedDuringOperation. The caller keeps the descriptor (and the
    // lock) to the end of the operation, and reads the file's data,
    // attributes and ACL through it only: the path may name another file by
    // then. Throws FileCompressionError.
    static platform::UniqueFd lock(const std::filesystem::path& url, const platform::FileStat& snapshot);

    // Why no live kelvanefs mount serves `url` (in words for the user), or
    // nothing.
    static std::optional<std::string> unservedReason(const std::filesystem::path& url);

    // What the program does for a file to compress that no mount serves,
    // before it refuses it: make sure a mount serves the file's folder (the
    // mount keeper, which mounts or heals it). Blocks; called on any thread.
    // Unset: the file is refused at once.
    using ServeFolder = std::function<void(const std::filesystem::path& folder)>;
    static void setServeFolder(ServeFolder serve);

    // The mount rule is on in every program. Tests of everything else, which
    // compress files in folders that no mount serves, turn it off for their
    // process.
    static void enforceMountRule(bool enforced);
    static bool mountRuleEnforced();
};

}  // namespace kelvane::engine
