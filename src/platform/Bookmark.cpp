// SPDX-License-Identifier: MIT
#include "platform/Bookmark.h"

#include "platform/KelvanefsMount.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <zlib.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <string>

namespace kelvane::platform {
namespace {

// Layout, little-endian:
//   "KVBK" | u16 version | u16 reserved | u32 payload length | payload | u32 crc32
// payload (version 1):
//   u64 device | u64 inode | u32 file type (S_IFMT bits) | u32 flags
//   | i64 birth seconds | u32 birth nanoseconds | u32 path length | path bytes
// Readers of version 1 ignore payload bytes after the path (room to grow).
constexpr char kMagic[4] = {'K', 'V', 'B', 'K'};
constexpr std::uint16_t kVersion = 1;
constexpr std::size_t kHeaderSize = 12;
constexpr std::size_t kFixedPayloadSize = 8 + 8 + 4 + 4 + 8 + 4 + 4;
constexpr std::uint32_t kFlagHasBirthTime = 1;
// Far above any real path; keeps a hostile length from meaning anything.
constexpr std::uint32_t kMaxPathLength = 64 * 1024;

struct Identity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint32_t fileType = 0;
    std::optional<std::pair<std::int64_t, std::uint32_t>> birthTime;
};

// 0 on success, else errno.
int readIdentity(const std::filesystem::path& pathGiven, Identity& out) {
    const auto below = pathForCalls(pathGiven);
    if (!below) return errno;
    const std::filesystem::path& path = *below;
    struct statx sx {};
    if (statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW, STATX_TYPE | STATX_INO | STATX_BTIME, &sx) != 0)
        return errno;
    out.device = (static_cast<std::uint64_t>(sx.stx_dev_major) << 32) | sx.stx_dev_minor;
    out.inode = sx.stx_ino;
    out.fileType = sx.stx_mode & S_IFMT;
    if (sx.stx_mask & STATX_BTIME) out.birthTime = std::make_pair(static_cast<std::int64_t>(sx.stx_btime.tv_sec), sx.stx_btime.tv_nsec);
    return 0;
}

void put(std::vector<std::uint8_t>& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

std::uint64_t get(std::span<const std::uint8_t> data, std::size_t at, int bytes) {
    std::uint64_t value = 0;
    for (int i = 0; i < bytes; ++i) value |= static_cast<std::uint64_t>(data[at + i]) << (8 * i);
    return value;
}

std::uint32_t checksum(std::span<const std::uint8_t> bytes) {
    return static_cast<std::uint32_t>(crc32(0L, bytes.data(), static_cast<uInt>(bytes.size())));
}

[[noreturn]] void invalidData(const std::string& why) {
    throw BookmarkDataError(BookmarkDataError::invalidData{why});
}

}  // namespace

std::vector<std::uint8_t> createBookmarkData(const std::filesystem::path& path, unsigned /*options*/) {
    const auto failed = [&](std::string reason, int error) {
        return BookmarkDataError(BookmarkDataError::creationFailed{path, std::move(reason), error});
    };
    if (!path.is_absolute()) throw failed("path is not absolute", EINVAL);
    const std::string& text = path.native();
    if (text.size() > kMaxPathLength) throw failed(errorDescription(ENAMETOOLONG), ENAMETOOLONG);
    Identity id;
    if (const int err = readIdentity(path, id); err != 0) throw failed(PosixError("lstat", err).description(), err);

    std::vector<std::uint8_t> out(kMagic, kMagic + 4);
    put(out, kVersion, 2);
    put(out, 0, 2);
    put(out, kFixedPayloadSize + text.size(), 4);
    put(out, id.device, 8);
    put(out, id.inode, 8);
    put(out, id.fileType, 4);
    put(out, id.birthTime ? kFlagHasBirthTime : 0, 4);
    put(out, id.birthTime ? static_cast<std::uint64_t>(id.birthTime->first) : 0, 8);
    put(out, id.birthTime ? id.birthTime->second : 0, 4);
    put(out, text.size(), 4);
    out.insert(out.end(), text.begin(), text.end());
    put(out, checksum(out), 4);
    return out;
}

ResolvedBookmarkData resolveBookmarkData(std::span<const std::uint8_t> data, unsigned /*options*/) {
    if (data.size() < kHeaderSize + kFixedPayloadSize + 4) invalidData("too short");
    if (std::memcmp(data.data(), kMagic, 4) != 0) invalidData("unknown format");
    const auto version = get(data, 4, 2);
    if (version != kVersion) invalidData("unsupported version " + std::to_string(version));
    const auto payloadLength = get(data, 8, 4);
    if (payloadLength < kFixedPayloadSize || payloadLength != data.size() - kHeaderSize - 4)
        invalidData("length mismatch");
    const std::size_t crcAt = data.size() - 4;
    if (get(data, crcAt, 4) != checksum(data.first(crcAt))) invalidData("checksum mismatch");

    std::size_t at = kHeaderSize;
    Identity recorded;
    recorded.device = get(data, at, 8);
    recorded.inode = get(data, at + 8, 8);
    recorded.fileType = static_cast<std::uint32_t>(get(data, at + 16, 4));
    const auto flags = get(data, at + 20, 4);
    if (flags & kFlagHasBirthTime)
        recorded.birthTime = std::make_pair(static_cast<std::int64_t>(get(data, at + 24, 8)),
                                            static_cast<std::uint32_t>(get(data, at + 32, 4)));
    const auto pathLength = get(data, at + 36, 4);
    at += kFixedPayloadSize;
    if (pathLength == 0 || pathLength > kMaxPathLength || pathLength > payloadLength - kFixedPayloadSize)
        invalidData("bad path length");
    std::string text(reinterpret_cast<const char*>(data.data() + at), pathLength);
    if (text.front() != '/' || text.find('\0') != std::string::npos) invalidData("bad path");

    Identity current;
    if (const int err = readIdentity(text, current); err != 0)
        throw BookmarkDataError(BookmarkDataError::resolutionFailed{text, PosixError("lstat", err).description(), err});
    const bool sameItem = current.device == recorded.device && current.inode == recorded.inode &&
                          current.fileType == recorded.fileType &&
                          (!current.birthTime || !recorded.birthTime || current.birthTime == recorded.birthTime);
    return {std::filesystem::path(std::move(text)), !sameItem};
}

std::string BookmarkDataCases::describe(const creationFailed& c) {
    return "bookmark creation failed for " + c.path.string() + ": " + c.reason;
}

std::string BookmarkDataCases::describe(const resolutionFailed& c) {
    return "bookmark resolution failed for " + c.path.string() + ": " + c.reason;
}

int BookmarkDataError::code() const noexcept {
    if (const auto* failed = as<creationFailed>()) return failed->errorNumber;
    if (const auto* failed = as<resolutionFailed>()) return failed->errorNumber;
    return EINVAL;
}

bool startAccessingSecurityScopedResource(const std::filesystem::path&) {
    return true;
}

void stopAccessingSecurityScopedResource(const std::filesystem::path&) {}

}  // namespace kelvane::platform
