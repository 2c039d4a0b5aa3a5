// SPDX-License-Identifier: MIT
#pragma once

#include "platform/UniqueFd.h"

#include <filesystem>
#include <sys/types.h>
#include <string>
#include <thread>

namespace kelvane::fs {

// Hands the descriptor of the folder below the mount to processes of our
// own user (checked with SO_PEERCRED) over a Unix socket in the runtime
// folder (mode 0700): Kelvane works on the stand-in's raw records, which
// the mount hides.
class DescriptorServer {
public:
    DescriptorServer(int folderFd, std::filesystem::path mountPoint);
    ~DescriptorServer();
    DescriptorServer(const DescriptorServer&) = delete;
    DescriptorServer& operator=(const DescriptorServer&) = delete;

    // Makes the socket; false with `error` set when it cannot be had.
    bool start(std::string& error);
    // Answers requests on a thread of its own (call after any fork).
    void run();
    // Stops answering and removes the socket.
    void stop();

private:
    void serve();

    int folderFd_;
    std::filesystem::path mountPoint_;
    std::filesystem::path socketPath_;
    ino_t socketIno_ = 0;
    platform::UniqueFd listener_;
    std::thread thread_;
};

}  // namespace kelvane::fs
