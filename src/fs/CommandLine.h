// SPDX-License-Identifier: MIT
#pragma once

#include "fs/KelvaneFs.h"

#include <optional>
#include <string>
#include <vector>

namespace kelvane::fs {

// `kelvanefs [-f] [-d] [-o OPTIONS] DIR`, also as `kelvanefs DIR DIR -o
// OPTIONS` (how mount.fuse3 runs it for an fstab line), `--status`,
// `--help`/`-h`, `--version`/`-V` (help wins over version, as for `kelvane`,
// and both over the status).
struct CommandLine {
    enum class Mode { mount, status, help, version };
    Mode mode = Mode::mount;
    bool foreground = false;
    bool debug = false;
    std::string folder;
    // The source of an fstab line, when given: it must be the folder itself.
    std::optional<std::string> source;
    // Threads serving requests. Four readers of compressed files, measured
    // against bindfs over the same files uncompressed (mount_bench, runs
    // alternated, 8 CPUs): with 8 threads 1.26-1.27x cold and 0.88-0.93x warm,
    // with 4 0.98-1.14x and 0.83-0.88x; one reader and the metadata walks
    // within the noise of each other. Two mounts side by side, read in turn by
    // four readers (warm): 8 threads faster in 15 of 18 passes. A /dev/fuse
    // descriptor per thread (clone_fd) moved nothing. With 3 or 4 read-ahead
    // threads instead of 2 as well, four readers gained no more and one reader
    // lost (warm 0.55-0.57x and 0.52-0.55x against 0.58-0.66x).
    //
    // One thread alone serves one reader faster (warm 1,498 MB/s against
    // 1,258 with 8, the same run): the kernel hands each request to the
    // thread that has waited longest, so with several every request starts on
    // a cold one. With 4 that gain is gone already (1,126-1,197 MB/s against
    // 1,179-1,193) and four readers lose (0.94x against 1.01x warm); the
    // listings of du -s and ls -lR take 10-15% longer with 8 than with 1.
    // Nor does keeping the waiting threads few make the 8 hot: with at most
    // 1 or 2 of them waiting on /dev/fuse and the rest parked last in, first
    // out, one reader warm read 1,021-1,057 and 1,172-1,215 MB/s against
    // 1,122-1,187 with the library's loop, four readers lost 3-25%.
    unsigned threads = 8;
    bool cloneFd = false;
    std::optional<std::string> requestTimesFile;  // written at the end when given
    ServeOptions serve;
    std::vector<std::string> mountOptions;  // passed on to the kernel mount

    // Nothing, with `error` set, for arguments that do not parse.
    static std::optional<CommandLine> parse(const std::vector<std::string>& arguments, std::string& error);

    static std::string helpText();
    static std::string versionText();
};

}  // namespace kelvane::fs
