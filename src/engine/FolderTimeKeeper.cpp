// SPDX-License-Identifier: MIT
#include "engine/FolderTimeKeeper.h"

#include "engine/TemporaryFile.h"
#include "platform/FileSystem.h"
#include "platform/FolderWatches.h"
#include "platform/Logger.h"

#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>

namespace kelvane::engine {

namespace {
struct Registry;
}

struct FolderTimeKeeper::Session {
    Registry* registry = nullptr;
    std::filesystem::path folder;
    int watch = -1;
    timespec atime{};
    timespec mtime{};
    std::set<std::string> ownNames;
    bool foreignChange = false;
    int holders = 0;
};

namespace {

// Folders that swaps work in now, sharing one set of watches. All of it
// under `mutex`.
struct Registry {
    std::mutex mutex;
    std::optional<platform::FolderWatches> watches = platform::FolderWatches::open();
    std::map<std::string, std::shared_ptr<FolderTimeKeeper::Session>> byFolder;

    // Sorts the changes seen so far into the sessions they belong to.
    void collect()
    {
        const bool complete = watches->drain([&](int watch, std::string_view name) {
            for (auto& [folder, session] : byFolder)
                if (session->watch == watch && !session->ownNames.contains(std::string(name)))
                    session->foreignChange = true;
        });
        if (!complete)
            for (auto& [folder, session] : byFolder)
                session->foreignChange = true;
    }

    void restore(FolderTimeKeeper::Session& session)
    {
        collect();
        if (session.foreignChange)
            return;
        if (platform::utimensat(session.folder, session.atime, session.mtime, 0) != 0) {
            platform::Logger::compression().notice("folder time not restored for %{private}s: errno=%d",
                                                   session.folder, errno);
            return;
        }
        // A change that landed between the check and the restore must not be
        // hidden behind the old time.
        collect();
        if (session.foreignChange) {
            const timespec now{0, UTIME_NOW};
            platform::utimensat(session.folder, now, now, 0);
        }
    }
};

// The folders are spread over a few registries by name, each with its own
// lock and watches: the workers of a bulk run and their commits start and
// end sessions for every file, and with one lock they queued behind each
// other's system calls. A folder's name always leads to the same registry.
// (A folder reached by two names may have a session in two registries; each
// then sees the other's entries as another program's and leaves the time
// alone, as one registry did.)
constexpr std::size_t kRegistries = 8;

Registry& registryOf(const std::filesystem::path& folder)
{
    // Never destroyed: swaps may run until the process ends.
    static Registry* const instances = new Registry[kRegistries];
    return instances[std::hash<std::string>{}(folder.native()) % kRegistries];
}

}  // namespace

FolderTimeKeeper::FolderTimeKeeper(const std::filesystem::path& file)
{
    const std::filesystem::path folder = folderOf(file);
    Registry& all = registryOf(folder);
    const std::lock_guard lock(all.mutex);
    if (!all.watches)
        return;
    std::shared_ptr<Session>& slot = all.byFolder[folder.native()];
    if (!slot) {
        slot = std::make_shared<Session>();
        slot->registry = &all;
        slot->folder = folder;
        // Watching first: a change between the status and the watch would
        // otherwise go unseen. "/." so that a folder reached through a link
        // is the folder itself.
        slot->watch = all.watches->add(folder);
        platform::FileStat st;
        if (slot->watch < 0 || platform::lstat(folder / ".", st) != 0) {
            slot->foreignChange = true;  // nothing known: the time is left alone
        } else {
            slot->atime = st.atime;
            slot->mtime = st.mtime;
        }
    }
    session_ = slot;
    ++session_->holders;
    session_->ownNames.insert(file.filename().native());
    session_->ownNames.insert(TemporaryFile::pathFor(file).filename().native());
}

FolderTimeKeeper::FolderTimeKeeper(FolderTimeKeeper&& other) noexcept : session_(std::move(other.session_)) {}

FolderTimeKeeper::~FolderTimeKeeper() { release(); }

void FolderTimeKeeper::release()
{
    if (!session_)
        return;
    Registry& all = *session_->registry;
    const std::lock_guard lock(all.mutex);
    if (--session_->holders == 0) {
        all.restore(*session_);
        if (session_->watch >= 0) {
            // Another folder name may share the watch (the same folder reached
            // another way): it stays while that one is in use.
            bool shared = false;
            for (const auto& [folder, other] : all.byFolder)
                shared = shared || (other != session_ && other->watch == session_->watch);
            if (!shared)
                all.watches->remove(session_->watch);
        }
        all.byFolder.erase(session_->folder.native());
    }
    session_.reset();
}

}  // namespace kelvane::engine
