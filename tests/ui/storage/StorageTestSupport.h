// SPDX-License-Identifier: MIT
#pragma once

// One offscreen QApplication for the storage window tests, living in its own
// HOME and XDG folders.

#include "support/CoreApplication.h"
#include "support/TempDir.h"
#include "volumes/StorageVolume.h"

#include <QApplication>

#include <cstdlib>

namespace kelvane::test {

// Never destroyed: a QApplication torn down among the exit handlers outlives
// Qt's own statics and crashes.
inline QApplication& storageTestApp()
{
    static TempDir home;
    static QApplication* app = [] {
        home.useAsHome();
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QApplication(testArguments().argc, testArguments().argv);
    }();
    return *app;
}

inline volumes::StorageVolume makeVolume(const std::string& url, bool isRoot = false)
{
    volumes::StorageVolume v;
    v.url = url;
    v.name = url == "/" ? "/" : std::filesystem::path(url).filename().string();
    v.fileSystemType = "ext4";
    v.isRoot = isRoot;
    v.isLocal = true;
    v.totalCapacity = 1'000'000'000;
    v.availableCapacity = 400'000'000;
    v.capabilities.supportsCompression = true;
    return v;
}

}  // namespace kelvane::test
