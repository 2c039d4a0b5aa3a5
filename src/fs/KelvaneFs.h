// SPDX-License-Identifier: MIT
#pragma once

#define FUSE_USE_VERSION 312
#include <fuse_lowlevel.h>

#include "fs/FolderView.h"
#include "fs/RequestTimes.h"
#include "platform/UniqueFd.h"

#include <memory>

namespace kelvane::fs {

// The file system `kelvanefs` mounts: the kernel's requests, each handed to
// the view of the folder below (FolderView) and its answer replied.
class KelvaneFs {
public:
    KelvaneFs(platform::UniqueFd folder, const ServeOptions& options);

    // Timed into requestTimes() when the file system keeps them.
    const fuse_lowlevel_ops& operations() const;

    int folderFd() const { return view_.folderFd(); }
    FolderView& view() { return view_; }
    // The session that serves the mount, for telling the kernel of changes.
    void setSession(fuse_session* session) { session_ = session; }
    fuse_session* session() const { return session_; }
    // Whether the kernel can open folders without asking the daemon.
    void setFoldersOpenUnasked(bool can) { foldersOpenUnasked_ = can; }
    bool foldersOpenUnasked() const { return foldersOpenUnasked_; }

    // Starts keeping the request times (before the session is made).
    void keepRequestTimes() { requestTimes_ = std::make_unique<RequestTimes>(); }
    RequestTimes* requestTimes() const { return requestTimes_.get(); }

private:
    FolderView view_;
    std::unique_ptr<RequestTimes> requestTimes_;
    fuse_session* session_ = nullptr;
    bool foldersOpenUnasked_ = false;
};

}  // namespace kelvane::fs
