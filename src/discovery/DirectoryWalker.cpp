#include "discovery/DirectoryWalker.h"

#include "discovery/CancellationError.h"
#include "discovery/PackageTraversalPolicy.h"
#include "discovery/PathExtension.h"
#include "platform/FileSystem.h"

#include <sys/stat.h>

#include <cerrno>
#include <vector>

namespace kelvane::discovery {
namespace {

using Type = platform::DirectoryEntry::Type;

Type typeOf(mode_t mode) {
    if (S_ISREG(mode)) return Type::regular;
    if (S_ISDIR(mode)) return Type::directory;
    if (S_ISLNK(mode)) return Type::symbolicLink;
    return Type::other;
}

struct Frame {
    std::string path;
    std::vector<platform::DirectoryEntry> entries;
    std::size_t next = 0;
    bool insideAllowedPackage = false;
};

std::string rootText(const std::filesystem::path& root) {
    std::string text = root.string();
    while (text.size() >= 2 && text.back() == '/') text.pop_back();
    return text;
}

std::string childPath(const std::string& folder, std::string_view name) {
    std::string path;
    path.reserve(folder.size() + 1 + name.size());
    path += folder;
    if (path.empty() || path.back() != '/') path += '/';
    path += name;
    return path;
}

}  // namespace

DirectoryWalker::RootState DirectoryWalker::checkRoot(const std::filesystem::path& root) {
    platform::FileStat st;
    if (platform::lstat(root, st) != 0) return RootState::notFound;
    if (S_ISDIR(st.mode)) return RootState::directory;
    if (!S_ISLNK(st.mode)) return RootState::notADirectory;
    // A link at the root is followed: ask the folder it names, if any.
    std::vector<platform::DirectoryEntry> ignored;
    switch (platform::readDirectory(root, true, ignored)) {
    case 0:
    case EACCES:
    case EPERM: return RootState::directory;
    case ENOTDIR: return RootState::notADirectory;
    default: return RootState::notFound;
    }
}

void DirectoryWalker::walk(const std::filesystem::path& root, bool recursive, const std::stop_token& stop,
                           const Visitor& visit) {
    std::vector<Frame> stack;
    stack.push_back({rootText(root), {}, 0, PackageTraversalPolicy::isInsideAllowedPackage(root)});
    // An unreadable root is walked as an empty folder, like any other.
    platform::readDirectory(root, true, stack.back().entries);

    platform::FileStat stat;
    while (!stack.empty()) {
        Frame& frame = stack.back();
        if (frame.next == frame.entries.size()) {
            stack.pop_back();
            continue;
        }
        if (stop.stop_requested()) throw CancellationError();
        const platform::DirectoryEntry& entry = frame.entries[frame.next++];
        std::string path = childPath(frame.path, entry.name);

        Type type = entry.type;
        const platform::FileStat* known = nullptr;
        if (type == Type::unknown) {
            if (platform::lstat(path, stat) == 0) {
                type = typeOf(stat.mode);
                known = &stat;
            }
        }

        bool insideAllowed = frame.insideAllowedPackage;
        if (type == Type::directory) {
            insideAllowed = insideAllowed || PackageTraversalPolicy::isAllowedComponent(entry.name);
            const bool isPackage = platform::isPackageExtension(pathExtension(entry.name));
            if (isPackage && !insideAllowed) continue;
        }

        visit(Entry{path, entry.name, type, known});

        if (type == Type::directory && recursive) {
            Frame child{std::move(path), {}, 0, insideAllowed};
            // Never through a link: a folder swapped for one meanwhile is refused.
            platform::readDirectory(child.path, false, child.entries);
            if (!child.entries.empty()) stack.push_back(std::move(child));
        }
    }
}

}  // namespace kelvane::discovery
