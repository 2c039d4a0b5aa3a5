// SPDX-License-Identifier: MIT
#pragma once

// Shared set-up of the operations tests: the Qt application their main-thread
// objects need, waiting on a condition while the event loop runs, a store in
// the test's own folder, and a fixture with a window model over that store.

#include "discovery/SecurityScopedBookmark.h"
#include "operations/rows/FileStatusCache.h"
#include "operations/rows/RegisteredItemKind.h"
#include "operations/windows/MainWindowModel.h"
#include "platform/AppSupport.h"
#include "store/ModelContainer.h"
#include "store/RegisteredItem.h"
#include "support/CoreApplication.h"
#include "support/DisplayRows.h"
#include "support/EventLoopWait.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <chrono>
#include <fstream>
#include <sstream>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace kelvane::operations::test {

using kelvane::test::rowId;

inline QCoreApplication& application() { return kelvane::test::coreApplication(); }

// Runs the event loop until `condition` holds; false when it still does not
// after `timeout`.
inline bool waitUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds timeout = std::chrono::seconds(120))
{
    application();
    return kelvane::test::runEventsUntil(condition, timeout);
}

// The lines of the log file whose text contains `marker`.
inline std::vector<std::string> logLines(const std::string& marker)
{
    std::ifstream in(platform::logDirectory() / "kelvane.log");
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        if (line.find(marker) != std::string::npos)
            lines.push_back(line);
    return lines;
}

// A file of `size` bytes of one letter at `path`, its folders made as needed.
inline void writeFile(const std::filesystem::path& path, std::size_t size)
{
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << std::string(size, 'a');
}

inline std::shared_ptr<store::ModelContainer> openStore(const kelvane::test::TempDir& dir)
{
    return store::ModelContainer::open({dir.path() / "store.sqlite"});
}

// `storedKind` is the store's text, also one no kind spells.
inline std::shared_ptr<store::RegisteredItem> registerItem(store::ModelContext& context,
                                                           const std::filesystem::path& path,
                                                           const std::string& storedKind, bool includeSubfolders = true)
{
    auto item = std::make_shared<store::RegisteredItem>(
        store::Uuid::random(), discovery::SecurityScopedBookmark::createBookmark(path), storedKind, includeSubfolders,
        std::chrono::system_clock::now(), path.filename().string());
    context.insert(item);
    context.save();
    return item;
}

inline std::shared_ptr<store::RegisteredItem> registerItem(store::ModelContext& context,
                                                           const std::filesystem::path& path, ItemKind kind,
                                                           bool includeSubfolders = true)
{
    return registerItem(context, path, std::string(rawValue(kind)), includeSubfolders);
}

// A test home folder, made HOME and the XDG folders.
class HomeFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        application();
        dir_.useAsHome();
    }

    kelvane::test::TempDir dir_;
};

// A test home folder holding the store.
class StoreFixture : public HomeFixture {
protected:
    void SetUp() override
    {
        HomeFixture::SetUp();
        container_ = openStore(dir_);
    }

    std::shared_ptr<store::ModelContainer> container_;
};

// The store, and a window model over its main context with a status cache of
// its own.
class ModelFixture : public StoreFixture {
protected:
    void SetUp() override
    {
        StoreFixture::SetUp();
        cache_ = std::make_unique<FileStatusCache>();
        model_ = std::make_unique<MainWindowModel>(*cache_, container_->mainContext());
    }

    std::unique_ptr<FileStatusCache> cache_;
    std::unique_ptr<MainWindowModel> model_;
};

}  // namespace kelvane::operations::test
