// SPDX-License-Identifier: MIT
#pragma once

#include "fs/KelvaneFs.h"

#include <optional>
#include <string>
#include <vector>

namespace kelvane::fs {

// `kelvanefs [-f] [-d] [-o OPTIONS] DIR`, `--help`/`-h`, `--version`/`-V`
// (help wins over version, as for `kelvane`).
struct CommandLine {
    enum class Mode { mount, help, version };
    Mode mode = Mode::mount;
    bool foreground = false;
    bool debug = false;
    std::string folder;
    unsigned threads = 4;
    bool cloneFd = false;
    ServeOptions serve;
    std::vector<std::string> mountOptions;  // passed on to the kernel mount

    // Nothing, with `error` set, for arguments that do not parse.
    static std::optional<CommandLine> parse(const std::vector<std::string>& arguments, std::string& error);

    static std::string helpText();
    static std::string versionText();
};

}  // namespace kelvane::fs
