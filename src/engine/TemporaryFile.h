// SPDX-License-Identifier: MIT
#pragma once

#include "platform/UniqueFd.h"

#include <cstdint>
#include <filesystem>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace kelvane::engine {

// The folder that holds `url` ("." for a bare name).
std::filesystem::path folderOf(const std::filesystem::path& url);

// The replacement that an operation fills beside the file ("<file>.kvtmp"),
// marked with an attribute so that a later run recognises a leftover. The
// file never shows at its name without the marker: it is made unnamed,
// marked, then linked in (where the file system cannot make unnamed files,
// it is created at its name and marked at once). The marker stays on until
// the file has been renamed over the original and is then removed through the
// descriptor kept here. Unless the swap happened, the file is removed when
// the object goes away, and only while the path still names the inode
// created here: a later process may have replaced it.
class TemporaryFile {
public:
    static constexpr std::string_view markerName = "com.orbwright.kelvane.kvtmp";

    // "<name>.kvtmp"; a name too long for the suffix is cut at a character
    // boundary and given "~" and sixteen hex digits of a hash of the whole
    // name, so that it still fits, ends in ".kvtmp" and differs from the
    // temporary name of any other file in the folder.
    static std::filesystem::path pathFor(const std::filesystem::path& url);

    // The marker value of the temporary file of `url`: 0x01 followed by the
    // hash of the file's name. The hash tells a leftover of this file from a
    // marker left on another file that happens to have this name.
    static std::vector<std::uint8_t> markerFor(const std::filesystem::path& url);

    // Whether `url` is the temporary file of another file, one a run is
    // filling or a killed run left: a name of the temporary form carrying the
    // marker of another file (a marker left on a file after its swap names
    // that file itself). It is none of the user's files: compressing it would
    // drop the marker, and the file it belongs to would then be refused on
    // every later run instead of having it cleared.
    static bool isReplacementOfAnotherFile(const std::filesystem::path& url);

    // Creates the temporary file of `url` empty with mode 0600, deleting a
    // marked leftover first. Throws FileCompressionError (ioError,
    // temporaryFileConflict).
    static TemporaryFile create(const std::filesystem::path& url);

    // Removes the marker a killed operation may have left on `url` after its
    // rename (the file's own marker, naming the file itself). Logged.
    static void removeStrayMarker(const std::filesystem::path& url);

    TemporaryFile(TemporaryFile&& other) noexcept;
    TemporaryFile& operator=(TemporaryFile&&) = delete;
    ~TemporaryFile();

    const std::filesystem::path& path() const { return path_; }
    // The descriptor kept from the creation (write-only).
    int descriptor() const { return fd_.get(); }
    // A second descriptor for writing the data, owned by the caller.
    platform::UniqueFd openWriter() const;

    // The file now lives at the final path: nothing to remove any more; the
    // marker is taken off through the descriptor (a failure is logged).
    void markSwapped();

    // Removes the file if it is still ours; errors are dropped.
    void remove();

    // The file stays where it is, marker and all, when the object goes:
    // another record owns it from now on.
    void keep() { swapped_ = true; }

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
