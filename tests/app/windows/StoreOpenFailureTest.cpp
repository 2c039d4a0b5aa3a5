// SPDX-License-Identifier: MIT
// A windowed start whose store cannot be opened says so in a window that
// names the file and the reason, and leaves the file as it was.

#include "app/KelvaneApp.h"
#include "operations/rows/FileStatusCache.h"
#include "platform/AppSupport.h"

#include "store/CompressionLog.h"
#include "store/ModelContainer.h"
#include "support/SmallFileSystem.h"
#include "support/TempDir.h"
#include "support/WidgetApplication.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kelvane::app {
namespace {

namespace fs = std::filesystem;

// What the user saw of the failure window, if one came up.
struct SeenAlert {
    bool shown = false;
    QString text;
    QString details;
    bool plain = false;
};

// Starts the window as the user does; a failure window that comes up is read
// and closed with its button.
std::optional<KelvaneApp> startTheWindow(SeenAlert& seen)
{
    QTimer look;
    look.setInterval(10);
    QObject::connect(&look, &QTimer::timeout, [&] {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            auto* alert = qobject_cast<QMessageBox*>(window);
            if (!alert || !alert->isVisible())
                continue;
            seen = {true, alert->text(), alert->informativeText(), alert->textFormat() == Qt::PlainText};
            look.stop();
            alert->button(QMessageBox::Ok)->click();
        }
    });
    look.start();
    return KelvaneApp::start(RunMode::gui, std::make_unique<operations::FileStatusCache>());
}

std::vector<std::string> namesIn(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

// The shown alert's detail lines into `lines`: the store's place first, then
// what is wrong with it in the user's words, then the store's own for a report.
void readDetails(const SeenAlert& seen, const fs::path& store, QStringList& lines)
{
    ASSERT_TRUE(seen.shown);
    lines = seen.details.split(u'\n');
    ASSERT_GE(lines.size(), 2) << seen.details.toStdString();
    EXPECT_EQ(lines[0].toStdString(), "場所: " + store.string());
    ASSERT_GE(lines.size(), 3) << seen.details.toStdString();
}

TEST(StoreOpenFailureTest, TheWindowNamesTheStoreAndTheReasonAndTheFileIsKept)
{
    kelvane::test::widgetApplication();
    kelvane::test::TempDir home;
    home.useAsHome();
    const fs::path store = platform::applicationSupportDirectory() / "store.sqlite";
    fs::create_directories(store.parent_path());
    const std::vector<std::uint8_t> garbage{'n', 'o', 't', ' ', 'a', ' ', 'd', 'a', 't', 'a', 'b', 'a', 's', 'e', '\n',
                                            0,   1,   2,   3,   4,   5,   6,   7,   8,   9,   10,  11,  12,  13,  14};
    std::vector<std::uint8_t> contents;
    for (int i = 0; i < 400; ++i)
        contents.insert(contents.end(), garbage.begin(), garbage.end());
    kelvane::test::writeRawFile(store, contents);

    // The user reads the window, then closes it.
    SeenAlert seen;
    std::optional<KelvaneApp> app = startTheWindow(seen);

    EXPECT_FALSE(app.has_value());
    QStringList lines;
    ASSERT_NO_FATAL_FAILURE(readDetails(seen, store, lines));
    EXPECT_EQ(seen.text.toStdString(), "Kelvane のデータ（登録項目と履歴）を開けないため、起動できません。");
    EXPECT_TRUE(seen.plain);
    EXPECT_EQ(lines[1], QStringLiteral("理由: このファイルは Kelvane のデータではありません。"));
    EXPECT_TRUE(lines[2].startsWith(QStringLiteral("詳細: "))) << lines[2].toStdString();
    EXPECT_TRUE(lines[2].contains(QStringLiteral("is not a Kelvane store"))) << lines[2].toStdString();
    EXPECT_EQ(kelvane::test::readRawFile(store), contents);
    for (const char* side : {"-journal", ".new"})
        EXPECT_FALSE(fs::exists(store.string() + side));
}

// A home of its own whose application folder is a small file system, for
// filling it up.
struct HomeOnSmallDisk {
    HomeOnSmallDisk() : folder(prepare(home)), disk(8 << 20, folder) {}
    static fs::path prepare(kelvane::test::TempDir& home)
    {
        kelvane::test::widgetApplication();
        home.useAsHome();
        fs::path folder = platform::applicationSupportDirectory();
        fs::create_directories(folder);
        return folder;
    }
    kelvane::test::TempDir home;
    fs::path folder;
    kelvane::test::SmallFileSystem disk;
};

// The store's folder on a disk with no room left: the window says the disk
// is full, and the store and its folder are left exactly as they were.
TEST(StoreOpenFailureTest, AFullDiskIsTheReasonTheWindowGivesAndNothingIsWritten)
{
    HomeOnSmallDisk small;
    if (!small.disk.mounted())
        GTEST_SKIP() << small.disk.reason();
    const fs::path store = small.folder / "store.sqlite";
    {
        auto container = store::makeModelContainer(store);
        container->mainContext().insert(std::make_shared<store::CompressionLog>(
            store::Uuid::random(), std::chrono::system_clock::now(), "compress", "/home/u/a.bin", 100, 40, "LZFSE", 2,
            true, std::nullopt));
        container->mainContext().save();
    }
    const auto contents = kelvane::test::readRawFile(store);
    ASSERT_EQ(small.disk.fill(), 0u);
    const auto before = namesIn(small.folder);

    SeenAlert seen;
    std::optional<KelvaneApp> app = startTheWindow(seen);

    EXPECT_FALSE(app.has_value());
    QStringList lines;
    ASSERT_NO_FATAL_FAILURE(readDetails(seen, store, lines));
    EXPECT_EQ(lines[1], QStringLiteral("理由: ディスクに空きがないため、データを書き込めません。"));
    EXPECT_TRUE(lines[2].contains(QStringLiteral("the disk is full"))) << lines[2].toStdString();
    EXPECT_EQ(kelvane::test::readRawFile(store), contents);
    EXPECT_EQ(namesIn(small.folder), before);
}

// All but full is not full: the window starts without a word.
TEST(StoreOpenFailureTest, ANearlyFullDiskStartsTheWindow)
{
    HomeOnSmallDisk small;
    if (!small.disk.mounted())
        GTEST_SKIP() << small.disk.reason();
    store::makeModelContainer(small.folder / "store.sqlite");
    small.disk.fill(store::ModelContainer::writeHeadroom + (256 << 10));

    SeenAlert seen;
    std::optional<KelvaneApp> app = startTheWindow(seen);

    EXPECT_TRUE(app.has_value());
    EXPECT_FALSE(seen.shown) << seen.details.toStdString();
}

}  // namespace
}  // namespace kelvane::app
