// SPDX-License-Identifier: MIT
// A windowed start whose store cannot be opened says so in a window that
// names the file and the reason, and leaves the file as it was.

#include "app/KelvaneApp.h"
#include "operations/rows/FileStatusCache.h"
#include "platform/AppSupport.h"

#include "support/TempDir.h"
#include "support/WidgetApplication.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <memory>
#include <optional>

namespace kelvane::app {
namespace {

namespace fs = std::filesystem;

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
    QString text;
    QString details;
    bool plain = false;
    QTimer look;
    look.setInterval(10);
    QObject::connect(&look, &QTimer::timeout, [&] {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            auto* alert = qobject_cast<QMessageBox*>(window);
            if (!alert || !alert->isVisible())
                continue;
            text = alert->text();
            details = alert->informativeText();
            plain = alert->textFormat() == Qt::PlainText;
            look.stop();
            alert->button(QMessageBox::Ok)->click();
        }
    });
    look.start();
    std::optional<KelvaneApp> app = KelvaneApp::start(RunMode::gui, std::make_unique<operations::FileStatusCache>());

    EXPECT_FALSE(app.has_value());
    EXPECT_EQ(text.toStdString(), "Kelvane のデータ（登録項目と履歴）を開けないため、起動できません。");
    EXPECT_TRUE(plain);
    const QStringList lines = details.split(u'\n');
    ASSERT_GE(lines.size(), 2) << details.toStdString();
    EXPECT_EQ(lines[0].toStdString(), "場所: " + store.string());
    // The store's own words for what is wrong with the file.
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("理由: "))) << lines[1].toStdString();
    EXPECT_TRUE(lines[1].contains(QStringLiteral("is not a Kelvane store"))) << lines[1].toStdString();
    EXPECT_EQ(kelvane::test::readRawFile(store), contents);
    for (const char* side : {"-journal", ".new"})
        EXPECT_FALSE(fs::exists(store.string() + side));
}

}  // namespace
}  // namespace kelvane::app
