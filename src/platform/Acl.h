// SPDX-License-Identifier: MIT
#pragma once

#include <filesystem>
#include <string>

namespace kelvane::platform {

// An access control list owned by the caller (acl_get_file / acl_free), for
// the "extended" ACL type: on Linux the POSIX access ACL of a file that has
// entries beyond its mode bits.
class Acl {
public:
    Acl() = default;
    ~Acl();
    Acl(Acl&& other) noexcept;
    Acl& operator=(Acl&& other) noexcept;
    Acl(const Acl&) = delete;
    Acl& operator=(const Acl&) = delete;

    bool valid() const { return handle_ != nullptr; }
    explicit operator bool() const { return valid(); }

    // Text form with numeric ids ("user::rw-\nuser:1000:r--\n..."), empty when invalid.
    std::string toText() const;
    // From the text form acl_from_text(3) reads; invalid (errno set) on failure.
    static Acl fromText(const std::string& text);

    void* native() const { return handle_; }  // the libacl acl_t

private:
    explicit Acl(void* handle) : handle_(handle) {}
    friend Acl aclGetFileExtended(const std::filesystem::path& path);
// The same for the file open on `fd`.
Acl aclGetFdExtended(int fd);
    friend Acl aclGetFdExtended(int fd);
    static Acl extendedOnly(void* handle);
    void* handle_ = nullptr;
};

// The extended ACL of `path` (follows links), or an invalid Acl when there is
// none (errno ENOENT) or the call failed (errno set).
Acl aclGetFileExtended(const std::filesystem::path& path);
// The same for the file open on `fd`.
Acl aclGetFdExtended(int fd);

// Sets the extended entries of `acl` on `path`: named users and groups and the
// owning group's entry. The mode bits (owner, group class, other) stay as they
// are until the caller sets them. 0 or -1 (errno).
int aclSetFileExtended(const std::filesystem::path& path, const Acl& acl);
// The same for `path` itself, never a link's target (a link takes no ACL here).
int aclSetLinkExtended(const std::filesystem::path& path, const Acl& acl);

}  // namespace kelvane::platform
