// SPDX-License-Identifier: MIT
// libFuzzer target: a hostile compressed inode. The input becomes the decmpfs
// attribute and the resource fork of a file marked compressed; the file is
// then inspected, read through the platform layer and decompressed in place.
// Every failure must be a typed one, and a decompression that succeeds must
// leave the bytes the read gave.
//
// Input: 2 bytes little-endian attribute length, the attribute, then the fork.
// The size in the attribute's header is cut to 16 MiB, so that a stream that
// really decodes to gigabytes is not mistaken for a fault.
#include "engine/FileCompressionError.h"
#include "engine/FileCompressionInspectionError.h"
#include "engine/FileCompressionInspector.h"
#include "engine/FileCompressor.h"
#include "platform/FileFlags.h"
#include "platform/FileHandle.h"
#include "platform/FileSystem.h"

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using namespace kelvane;

void require(bool condition)
{
    if (!condition)
        std::abort();
}

const fs::path& folder()
{
    static const fs::path path = [] {
        std::string pattern = (fs::temp_directory_path() / "kelvane-fuzz-XXXXXX").string();
        require(::mkdtemp(pattern.data()) != nullptr);
        // The engine logs (and may look at the data folder): keep both here.
        ::setenv("XDG_DATA_HOME", pattern.c_str(), 1);
        ::setenv("XDG_STATE_HOME", pattern.c_str(), 1);
        return fs::path(pattern);
    }();
    return path;
}

bool writeAll(int fd, const std::uint8_t* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = platform::write(fd, data, size);
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    const std::size_t attributeLength = std::min<std::size_t>(data[0] | data[1] << 8, size - 2);
    Bytes attribute(data + 2, data + 2 + attributeLength);
    const Bytes fork(data + 2 + attributeLength, data + size);
    if (attribute.size() >= 16 && attribute[12] == 0 && attribute[13] == 0 && attribute[14] == 0 &&
        attribute[15] == 0 && attribute[11] > 0)
        attribute[11] = 0;  // sizes from 16 MiB up cut below it

    const fs::path file = folder() / "inode";
    fs::remove(file);
    fs::remove(fs::path(file.string() + ".kvtmp"));
    {
        const platform::UniqueFd fd = platform::open(file, O_WRONLY | O_CREAT | O_TRUNC, 0600);
        require(fd.valid());
    }
    if (platform::setxattr(file, platform::kDecmpfsXattrName, attribute.data(), attribute.size(), 0, 0) != 0)
        return 0;  // more than the inode holds
    if (!fork.empty()) {
        const platform::UniqueFd fd =
            platform::open(platform::resourceForkPath(file), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        require(fd.valid() && writeAll(fd.get(), fork.data(), fork.size()));
    }
    require(platform::chflags(file, platform::UF_COMPRESSED) == 0);

    try {
        engine::FileCompressionInspector().inspect(file);
    } catch (const engine::FileCompressionInspectionError&) {
    }
    Bytes readable;
    const bool read = platform::readWholeFile(file, readable) == 0;
    try {
        engine::FileCompressor().decompressFile(file);
        Bytes after;
        require(read && platform::readWholeFile(file, after) == 0 && after == readable);
    } catch (const engine::FileCompressionError&) {
    }
    return 0;
}
