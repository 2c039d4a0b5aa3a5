// SPDX-License-Identifier: MIT
#pragma once

// Helpers shared by the engine's tests: files set up through the platform
// layer the way it stores compressed files, and reads that go through it.

#include "engine/DecmpfsHeader.h"
#include "engine/FileCompressor.h"
#include "engine/StepObserver.h"
#include "platform/FileFlags.h"
#include "platform/FileHandle.h"
#include "platform/FileSystem.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace kelvane::engine::fixtures {

using Bytes = std::vector<std::uint8_t>;
using Path = std::filesystem::path;

// A step observer for a child process that stops itself dead at its n-th
// step (n in stepsLeft): no destructor, no clean-up, as a kill would.
inline int stepsLeft = 0;
inline void killAtStep(std::string_view)
{
    if (--stepsLeft == 0)
        ::kill(::getpid(), SIGKILL);
}

// A child process that runs `action` after `prepare` and ends with 0, or 3
// when the action throws; no clean-up of the test process runs there.
inline pid_t forkRunning(const std::function<void()>& action, const std::function<void()>& prepare)
{
    const pid_t child = ::fork();
    if (child < 0)
        throw std::runtime_error("fork failed");
    if (child == 0) {
        prepare();
        try {
            action();
        } catch (...) {
            ::_exit(3);
        }
        ::_exit(0);
    }
    return child;
}

// Runs `action` in a child that dies at its `stopAt`-th step. True when the
// action ran to its end first; a child that failed on its own or died of
// anything else throws, which fails the test.
inline bool runKilledAtStep(const std::function<void()>& action, int stopAt)
{
    const pid_t child = forkRunning(action, [stopAt] {
        stepsLeft = stopAt;
        setStepObserver(killAtStep);
    });
    int status = 0;
    if (::waitpid(child, &status, 0) != child)
        throw std::runtime_error("waitpid failed: errno=" + std::to_string(errno));
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
        return true;
    if (WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
        return false;
    throw std::runtime_error(WIFEXITED(status) ? "the operation failed on its own"
                                               : "the child died of signal " + std::to_string(WTERMSIG(status)));
}

// What `body` returns when run in a child process as the unprivileged user
// 65534 (which only root can become), "threw: ..." when it throws, or
// "setuid failed".
inline std::string reportAsNobody(const std::function<std::string()>& body)
{
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        throw std::runtime_error("pipe failed: errno=" + std::to_string(errno));
    const pid_t child = ::fork();
    if (child < 0)
        throw std::runtime_error("fork failed");
    if (child == 0) {
        ::close(pipeFds[0]);
        std::string report = "setuid failed";
        if (::setgid(65534) == 0 && ::setuid(65534) == 0) {
            try {
                report = body();
            } catch (const std::exception& error) {
                report = std::string("threw: ") + error.what();
            } catch (...) {
                report = "threw";
            }
        }
        (void)!::write(pipeFds[1], report.data(), report.size());
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    std::string report;
    char buffer[512];
    for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        report.append(buffer, static_cast<std::size_t>(n));
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return report;
}

// Text that compresses well, different for each seed.
inline Bytes textBytes(std::size_t count, unsigned seed)
{
    static const char* words[] = {"alpha ", "beta ", "gamma ", "delta ", "epsilon ", "zeta ", "eta\n", "theta "};
    std::mt19937 rng(seed);
    Bytes out;
    out.reserve(count + 16);
    while (out.size() < count) {
        const char* word = words[rng() % 8];
        out.insert(out.end(), word, word + std::strlen(word));
        if (rng() % 16 == 0)
            out.push_back(static_cast<std::uint8_t>('0' + rng() % 10));
    }
    out.resize(count);
    return out;
}

inline Bytes randomBytes(std::size_t count, unsigned seed)
{
    std::mt19937 rng(seed);
    Bytes out(count);
    for (auto& b : out)
        b = static_cast<std::uint8_t>(rng());
    return out;
}

// Four random bits per byte: shrinks to a little over half, so its fork stays
// large (random bytes do not shrink and are never replaced).
inline Bytes noisyBytes(std::size_t count, unsigned seed)
{
    Bytes out = randomBytes(count, seed);
    for (auto& b : out)
        b &= 0x0f;
    return out;
}

// The file's contents as every reader of the platform sees them.
inline Bytes readThroughLayer(const Path& path)
{
    Bytes out;
    if (platform::readWholeFile(path, out) != 0)
        throw std::runtime_error("read through the layer failed: errno=" + std::to_string(errno));
    return out;
}

inline platform::FileStat statOf(const Path& path)
{
    platform::FileStat st;
    if (platform::lstat(path, st) != 0)
        throw std::runtime_error("lstat failed: errno=" + std::to_string(errno));
    return st;
}

inline bool isCompressed(const Path& path) { return (statOf(path).flags & platform::UF_COMPRESSED) != 0; }

// A whole attribute value (XATTR_SHOWCOMPRESSION), or none.
inline std::optional<Bytes> attribute(const Path& path, std::string_view name)
{
    const ssize_t size = platform::getxattr(path, name, nullptr, 0, 0, platform::XATTR_SHOWCOMPRESSION);
    if (size < 0)
        return std::nullopt;
    Bytes value(static_cast<std::size_t>(size));
    const ssize_t got = platform::getxattr(path, name, value.data(), value.size(), 0, platform::XATTR_SHOWCOMPRESSION);
    if (got < 0)
        return std::nullopt;
    value.resize(static_cast<std::size_t>(got));
    return value;
}

inline void setAttribute(const Path& path, std::string_view name, const Bytes& value)
{
    if (platform::setxattr(path, name, value.data(), value.size(), 0, 0) != 0)
        throw std::runtime_error("setxattr " + std::string(name) + " failed: errno=" + std::to_string(errno));
}

// A compressed file laid out as the layer keeps one: the header attribute, the
// fork streamed into the (empty) data stream, then the flag.
inline void makeCompressedFile(const Path& path, const Bytes& decmpfs, const std::optional<Bytes>& fork)
{
    test::writeRawFile(path, {});
    setAttribute(path, platform::kDecmpfsXattrName, decmpfs);
    if (fork) {
        platform::UniqueFd fd = platform::open(platform::resourceForkPath(path), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (!fd)
            throw std::runtime_error("open fork failed: errno=" + std::to_string(errno));
        std::size_t done = 0;
        while (done < fork->size()) {
            const ssize_t n = platform::write(fd.get(), fork->data() + done, fork->size() - done);
            if (n <= 0)
                throw std::runtime_error("write fork failed");
            done += static_cast<std::size_t>(n);
        }
    }
    if (platform::chflags(path, platform::UF_COMPRESSED) != 0)
        throw std::runtime_error("chflags failed: errno=" + std::to_string(errno));
}

inline bool pathExists(const Path& path)
{
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

inline Path temporaryOf(const Path& path) { return Path(path.string() + ".kvtmp"); }

// The failure `call` throws; a call that does not throw fails the test.
template <typename Error, typename Call>
Error thrown(Call&& call)
{
    try {
        call();
    } catch (const Error& error) {
        return error;
    }
    throw std::runtime_error("the expected failure was not thrown");
}

// Tests of what the unprivileged user 65534 meets (reportAsNobody): only
// root can become that user, so they are skipped otherwise. Each has a
// folder of its own, `folder_`.
class AsNobodyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (::geteuid() != 0)
            GTEST_SKIP() << "needs root to act as another user";
        std::filesystem::create_directory(folder_);
    }

    test::TempDir dir_;
    const Path folder_ = dir_ / "folder";
};

// Little-endian field edits of headers and offset tables.
inline void storeLE(Bytes& bytes, std::size_t offset, std::uint64_t value, int width)
{
    for (int i = 0; i < width; ++i)
        bytes.at(offset + i) = static_cast<std::uint8_t>(value >> (8 * i));
}
inline Bytes withType(Bytes header, std::uint32_t type)
{
    storeLE(header, 4, type, 4);
    return header;
}
inline Bytes withSize(Bytes header, std::uint64_t size)
{
    storeLE(header, 8, size, 8);
    return header;
}
inline void setEntry(Bytes& fork, std::size_t index, std::uint32_t value) { storeLE(fork, 4 * index, value, 4); }

// One of the four per-file roads: compression or decompression, in memory or
// streamed (a small threshold sends a 64 KiB file down the streaming road).
struct Road {
    const char* name;
    bool decompress;
    std::int64_t threshold;

    void run(const Path& file) const
    {
        const FileCompressor compressor;
        if (decompress)
            compressor.decompressFile(file, threshold);
        else
            compressor.compressFile(file, threshold);
    }
};

inline constexpr Road fourRoads[] = {
    {"compress in memory", false, FileCompressor::streamingThreshold},
    {"compress streaming", false, 65536},
    {"decompress in memory", true, FileCompressor::streamingThreshold},
    {"decompress streaming", true, 65536},
};

}  // namespace kelvane::engine::fixtures



#include <functional>

namespace kelvane::engine::fixtures {

// Runs `action` at every step the engine reports, until the object goes away.
// Installed before any worker starts and removed after they end.
class ScopedStepObserver {
public:
    explicit ScopedStepObserver(std::function<void(std::string_view)> action)
    {
        slot() = std::move(action);
        setStepObserver([](std::string_view step) { slot()(step); });
    }
    ~ScopedStepObserver()
    {
        setStepObserver(nullptr);
        slot() = nullptr;
    }
    ScopedStepObserver(const ScopedStepObserver&) = delete;
    ScopedStepObserver& operator=(const ScopedStepObserver&) = delete;

private:
    static std::function<void(std::string_view)>& slot()
    {
        static std::function<void(std::string_view)> action;
        return action;
    }
};

}  // namespace kelvane::engine::fixtures

#include "engine/FileCompressionError.h"
#include "engine/FileCompressionInspectionError.h"
#include "engine/FileCompressionStatus.h"

#include <ostream>

namespace kelvane::engine {

// Readable values in failure messages.
inline void PrintTo(const FileCompressionStatus& status, std::ostream* out)
{
    static const char* names[] = {"compressed", "uncompressed", "datalessCloud", "incompressible"};
    *out << names[static_cast<int>(status.kind())];
    if (const auto* c = status.as<FileCompressionStatus::compressed>())
        *out << "(" << caseName(c->algorithm) << ", " << c->uncompressedSize << ")";
}
inline void PrintTo(const FileCompressionError& error, std::ostream* out) { *out << error.description(); }
inline void PrintTo(const FileCompressionInspectionError& error, std::ostream* out) { *out << error.description(); }

}  // namespace kelvane::engine
