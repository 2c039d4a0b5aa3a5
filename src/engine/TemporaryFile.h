#pragma once

#include "platform/UniqueFd.h"

#include <filesystem>
#include <string_view>
#include <sys/types.h>

namespace kelvane::engine {

// The replacement that an operation fills beside the file ("<file>.kvtmp"),
// marked with an attribute so that a later run recognises a leftover. Unless
// the swap happened, the file is removed when the object goes away, and only
// while the path still names the inode created here: a later process may
// have replaced it.
class TemporaryFile {
public:
    static constexpr std::string_view markerName = "com.orbwright.kelvane.kvtmp";

    static std::filesystem::path pathFor(const std::filesystem::path& url);

    // Creates the file empty with mode 0600, deleting a marked leftover first.
    // Throws FileCompressionError (ioError, temporaryFileConflict).
    static TemporaryFile create(const std::filesystem::path& temporaryUrl);

    TemporaryFile(TemporaryFile&& other) noexcept;
    TemporaryFile& operator=(TemporaryFile&&) = delete;
    ~TemporaryFile();

    const std::filesystem::path& path() const { return path_; }
    // The write-only descriptor from the creation; empty once taken or closed.
    platform::UniqueFd& descriptor() { return fd_; }

    // The file now lives at the final path: nothing to remove any more.
    void markSwapped() { swapped_ = true; }

    // Removes the file if it is still ours; errors are dropped.
    void remove();

    // The path still names the file created here (not a link, not a file put
    // there by someone else since).
    bool isStillAtItsPath() const;

private:
    TemporaryFile(std::filesystem::path path, platform::UniqueFd fd);

    std::filesystem::path path_;
    platform::UniqueFd fd_;
    dev_t dev_ = 0;
    ino_t ino_ = 0;
    bool identityKnown_ = false;
    bool swapped_ = false;
};

}  // namespace kelvane::engine
