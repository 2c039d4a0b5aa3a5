// SPDX-License-Identifier: MIT
#pragma once

// The extended attributes of a file as a `kelvanefs` mount shows them to
// other programs. The stand-in's records stay out of sight: every
// "user.darwin.*", and "user.com.apple.decmpfs" and
// "user.com.apple.ResourceFork" of a compressed file, are neither listed nor
// readable (ENODATA); setting or removing any of these names is refused with
// EPERM, so no program can forge or break a compressed file through the
// mount. Every other attribute, of any namespace, passes through unchanged.
// Names are Linux names ("user.x", "security.y"). A file is named by the
// served folder's descriptor and its path below it ("" for the folder);
// calls never follow a link at its end. Results as the host call's: a count
// or -1 (errno).

#include <cstddef>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace kelvane::platform::mounted {

// A null `value` (or `size` 0) asks for the length.
ssize_t getAttribute(int folderFd, const std::string& relative, const char* name, void* value, std::size_t size);
// A `size` of 0 asks for the length of the list as shown (records left out).
ssize_t listAttributes(int folderFd, const std::string& relative, char* buffer, std::size_t size);
// `hostFlags`: the host's XATTR_CREATE / XATTR_REPLACE.
int setAttribute(int folderFd, const std::string& relative, const char* name, const void* value, std::size_t size, int hostFlags);
int removeAttribute(int folderFd, const std::string& relative, const char* name);

// Whether the file carries the Linux attribute `name` (any value).
bool hasAttribute(int folderFd, const std::string& relative, const char* name);

// Whether a Linux attribute name is one of the stand-in's records.
bool isRecordName(std::string_view name);

}  // namespace kelvane::platform::mounted
