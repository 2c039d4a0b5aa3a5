// SPDX-License-Identifier: MIT
#pragma once

#include <filesystem>
#include <memory>

namespace kelvane::engine {

// A swap makes and renames entries in its file's folder, which moves the
// folder's modification time; backup and build tools would read that as a
// change of the folder. Every swap holds a keeper for its folder from before
// its temporary file appears until after its rename. Keepers of one folder
// share one session and one watch, however many swaps run there at once or wait in a batch:
// when the last one lets go, the folder gets back the time it had before the
// first, unless an entry other than the swapped files and their temporary
// files was made, removed or renamed meanwhile. Then the folder really
// changed and keeps its new time. Failures are logged, never thrown.
class FolderTimeKeeper {
public:
    explicit FolderTimeKeeper(const std::filesystem::path& file);
    ~FolderTimeKeeper();
    FolderTimeKeeper(FolderTimeKeeper&&) noexcept;
    FolderTimeKeeper& operator=(FolderTimeKeeper&&) = delete;

    // Lets go now (otherwise at destruction).
    void release();

    struct Session;

private:
    std::shared_ptr<Session> session_;
};

}  // namespace kelvane::engine
