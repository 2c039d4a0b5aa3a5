// SPDX-License-Identifier: MIT
#pragma once

#define FUSE_USE_VERSION 312
#include <fuse_lowlevel.h>

#include "fs/FolderView.h"
#include "platform/UniqueFd.h"

namespace kelvane::fs {

// The file system `kelvanefs` mounts: the kernel's requests, each handed to
// the view of the folder below (FolderView) and its answer replied.
class KelvaneFs {
public:
    KelvaneFs(platform::UniqueFd folder, const ServeOptions& options);

    static const fuse_lowlevel_ops& operations();

    int folderFd() const { return view_.folderFd(); }
    FolderView& view() { return view_; }
    // The session that serves the mount, for telling the kernel of changes.
    void setSession(fuse_session* session) { session_ = session; }
    fuse_session* session() const { return session_; }
    // Whether the kernel can open folders without asking the daemon.
    void setFoldersOpenUnasked(bool can) { foldersOpenUnasked_ = can; }
    bool foldersOpenUnasked() const { return foldersOpenUnasked_; }

private:
    FolderView view_;
    fuse_session* session_ = nullptr;
    bool foldersOpenUnasked_ = false;
};

}  // namespace kelvane::fs
