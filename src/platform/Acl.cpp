// SPDX-License-Identifier: MIT
#include "platform/Acl.h"

#include "platform/KelvanefsMount.h"

#include <acl/libacl.h>
#include <cerrno>
#include <fcntl.h>
#include <sys/acl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace kelvane::platform {

namespace {

acl_t asAcl(void* handle) { return static_cast<acl_t>(handle); }

void setPermissions(acl_entry_t entry, mode_t bits)
{
    acl_permset_t permissions;
    if (acl_get_permset(entry, &permissions) != 0)
        return;
    acl_clear_perms(permissions);
    if (bits & 4)
        acl_add_perm(permissions, ACL_READ);
    if (bits & 2)
        acl_add_perm(permissions, ACL_WRITE);
    if (bits & 1)
        acl_add_perm(permissions, ACL_EXECUTE);
    acl_set_permset(entry, permissions);
}

bool hasNamedEntries(acl_t acl)
{
    acl_entry_t entry;
    for (int which = ACL_FIRST_ENTRY; acl_get_entry(acl, which, &entry) == 1; which = ACL_NEXT_ENTRY) {
        acl_tag_t tag;
        if (acl_get_tag_type(entry, &tag) == 0 && (tag == ACL_USER || tag == ACL_GROUP))
            return true;
    }
    return false;
}

// `source` with its owner, group-class and other permissions replaced by the
// file's mode bits, so setting it leaves the mode as it is.
acl_t keepingMode(acl_t source, mode_t mode)
{
    acl_t result = acl_dup(source);
    if (!result)
        return nullptr;
    bool hasMask = false;
    acl_entry_t entry;
    for (int which = ACL_FIRST_ENTRY; acl_get_entry(result, which, &entry) == 1; which = ACL_NEXT_ENTRY) {
        acl_tag_t tag;
        if (acl_get_tag_type(entry, &tag) != 0)
            continue;
        if (tag == ACL_USER_OBJ)
            setPermissions(entry, (mode >> 6) & 7);
        else if (tag == ACL_OTHER)
            setPermissions(entry, mode & 7);
        else if (tag == ACL_MASK) {
            setPermissions(entry, (mode >> 3) & 7);
            hasMask = true;
        }
    }
    if (!hasMask) {
        if (acl_create_entry(&result, &entry) != 0 || acl_set_tag_type(entry, ACL_MASK) != 0) {
            acl_free(result);
            return nullptr;
        }
        setPermissions(entry, (mode >> 3) & 7);
    }
    return result;
}

}  // namespace

Acl::~Acl()
{
    if (handle_)
        acl_free(handle_);
}

Acl::Acl(Acl&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}

Acl& Acl::operator=(Acl&& other) noexcept
{
    if (this != &other) {
        if (handle_)
            acl_free(handle_);
        handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
}

std::string Acl::toText() const
{
    if (!handle_)
        return {};
    char* text = acl_to_any_text(asAcl(handle_), nullptr, '\n', TEXT_NUMERIC_IDS);
    if (!text)
        return {};
    std::string result(text);
    acl_free(text);
    return result;
}

Acl Acl::fromText(const std::string& text)
{
    acl_t acl = acl_from_text(text.c_str());
    if (!acl)
        return Acl();
    Acl result;
    result.handle_ = acl;
    return result;
}

Acl Acl::extendedOnly(void* handle)
{
    acl_t acl = asAcl(handle);
    if (!acl)
        return Acl();
    if (acl_equiv_mode(acl, nullptr) == 0) {
        acl_free(acl);
        errno = ENOENT;  // nothing beyond the mode bits
        return Acl();
    }
    return Acl(acl);
}

Acl aclGetFileExtended(const std::filesystem::path& pathGiven)
{
    const auto path = pathForCalls(pathGiven);
    if (!path)
        return Acl();
    return Acl::extendedOnly(acl_get_file(path->c_str(), ACL_TYPE_ACCESS));
}

Acl aclGetFdExtended(int fd)
{
    return Acl::extendedOnly(acl_get_fd(fd));
}

namespace {

// Sets the extended entries of `acl` beside the mode bits `mode` with `set`.
template <class Set>
int setExtended(const Acl& acl, mode_t mode, Set set)
{
    acl_t next = hasNamedEntries(asAcl(acl.native())) ? keepingMode(asAcl(acl.native()), mode)
                                                       : acl_from_mode(mode);
    if (!next)
        return -1;
    int result = -1;
    if (acl_valid(next) != 0)
        errno = EINVAL;
    else
        result = set(next);
    const int saved = errno;
    acl_free(next);
    errno = saved;
    return result;
}

// Where a set call acts, or none (errno set) when the path does not resolve
// or there is no list to set.
std::optional<std::filesystem::path> setTarget(const std::filesystem::path& pathGiven, const Acl& acl)
{
    auto below = pathForCalls(pathGiven);
    if (below && !acl) {
        errno = EINVAL;
        return std::nullopt;
    }
    return below;
}

}  // namespace

int aclSetFileExtended(const std::filesystem::path& pathGiven, const Acl& acl)
{
    const auto target = setTarget(pathGiven, acl);
    if (!target)
        return -1;
    const std::filesystem::path& path = *target;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return -1;
    return setExtended(acl, st.st_mode & 0777, [&](acl_t next) { return acl_set_file(path.c_str(), ACL_TYPE_ACCESS, next); });
}

int aclSetLinkExtended(const std::filesystem::path& pathGiven, const Acl& acl)
{
    const auto target = setTarget(pathGiven, acl);
    if (!target)
        return -1;
    const std::filesystem::path& path = *target;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat st {};
    int result = ::fstat(fd, &st);
    if (result == 0)
        result = setExtended(acl, st.st_mode & 0777, [&](acl_t next) { return acl_set_fd(fd, next); });
    const int saved = errno;
    ::close(fd);
    errno = saved;
    return result;
}

}  // namespace kelvane::platform
