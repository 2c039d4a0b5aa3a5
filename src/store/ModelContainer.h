// SPDX-License-Identifier: MIT
#pragma once

#include "store/ModelContext.h"
#include "store/SchemaVersion.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

namespace kelvane::store {

struct ModelConfiguration {
    std::filesystem::path url;  // the store file, e.g. <application support>/store.sqlite
    // How long a save waits for another connection's write (the headless run
    // and the window share the file).
    std::chrono::milliseconds busyTimeout{5000};
    // Refuse a store that cannot take saves (verifyWritable), checking the
    // room on its disk before anything is opened for writing, so that a full
    // disk is reported as such and gets no journal files put beside the store.
    bool mustBeWritable = false;
};

// Told after every successful save of any context of the container, on the
// thread that saved. Observers must not throw.
struct SaveNotification {
    const ModelContext* context = nullptr;
    std::vector<std::string_view> changedEntities;  // entity names, e.g. "CompressionLog"

    bool touches(std::string_view entityName) const;
    template <class M>
    bool touches() const { return touches(M::entityName); }
};

// The opened store. Opening:
//  - no file (or an empty one): a new store of the current version is made
//    beside it and moved into place whole;
//  - a current store: used as it is;
//  - an older store: brought up to date in one transaction, every row kept;
//  - a newer store, another program's database or any other file: refused
//    with StoreError (newerVersion, notAStore, damaged) and left byte for
//    byte as it was, with no side files left behind.
// The store runs in WAL mode with a busy time-out, so several connections
// (also of other processes) can use it at once.
class ModelContainer {
public:
    static std::shared_ptr<ModelContainer> open(const ModelConfiguration& configuration);
    ~ModelContainer();
    ModelContainer(const ModelContainer&) = delete;
    ModelContainer& operator=(const ModelContainer&) = delete;

    const std::filesystem::path& url() const;
    SchemaVersion schemaVersion() const;

    // The context the application reads and writes through (main thread).
    ModelContext& mainContext();
    // A further context on its own connection; a read-only one can never
    // write (the headless run reads through one).
    std::unique_ptr<ModelContext> makeContext(ModelContext::Access access = ModelContext::Access::readWrite);

    // Whether saves can reach the file, changing nothing: the disk holding
    // it has writeHeadroom to give, and a write begun on it is accepted and
    // rolled back. Throws StoreError (cannotOpen) for a store that can only
    // be read (a read-only file, folder or mount) or whose disk or quota is
    // full (then with SQLITE_FULL, and "the disk is full" or "the disk quota
    // is full" in its text). A window that would otherwise lose every
    // registration opens the store with mustBeWritable.
    void verifyWritable() const;

    // The room a store must be able to grow by to count as writable: the
    // journal of a save of 1,000 history records takes 141 KiB (measured),
    // so this holds some thousands of records before a checkpoint.
    static constexpr std::uint64_t writeHeadroom = 1 << 20;

    using SaveObserver = std::function<void(const SaveNotification&)>;
    // Returns a token for removeSaveObserver.
    std::uint64_t addSaveObserver(SaveObserver observer);
    void removeSaveObserver(std::uint64_t token);

private:
    struct Shared;
    explicit ModelContainer(std::shared_ptr<Shared> shared);

    std::shared_ptr<Shared> shared_;
    std::unique_ptr<ModelContext> mainContext_;
};

// Opens the store at `url` with the default configuration. Throws StoreError.
std::shared_ptr<ModelContainer> makeModelContainer(const std::filesystem::path& url, bool mustBeWritable = false);

}  // namespace kelvane::store
