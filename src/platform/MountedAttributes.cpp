// SPDX-License-Identifier: MIT
#include "platform/MountedAttributes.h"

#include "platform/FileSystem.h"
#include "platform/InodeRecords.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace kelvane::platform::mounted {

namespace {

using inode::Ref;

bool isCompressionRecord(std::string_view name)
{
    return name == inode::kDecmpfsRecord || name == inode::kForkAttributeRecord;
}

bool isInternal(std::string_view name) { return name.substr(0, inode::kInternalPrefix.size()) == inode::kInternalPrefix; }

// Whether `name` is out of sight on this file: internal always, the
// compression records while the file is compressed.
bool hiddenOn(const Ref& ref, std::string_view name)
{
    if (isInternal(name))
        return true;
    if (!isCompressionRecord(name))
        return false;
    inode::State state;
    return inode::readState(ref, state) != 0 || state.compressed || state.staleCompression();
}

// The entry by name below the folder: reading and listing attributes look
// the name up there, without walking /proc/self/fd/N first (a fifth of the
// daemon's time in an `ls -lR` went to such walks, perf).
struct Entry {
    std::string name;
    std::string path;
    Ref ref;
    Entry(int folderFd, const std::string& relative)
        : name(relative.empty() ? std::string(".") : relative), path(pathBelow(folderFd, relative)),
          ref(Ref::ofEntry(folderFd, name.c_str(), path.c_str()))
    {
    }
    Entry(const Entry&) = delete;
    Entry& operator=(const Entry&) = delete;
};

}  // namespace

bool isRecordName(std::string_view name) { return isInternal(name) || isCompressionRecord(name); }

ssize_t getAttribute(int folderFd, const std::string& relative, const char* name, void* value, std::size_t size)
{
    const Entry entry(folderFd, relative);
    const Ref& ref = entry.ref;
    if (hiddenOn(ref, name)) {
        errno = ENODATA;
        return -1;
    }
    return inode::rawGet(ref, name, size ? value : nullptr, value ? size : 0);
}

ssize_t listAttributes(int folderFd, const std::string& relative, char* buffer, std::size_t size)
{
    const Entry entry(folderFd, relative);
    const Ref& ref = entry.ref;
    std::vector<char> raw;
    if (inode::rawListAll(ref, raw) != 0)
        return -1;
    std::optional<bool> compressed;  // read only when a compression record is listed
    std::string shown;
    for (std::size_t start = 0; start < raw.size();) {
        const std::size_t length = ::strnlen(raw.data() + start, raw.size() - start);
        const std::string_view name(raw.data() + start, length);
        start += length + 1;
        if (name.empty() || isInternal(name))
            continue;
        if (isCompressionRecord(name)) {
            if (!compressed)
                compressed = hiddenOn(ref, name);
            if (*compressed)
                continue;
        }
        shown.append(name);
        shown.push_back('\0');
    }
    // The size query must answer the filtered length: a caller sizes its
    // buffer by it.
    return inode::copyNameList(shown, size == 0 ? nullptr : buffer, size);
}

int setAttribute(int folderFd, const std::string& relative, const char* name, const void* value, std::size_t size,
                 int hostFlags)
{
    if (isRecordName(name)) {
        errno = EPERM;
        return -1;
    }
    return inode::rawSet(Ref::ofPath(pathBelow(folderFd, relative).c_str(), false), name, value, size, hostFlags);
}

int removeAttribute(int folderFd, const std::string& relative, const char* name)
{
    if (isRecordName(name)) {
        errno = EPERM;
        return -1;
    }
    return inode::rawRemove(Ref::ofPath(pathBelow(folderFd, relative).c_str(), false), name);
}

bool hasAttribute(int folderFd, const std::string& relative, const char* name)
{
    const Entry entry(folderFd, relative);
    return inode::rawGet(entry.ref, name, nullptr, 0) >= 0;
}

}  // namespace kelvane::platform::mounted
