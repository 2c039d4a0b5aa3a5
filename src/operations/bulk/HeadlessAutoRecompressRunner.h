// SPDX-License-Identifier: MIT
#pragma once

#include "engine/SwapBatch.h"
#include "operations/mounts/MountKeeper.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace kelvane::store {
class ModelContainer;
class RegisteredItem;
}

namespace kelvane::operations {

// The work behind --auto-recompress: every registered item compressed
// without a window, one file after another on the calling (main) thread,
// their commits grouped and made behind it (engine::SwapBatch).
// Files modified in the last 30 minutes may still be open in an editor,
// which a flock cannot tell, so they are left alone. Reads the store through
// a read-only context of its own and writes nothing to it.
//
// Each registered item is first served by a live kelvanefs mount (made, or
// healed, by the mount keeper): only there do other programs read a
// compressed file as its original. An item no mount can serve is a failure
// of the run, named on `err` with the reason, and nothing in it is touched.
class HeadlessAutoRecompressRunner {
public:
    static constexpr std::chrono::seconds recentModificationWindow{1800};

    // Makes sure a live mount serves a registered item (MountKeeper::ensureServed).
    using ServeItem = std::function<MountOutcome(const std::filesystem::path&, discovery::ItemKind)>;

    // The two lines of the run go to `out`; the store failure and one line per
    // failed file or unserved item go to `err`. Without `serve`, the mount
    // keeper of this host.
    explicit HeadlessAutoRecompressRunner(std::shared_ptr<store::ModelContainer> container, std::FILE* out = stdout,
                                          std::FILE* err = stderr, ServeItem serve = {});

    // The exit status: 1 when the store cannot be read or a file failed, else 0.
    int run();

    // What one run counted.
    struct Tally {
        std::int64_t candidates = 0;
        std::int64_t succeeded = 0;
        std::int64_t failed = 0;
        std::int64_t alreadyCompressedSkips = 0;
        std::int64_t didNotShrinkSkips = 0;
        std::int64_t savedBytes = 0;
    };
    static std::string summaryLine(const Tally& tally, double elapsedSeconds);
    static std::string startLine(std::size_t itemCount);
    // "[Kelvane] 失敗: <path>: <reason>", the reason in words (failureInWords),
    // one line whatever the name holds:
    // control characters and backslashes are written as C escapes ("\n", "\\").
    static std::string failureLine(const std::filesystem::path& file, const std::string& reason);

private:
    std::optional<RegisteredPath> servedPlace(const store::RegisteredItem& item, Tally& tally);
    void processFile(const std::filesystem::path& url, std::chrono::system_clock::time_point cutoff, Tally& tally,
                     engine::SwapBatch& batch);
    void countSuccess(const engine::CompressionResult& result, Tally& tally);
    void countFailure(const std::filesystem::path& url, const std::exception_ptr& failure, Tally& tally);

    std::shared_ptr<store::ModelContainer> container_;
    // The tally and the failure lines: a file's end is heard on the thread
    // that commits it.
    std::mutex heard_;
    std::FILE* out_;
    std::FILE* err_;
    ServeItem serve_;
};

}  // namespace kelvane::operations
