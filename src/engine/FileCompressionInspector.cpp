// SPDX-License-Identifier: MIT
#include "engine/FileCompressionInspector.h"

#include "engine/DecmpfsHeader.h"
#include "engine/LstatOrThrow.h"
#include "platform/FileFlags.h"
#include "platform/FileSystem.h"
#include "platform/PosixError.h"

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>

namespace kelvane::engine {

using Error = FileCompressionInspectionError;

namespace {

// Whether two lstats saw one version of one file. A file replaced or changed
// between the lstat and its attribute reads (another program, or one of our
// own workers, compressed or decompressed it meanwhile) is read again instead
// of being reported as damaged or unreadable.
bool sameVersion(const platform::FileStat& a, const platform::FileStat& b)
{
    return a.dev == b.dev && a.ino == b.ino && a.flags == b.flags && a.ctime.tv_sec == b.ctime.tv_sec &&
           a.ctime.tv_nsec == b.ctime.tv_nsec;
}

}  // namespace

FileCompressionInfo FileCompressionInspector::inspect(const std::filesystem::path& url) const
{
    // A file that changes under every one of three reads is being rewritten
    // in a loop: the third read's failure is then reported as it stands.
    constexpr int attempts = 3;
    for (int attempt = 1;; ++attempt) {
        const platform::FileStat st = lstatOrThrow<Error>(url);
        try {
            return inspect(url, st);
        } catch (const Error&) {
            if (attempt == attempts)
                throw;
            platform::FileStat again;
            if (platform::lstat(url, again) == 0 && sameVersion(st, again))
                throw;
        }
    }
}

FileCompressionInfo FileCompressionInspector::inspect(const std::filesystem::path& url,
                                                      const platform::FileStat& st) const
{
    const auto logicalSize = static_cast<std::uint64_t>(st.size);
    const auto blockBytes = static_cast<std::uint64_t>(st.blocks) * 512;

    if ((st.flags & platform::UF_COMPRESSED) == 0) {
        const bool candidate = st.nlink <= 1 && S_ISREG(st.mode) && st.size >= minimumCompressibleSize;
        const FileCompressionStatus status = candidate ? FileCompressionStatus(FileCompressionStatus::uncompressed{})
                                                       : FileCompressionStatus::incompressible{};
        return FileCompressionInfo{status, logicalSize, blockBytes};
    }

    const auto attribute = readDecmpfsAttribute(url);
    const ssize_t forkSize = platform::getxattr(url, platform::kResourceForkXattrName, nullptr, 0, 0,
                                                platform::XATTR_SHOWCOMPRESSION);
    const std::uint64_t stored =
        static_cast<std::uint64_t>(std::max<ssize_t>(forkSize, 0)) + (attribute ? attribute->size() : 0);
    const std::uint64_t physicalSize = std::max(stored, blockBytes);
    if (!attribute)
        throw Error(Error::decmpfsHeaderMissingDespiteFlag{});

    try {
        const DecmpfsHeader header = DecmpfsHeader::parse(*attribute);
        return FileCompressionInfo{FileCompressionStatus::compressed{header.compressionType, header.uncompressedSize},
                                   logicalSize, physicalSize};
    } catch (const DecmpfsHeaderError& error) {
        const auto* unknown = error.as<DecmpfsHeaderError::unknownCompressionType>();
        if (unknown && unknown->rawValue == datalessCompressionType)
            return FileCompressionInfo{FileCompressionStatus::datalessCloud{}, logicalSize, physicalSize};
        throw Error(Error::decmpfsHeaderInvalid{error.description()});
    }
}

std::optional<std::vector<std::uint8_t>>
FileCompressionInspector::readDecmpfsAttribute(const std::filesystem::path& url) const
{
    const ssize_t size =
        platform::getxattr(url, platform::kDecmpfsXattrName, nullptr, 0, 0, platform::XATTR_SHOWCOMPRESSION);
    if (size < 0) {
        const int error = errno;
        if (error == ENOATTR)
            return std::nullopt;
        throw Error(Error::ioError{url, platform::PosixError("getxattr size", error).description()});
    }
    if (size == 0)
        return std::vector<std::uint8_t>{};
    std::vector<std::uint8_t> value(static_cast<std::size_t>(size));
    const ssize_t got = platform::getxattr(url, platform::kDecmpfsXattrName, value.data(), value.size(), 0,
                                           platform::XATTR_SHOWCOMPRESSION);
    if (got < 0) {
        // Removed by a change made since the size was read. Grown past that
        // size (ERANGE) is an error here, which inspect() answers by reading
        // the changed file again.
        const int error = errno;
        if (error == ENOATTR)
            return std::nullopt;
        throw Error(Error::ioError{url, platform::PosixError("getxattr read", error).description()});
    }
    value.resize(static_cast<std::size_t>(got));
    return value;
}

}  // namespace kelvane::engine
