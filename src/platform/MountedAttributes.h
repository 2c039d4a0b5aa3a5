// SPDX-License-Identifier: MIT
#pragma once

// The extended attributes of a file as a `kelvanefs` mount shows them to
// other programs. The stand-in's records stay out of sight: every
// "user.darwin.*", and "user.com.apple.decmpfs" and
// "user.com.apple.ResourceFork" of a compressed file, are neither listed nor
// readable (ENODATA); setting or removing any of these names is refused with
// EPERM, so no program can forge or break a compressed file through the
// mount. Every other attribute, of any namespace, passes through unchanged.
// Names are Linux names ("user.x", "security.y"); calls never follow a link
// at the end of `path`. Results as the host call's: a count or -1 (errno).

#include <cstddef>
#include <string_view>
#include <sys/types.h>

namespace kelvane::platform::mounted {

// A null `value` (or `size` 0) asks for the length.
ssize_t getAttribute(const char* path, const char* name, void* value, std::size_t size);
// A `size` of 0 asks for the length of the list as shown (records left out).
ssize_t listAttributes(const char* path, char* buffer, std::size_t size);
// `hostFlags`: the host's XATTR_CREATE / XATTR_REPLACE.
int setAttribute(const char* path, const char* name, const void* value, std::size_t size, int hostFlags);
int removeAttribute(const char* path, const char* name);

// Whether the file carries the Linux attribute `name` (any value).
bool hasAttribute(const char* path, const char* name);

// Whether a Linux attribute name is one of the stand-in's records.
bool isRecordName(std::string_view name);

}  // namespace kelvane::platform::mounted
