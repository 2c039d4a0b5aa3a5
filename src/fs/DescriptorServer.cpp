// SPDX-License-Identifier: MIT
#include "fs/DescriptorServer.h"

#include "platform/KelvanefsMount.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace kelvane::fs {

namespace {

constexpr std::chrono::milliseconds kRetryAfterExhaustion{50};

std::string failure(const std::string& step, int error) { return step + ": " + std::strerror(error); }

// The runtime folder, ours and closed to everyone else.
bool prepareFolder(const std::filesystem::path& folder, std::string& error)
{
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        error = failure("mkdir " + folder.string(), errno);
        return false;
    }
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) {
        error = folder.string() + " is not a folder of ours";
        return false;
    }
    if ((st.st_mode & 07777) != 0700 && ::chmod(folder.c_str(), 0700) != 0) {
        error = failure("chmod " + folder.string(), errno);
        return false;
    }
    return true;
}

void sendDescriptor(int connection, int fd)
{
    char byte = 'K';
    iovec data{&byte, 1};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
    msghdr message{};
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    cmsghdr* header = CMSG_FIRSTHDR(&message);
    header->cmsg_level = SOL_SOCKET;
    header->cmsg_type = SCM_RIGHTS;
    header->cmsg_len = CMSG_LEN(sizeof(int));
    std::memcpy(CMSG_DATA(header), &fd, sizeof fd);
    while (::sendmsg(connection, &message, MSG_NOSIGNAL) < 0 && errno == EINTR) {
    }
}

}  // namespace

DescriptorServer::DescriptorServer(int folderFd, std::filesystem::path mountPoint)
    : folderFd_(folderFd), mountPoint_(std::move(mountPoint))
{
}

DescriptorServer::~DescriptorServer() { stop(); }

bool DescriptorServer::start(std::string& error)
{
    const std::filesystem::path folder = platform::kelvanefsRuntimeFolder();
    if (!prepareFolder(folder, error))
        return false;
    const std::filesystem::path path = platform::kelvanefsSocketPath(mountPoint_);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.native().size() >= sizeof address.sun_path) {
        error = path.string() + ": path too long for a socket";
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.native().size());
    platform::UniqueFd listener(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!listener) {
        error = failure("socket", errno);
        return false;
    }
    // No kelvanefs serves this folder (checked before): a socket left there
    // is a dead daemon's, or one that is still ending; ours replaces it.
    ::unlink(path.c_str());
    if (::bind(listener.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener.get(), 16) != 0) {
        error = failure("bind " + path.string(), errno);
        return false;
    }
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0)
        socketIno_ = st.st_ino;
    listener_ = std::move(listener);
    socketPath_ = path;
    return true;
}

void DescriptorServer::run()
{
    if (listener_ && !thread_.joinable())
        thread_ = std::thread([this] { serve(); });
}

void DescriptorServer::serve()
{
    for (;;) {
        platform::UniqueFd connection(::accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC));
        if (!connection) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                // Out of descriptors for now (every file open through the
                // mount holds some here): the caller waits in the queue
                // until files are closed, and the socket serves on.
                std::this_thread::sleep_for(kRetryAfterExhaustion);
                continue;
            }
            return;  // shut down
        }
        ucred peer{};
        socklen_t length = sizeof peer;
        if (::getsockopt(connection.get(), SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0 || peer.uid != ::geteuid())
            continue;  // another user gets nothing
        sendDescriptor(connection.get(), folderFd_);
    }
}

void DescriptorServer::stop()
{
    if (listener_)
        ::shutdown(listener_.get(), SHUT_RDWR);
    if (thread_.joinable())
        thread_.join();
    if (listener_) {
        // Only our own: a daemon that mounted the folder again since may
        // have put its socket at the same path.
        struct stat st {};
        if (::lstat(socketPath_.c_str(), &st) == 0 && st.st_ino == socketIno_)
            ::unlink(socketPath_.c_str());
        listener_.reset();
    }
}

}  // namespace kelvane::fs
