// SPDX-License-Identifier: MIT
#include "operations/folders/ScanActivity.h"
#include "operations/folders/ScanActivityTexts.h"

#include "OperationsTestSupport.h"

#include <gtest/gtest.h>

#include <QLocale>

namespace kelvane::operations {
namespace {

TEST(ScanActivity, SettersAnnounceOnlyRealChanges)
{
    test::application();
    ScanActivity activity;
    int phases = 0, names = 0, cancels = 0, tasks = 0;
    QObject::connect(&activity, &ScanActivity::phaseChanged, [&] { ++phases; });
    QObject::connect(&activity, &ScanActivity::folderNameChanged, [&] { ++names; });
    QObject::connect(&activity, &ScanActivity::wasCancelledChanged, [&] { ++cancels; });
    QObject::connect(&activity, &ScanActivity::taskChanged, [&] { ++tasks; });

    activity.setPhase(ScanActivity::Enumerating{0});
    activity.setFolderName("");
    EXPECT_EQ(phases + names, 0);

    activity.setPhase(ScanActivity::Enumerating{5});
    activity.setPhase(ScanActivity::Enumerating{5});
    activity.setPhase(ScanActivity::Inspecting{0, 5});
    activity.setFolderName("Docs");
    activity.setFolderName("Docs");
    EXPECT_EQ(phases, 2);
    EXPECT_EQ(names, 1);

    // Without a task, cancel only marks the activity.
    activity.cancel();
    activity.cancel();
    EXPECT_TRUE(activity.wasCancelled());
    EXPECT_EQ(cancels, 1);

    TaskHandle task;
    activity.setTask(task);
    activity.setTask(task);
    EXPECT_EQ(tasks, 1);
    activity.cancel();
    EXPECT_TRUE(task.isCancelled());
    EXPECT_EQ(cancels, 1);
}

TEST(ScanActivity, BarTexts)
{
    test::application();
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    ScanActivity activity;
    const auto start = activity.startedAt();
    using std::chrono::seconds;
    EXPECT_EQ(ScanActivityTexts::elapsedText(start, start), "経過 0 秒");
    EXPECT_EQ(ScanActivityTexts::elapsedText(start, start + seconds(59)), "経過 59 秒");
    EXPECT_EQ(ScanActivityTexts::elapsedText(start, start + seconds(60)), "経過 1 分 0 秒");
    EXPECT_EQ(ScanActivityTexts::elapsedText(start, start + seconds(3725)), "経過 62 分 5 秒");
    EXPECT_EQ(ScanActivityTexts::elapsedText(start, start - seconds(30)), "経過 0 秒");

    activity.setFolderName("写真");
    activity.setFolderTotal(1);
    EXPECT_TRUE(ScanActivityTexts::folderCounterText(activity).isEmpty());
    activity.setFolderTotal(2);
    activity.setFolderIndex(2);
    EXPECT_EQ(ScanActivityTexts::folderCounterText(activity), "（フォルダ 2/2）");

    activity.setPhase(ScanActivity::Enumerating{12345});
    EXPECT_EQ(ScanActivityTexts::phaseText(activity), "「写真」の中身を確認中… 12,345 件");
    activity.setPhase(ScanActivity::Inspecting{1000, 2500});
    EXPECT_EQ(ScanActivityTexts::phaseText(activity), "「写真」の圧縮状態を取得中… 1,000 / 2,500");
    QLocale::setDefault(QLocale::system());
}

}  // namespace
}  // namespace kelvane::operations
