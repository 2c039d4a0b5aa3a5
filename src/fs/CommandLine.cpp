// SPDX-License-Identifier: MIT
#include "fs/CommandLine.h"

#include "KelvaneVersion.h"

#include <charconv>

namespace kelvane::fs {

namespace {

template <class T>
bool parseNumber(std::string_view text, T& out)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out);
    return error == std::errc() && end == text.data() + text.size();
}

// Our own options out of an -o list; the rest go to the mount.
bool takeOptions(std::string_view list, CommandLine& line, std::string& error)
{
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find(',', start);
        if (end == std::string_view::npos)
            end = list.size();
        const std::string_view option = list.substr(start, end - start);
        start = end + 1;
        if (option.empty())
            continue;
        const auto value = [&](std::string_view name) -> std::optional<std::string_view> {
            if (option.size() > name.size() && option.substr(0, name.size()) == name && option[name.size()] == '=')
                return option.substr(name.size() + 1);
            return std::nullopt;
        };
        unsigned number = 0;
        if (const auto cache = value("cache_mib")) {
            if (!parseNumber(*cache, number) || number > 65536) {
                error = "cache_mib wants a number of MiB up to 65536";
                return false;
            }
            line.serve.cacheBytes = std::size_t{number} << 20;
        } else if (const auto threads = value("threads")) {
            if (!parseNumber(*threads, number) || number < 1 || number > 64) {
                error = "threads wants a number from 1 to 64";
                return false;
            }
            line.threads = number;
        } else if (const auto blocks = value("readahead_blocks")) {
            if (!parseNumber(*blocks, number) || number > 256) {
                error = "readahead_blocks wants a number from 0 to 256";
                return false;
            }
            line.serve.readAheadBlocks = number;
        } else if (const auto ahead = value("readahead_threads")) {
            if (!parseNumber(*ahead, number) || number > 16) {
                error = "readahead_threads wants a number from 0 to 16";
                return false;
            }
            line.serve.readAheadThreads = number;
        } else if (const auto file = value("request_times")) {
            line.requestTimesFile = std::string(*file);
        } else if (option == "clone_fd") {
            line.cloneFd = true;
        } else {
            line.mountOptions.emplace_back(option);
        }
        if (end == list.size())
            break;
    }
    return true;
}

}  // namespace

std::optional<CommandLine> CommandLine::parse(const std::vector<std::string>& arguments, std::string& error)
{
    CommandLine line;
    bool help = false;
    bool version = false;
    bool status = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--help" || argument == "-h") {
            help = true;
        } else if (argument == "--version" || argument == "-V") {
            version = true;
        } else if (argument == "--status") {
            status = true;
        } else if (argument == "-f") {
            line.foreground = true;
        } else if (argument == "-d") {
            line.debug = true;
            line.foreground = true;
        } else if (argument == "-o") {
            if (i + 1 == arguments.size()) {
                error = "-o wants a list of options";
                return std::nullopt;
            }
            if (!takeOptions(arguments[++i], line, error))
                return std::nullopt;
        } else if (argument.size() > 2 && argument.compare(0, 2, "-o") == 0) {
            if (!takeOptions(std::string_view(argument).substr(2), line, error))
                return std::nullopt;
        } else if (!argument.empty() && argument[0] == '-') {
            error = "unknown option " + argument;
            return std::nullopt;
        } else if (line.source) {
            error = "too many folders: kelvanefs mounts one folder over itself (kelvanefs --help)";
            return std::nullopt;
        } else if (!line.folder.empty()) {
            line.source = std::move(line.folder);
            line.folder = argument;
        } else {
            line.folder = argument;
        }
    }
    if (help) {
        line.mode = Mode::help;
    } else if (version) {
        line.mode = Mode::version;
    } else if (status) {
        line.mode = Mode::status;
    } else if (line.folder.empty()) {
        error = "which folder? (kelvanefs --help)";
        return std::nullopt;
    }
    return line;
}

std::string CommandLine::helpText()
{
    return R"HELP(kelvanefs - mount a folder so that every program reads Kelvane's compressed files as their original bytes

Usage:
  kelvanefs [-f] [-d] [-o OPTIONS] FOLDER   mount over FOLDER itself
  kelvanefs FOLDER FOLDER -o OPTIONS        the same, as mount.fuse3 runs it for an
                                            /etc/fstab line "FOLDER FOLDER fuse.kelvanefs"
  kelvanefs --status                        list your kelvanefs mounts: live, dead or
                                            socket-missing
  fusermount3 -u FOLDER                     unmount
  kelvanefs --help                          show this help
  kelvanefs --version                       show the version

Options:
  -f                      stay in the foreground (for systemd)
  -d                      print every request (implies -f)
  -o auto_unmount         unmount when kelvanefs ends
  -o cache_mib=N          cache of decoded blocks, in MiB (default 64)
  -o threads=N            threads serving requests (default 8)
  -o readahead_threads=N  threads decoding ahead of sequential reads (default 2)
  -o readahead_blocks=N   64 KiB blocks decoded ahead of a sequential read (default 8)
  -o clone_fd             open /dev/fuse once per thread
  -o request_times=FILE   write how many requests of each kind were answered, and
                          the time spent on them, to FILE when unmounted
  -o allow_other          let other users, root included, read through the mount
                          (needs user_allow_other in /etc/fuse.conf)
  Any other -o option is passed on to FUSE as a mount option.

A folder that is a dead kelvanefs mount of yours (its daemon has ended) is
unmounted and mounted again. Kelvane keeps compressing and decompressing a
mounted folder through a socket in $XDG_RUNTIME_DIR/kelvane/.

Exit status:
  0  success (unmounted, or the status listed)
  1  failure
)HELP";
}

std::string CommandLine::versionText()
{
    const std::string build = KELVANE_BUILD;
    return std::string("kelvanefs ") + KELVANE_VERSION + " (build " + (build.empty() ? "0" : build) + ")\n";
}

}  // namespace kelvane::fs
