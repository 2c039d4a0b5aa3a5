// SPDX-License-Identifier: MIT
#include "ui/storage/CapacityBar.h"
#include "ui/storage/StorageStyle.h"
#include "ui/storage/VolumeDetailView.h"
#include "ui/storage/StorageTestSupport.h"

#include <QImage>
#include <QLabel>
#include <QLocale>
#include <QRegularExpression>
#include <QStringList>

#include <gtest/gtest.h>

#include <initializer_list>

namespace kelvane::ui {
namespace {

using test::makeVolume;
using volumes::StorageVolume;
using MountFlag = StorageVolume::MountFlag;

class VolumeDetailViewTest : public ::testing::Test {
protected:
    void SetUp() override { test::storageTestApp(); }

    // Built and laid out at the window's ideal width, as the user sees it.
    std::unique_ptr<VolumeDetailView> show(const StorageVolume& volume)
    {
        auto view = std::make_unique<VolumeDetailView>(volume);
        view->resize(700, 900);
        view->show();
        return view;
    }

    static QString cell(const QWidget* view, const QString& label)
    {
        const auto* figure = view->findChild<QLabel*>(QStringLiteral("cell:") + label);
        return figure ? figure->text() : QStringLiteral("<none>");
    }

    // The figures of several cells at once, in the order asked.
    static QStringList cells(const QWidget* view, std::initializer_list<const char*> labels)
    {
        QStringList texts;
        for (const char* label : labels)
            texts << cell(view, QString::fromLatin1(label));
        return texts;
    }

    static QWidget* row(const QWidget* view, const QString& label)
    {
        return view->findChild<QWidget*>(QStringLiteral("value:") + label);
    }

    static QString rowText(const QWidget* view, const QString& label)
    {
        QWidget* value = row(view, label);
        if (!value)
            return QStringLiteral("<none>");
        if (auto* text = qobject_cast<QLabel*>(value))
            return text->text();
        const auto* text = value->findChild<QLabel*>();
        return text ? text->text() : QString();
    }


    static QColor textColor(const QWidget* view, const QString& cellLabel)
    {
        return view->findChild<QLabel*>(QStringLiteral("cell:") + cellLabel)->palette().color(QPalette::WindowText);
    }
};

TEST_F(VolumeDetailViewTest, CapacityFiguresAndTheColourOfTheUsage)
{
    StorageVolume v = makeVolume("/data");
    v.totalCapacity = 0;
    v.availableCapacity = 0;
    auto view = show(v);
    EXPECT_EQ(cells(view.get(), {"used", "available", "total", "usage"}), (QStringList{"0 B", "0 B", "0 B", "0%"}));
    EXPECT_EQ(textColor(view.get(), "usage"), storage_style::accent(view.get()));

    v.totalCapacity = 500;
    v.availableCapacity = 800;  // more available than total
    view = show(v);
    EXPECT_EQ(cells(view.get(), {"used", "usage"}), (QStringList{"0 B", "0%"}));

    // Halves round away from zero.
    v.totalCapacity = 8;
    v.availableCapacity = 7;
    EXPECT_EQ(cell(show(v).get(), "usage"), "13%");
    v.availableCapacity = 5;
    EXPECT_EQ(cell(show(v).get(), "usage"), "38%");

    // The thresholds: 0.6999 accent, 0.7 orange, 0.9 red.
    v.totalCapacity = 10000;
    const std::pair<std::int64_t, QColor> levels[] = {
        {3001, storage_style::accent(view.get())}, {3000, storage_style::orange()}, {1000, storage_style::red()}};
    for (const auto& [available, colour] : levels) {
        v.availableCapacity = available;
        view = show(v);
        EXPECT_EQ(textColor(view.get(), "usage"), colour) << available;
    }
}

TEST_F(VolumeDetailViewTest, SecondCapacityRowOnlyWhenImportantUsageDiffers)
{
    StorageVolume v = makeVolume("/data");
    v.blockSize = 4096;
    v.resourceCount = 12;
    auto view = show(v);
    EXPECT_EQ(cell(view.get(), "blockSize"), "<none>");
    v.availableImportantUsage = v.availableCapacity;
    view = show(v);
    EXPECT_EQ(cells(view.get(), {"blockSize", "resourceCount"}), (QStringList{"<none>", "<none>"}));

    v.availableImportantUsage = 123;
    view = show(v);
    EXPECT_EQ(cells(view.get(), {"importantUsage", "opportunisticUsage", "blockSize", "resourceCount"}),
              (QStringList{"123 B", "<none>", "4096 B", "12"}));
    // A missing cell moves the ones after it one column to the left.
    auto x = [&](const char* label) {
        const auto* figure = view->findChild<QLabel*>(QStringLiteral("cell:") + QString::fromLatin1(label));
        return figure->mapTo(view.get(), QPoint(0, 0)).x();
    };
    EXPECT_EQ(x("importantUsage"), x("used"));
    EXPECT_EQ(x("blockSize"), x("available"));
    EXPECT_EQ(x("resourceCount"), x("total"));
}

TEST_F(VolumeDetailViewTest, HeaderAndFileSystemRows)
{
    StorageVolume v = makeVolume("/media/<b>disk</b>");
    v.fileSystemType = "btrfs";
    v.mountSource = "";
    v.blockSize = 4096;
    v.totalBlocks = 1234567;
    auto view = show(v);
    EXPECT_EQ(view->findChild<QLabel*>("volumePath")->text(), "/media/<b>disk</b>");
    EXPECT_EQ(view->findChild<QLabel*>("volumePath")->textFormat(), Qt::PlainText);
    EXPECT_EQ(view->findChild<QLabel*>("volumeFormat"), nullptr);
    EXPECT_EQ(rowText(view.get(), "fileSystemType"), "BTRFS");
    EXPECT_EQ(row(view.get(), "format"), nullptr);
    EXPECT_EQ(row(view.get(), "mountSource"), nullptr);
    EXPECT_EQ(row(view.get(), "uuid"), nullptr);
    EXPECT_EQ(row(view.get(), "creationDate"), nullptr);
    EXPECT_EQ(row(view.get(), "mountFlags"), nullptr);
    EXPECT_EQ(rowText(view.get(), "blockSize"), "4096 バイト");
    EXPECT_EQ(rowText(view.get(), "totalBlocks"), QLocale().toString(1234567ULL));

    v.formatDescription = "ext4";
    v.mountSource = " /dev/sda1 ";
    v.mountFlags = {MountFlag::journaled, MountFlag::local, MountFlag::readOnly};
    v.uuid = "1234-ABCD";
    view = show(v);
    EXPECT_EQ(view->findChild<QLabel*>("volumeFormat")->text(), "ext4");
    EXPECT_EQ(rowText(view.get(), "format"), "ext4");
    EXPECT_EQ(rowText(view.get(), "mountSource"), " /dev/sda1 ");
    EXPECT_EQ(rowText(view.get(), "uuid"), "1234-ABCD");
    EXPECT_EQ(rowText(view.get(), "mountFlags"), "RDONLY, LOCAL, JOURNALED");
    EXPECT_EQ(VolumeDetailView::mountFlagsText({MountFlag::noAtime, MountFlag::readOnly, MountFlag::async}),
              "RDONLY, ASYNC, NOATIME");
}

TEST_F(VolumeDetailViewTest, HardwareCardOnlyWithHardwareFacts)
{
    StorageVolume v = makeVolume("/data");
    auto view = show(v);
    EXPECT_EQ(view->findChild<QWidget*>("hardwareCard"), nullptr);

    v.hardware = volumes::DiskHardwareInfo{};
    view = show(v);
    EXPECT_NE(view->findChild<QWidget*>("hardwareCard"), nullptr);
    EXPECT_EQ(view->findChild<QWidget*>("hardwareForm")->findChildren<QWidget*>(QRegularExpression("^value:")).size(), 0);

    v.hardware->deviceModel = "WD Blue";
    v.hardware->isSolidState = false;
    v.hardware->mediaSize = 999;
    v.hardware->mediaBlockSize = 512;
    v.hardware->isWritable = false;
    view = show(v);
    EXPECT_EQ(rowText(view.get(), "deviceModel"), "WD Blue");
    EXPECT_EQ(rowText(view.get(), "media"), "HDD（回転）");
    EXPECT_EQ(rowText(view.get(), "mediaSize"), "999 B");
    EXPECT_EQ(rowText(view.get(), "mediaBlockSize"), "512 B");
    EXPECT_EQ(rowText(view.get(), "writable"), "いいえ");
    EXPECT_EQ(row(view.get(), "deviceVendor"), nullptr);
}

TEST_F(VolumeDetailViewTest, MountStateAndEveryCapabilityOnce)
{
    StorageVolume v = makeVolume("/data");
    v.isReadOnly = true;
    auto view = show(v);
    auto* readOnly = row(view.get(), "readOnly")->findChild<SymbolView*>();
    EXPECT_EQ(readOnly->symbol(), "lock.fill");
    EXPECT_EQ(readOnly->color(), storage_style::orange());
    EXPECT_EQ(rowText(view.get(), "readOnly"), "はい");
    EXPECT_EQ(rowText(view.get(), "browsable"), "はい");
    EXPECT_EQ(row(view.get(), "root")->findChild<SymbolView*>()->symbol(), "circle");

    v.isReadOnly = false;
    v.isRoot = true;
    view = show(v);
    readOnly = row(view.get(), "readOnly")->findChild<SymbolView*>();
    EXPECT_EQ(readOnly->symbol(), "lock.open.fill");
    EXPECT_EQ(readOnly->color(), storage_style::secondary(view.get()));
    EXPECT_EQ(rowText(view.get(), "readOnly"), "いいえ");
    EXPECT_EQ(row(view.get(), "root")->findChild<SymbolView*>()->symbol(), "house.fill");

    // Each capability flag shows on its own row: turning one on turns exactly one mark green.
    auto greenMarks = [](const QWidget* page) {
        int count = 0;
        for (const SymbolView* mark : page->findChildren<SymbolView*>())
            if (mark->parentWidget()->objectName() == QLatin1String("formGroup") && mark->symbol() == "checkmark.circle.fill")
                ++count;
        return count;
    };
    v.capabilities = {};
    view = show(v);
    EXPECT_EQ(view->findChild<QLabel*>("compressionCapability")->text(), "decmpfs 透過圧縮 — 未対応");
    const int base = greenMarks(view.get());
    bool StorageVolume::Capabilities::*fields[] = {
        &StorageVolume::Capabilities::supportsHardLinks,        &StorageVolume::Capabilities::supportsSymbolicLinks,
        &StorageVolume::Capabilities::supportsJournaling,       &StorageVolume::Capabilities::isJournaling,
        &StorageVolume::Capabilities::supportsSparseFiles,      &StorageVolume::Capabilities::supportsZeroRuns,
        &StorageVolume::Capabilities::supportsCaseSensitive,    &StorageVolume::Capabilities::supportsCasePreserved,
        &StorageVolume::Capabilities::supportsRenaming,         &StorageVolume::Capabilities::supportsAdvisoryFileLocking,
        &StorageVolume::Capabilities::supportsExtendedSecurity, &StorageVolume::Capabilities::supportsRootDirectoryDates,
        &StorageVolume::Capabilities::supportsVolumeSizes,      &StorageVolume::Capabilities::supportsPersistentIDs,
        &StorageVolume::Capabilities::supportsCloning,          &StorageVolume::Capabilities::supportsSwapRenaming,
        &StorageVolume::Capabilities::supportsExclusiveRenaming, &StorageVolume::Capabilities::supportsImmutableFiles,
        &StorageVolume::Capabilities::supportsAccessPermissions, &StorageVolume::Capabilities::supportsFileProtection,
    };
    for (auto field : fields) {
        v.capabilities = {};
        v.capabilities.*field = true;
        EXPECT_EQ(greenMarks(show(v).get()), base + 1);
    }
    v.capabilities = {};
    v.capabilities.supportsCompression = true;
    view = show(v);
    EXPECT_EQ(view->findChild<QLabel*>("compressionCapability")->text(), "decmpfs 透過圧縮 — 対応");
}

TEST_F(VolumeDetailViewTest, AvailabilityCardShowsTheVerdict)
{
    StorageVolume v = makeVolume("/data");
    auto view = show(v);
    EXPECT_EQ(view->findChild<QLabel*>("verdictTitle")->text(), "利用できます");
    EXPECT_EQ(view->findChild<QLabel*>("verdictTitle")->palette().color(QPalette::WindowText), storage_style::green());
    EXPECT_EQ(view->findChild<SymbolView*>("verdictSymbol")->symbol(), "checkmark.circle.fill");
    EXPECT_TRUE(view->findChildren<QWidget*>("verdictNote").isEmpty());

    v.fileSystemType = "vfat";
    v.capabilities.supportsCompression = false;
    view = show(v);
    EXPECT_EQ(view->findChild<QLabel*>("verdictTitle")->text(), "利用できません");
    const auto notes = view->findChildren<QWidget*>("verdictNote");
    ASSERT_EQ(notes.size(), 2);
    EXPECT_EQ(notes[0]->findChild<QLabel*>()->text(), "対応 FS: ext4 / XFS / Btrfs");
    EXPECT_EQ(notes[1]->findChild<QLabel*>()->text(), "カーネルが報告する compression capability が無効です。");
    EXPECT_EQ(notes[0]->findChild<SymbolView*>()->symbol(), "info.circle");
    // The summary wraps rather than running out of the card.
    const auto* summary = view->findChild<QLabel*>("verdictSummary");
    EXPECT_TRUE(summary->wordWrap());
    EXPECT_LE(summary->geometry().right(), summary->parentWidget()->width());
}

TEST(CapacityBar, FillsItsShareInTheColourOfItsLevel)
{
    test::storageTestApp();
    EXPECT_EQ(CapacityBar::fillRatio(5, 0), 0.0);
    EXPECT_EQ(CapacityBar::fillRatio(-5, 10), 0.0);
    EXPECT_EQ(CapacityBar::fillRatio(50, 10), 1.0);
    EXPECT_EQ(CapacityBar::fillRatio(7, 10), 0.7);

    auto render = [](std::int64_t used, std::int64_t total, int width) {
        CapacityBar bar(used, total);
        bar.resize(width, 22);
        QImage image(bar.size(), QImage::Format_ARGB32);
        image.fill(Qt::white);
        bar.render(&image);
        return std::make_pair(image, bar.fillColor());
    };
    auto isFill = [](const QImage& image, int x, const QColor& colour) {
        const QColor pixel = image.pixelColor(x, 11);
        return std::abs(pixel.red() - colour.red()) < 8 && std::abs(pixel.green() - colour.green()) < 8 &&
               std::abs(pixel.blue() - colour.blue()) < 8;
    };

    for (const int width : {200, 400}) {
        const auto [half, colour] = render(50, 100, width);
        EXPECT_TRUE(isFill(half, width / 2 - 12, colour)) << width;
        EXPECT_FALSE(isFill(half, width / 2 + 12, colour)) << width;
    }
    const auto [full, red] = render(150, 100, 200);
    EXPECT_EQ(red, storage_style::red());
    EXPECT_TRUE(isFill(full, 190, red));
    const auto [empty, accent] = render(0, 0, 200);
    EXPECT_FALSE(isFill(empty, 100, accent));
    EXPECT_FALSE(isFill(empty, 5, accent));
    EXPECT_EQ(render(9, 10, 200).second, storage_style::red());
    EXPECT_EQ(render(7, 10, 200).second, storage_style::orange());

    // A fill narrower than the bar is high is a capsule of its own width:
    // round at its top and bottom, not the cut-off end of a wider one.
    const auto [sliver, tint] = render(5, 100, 200);  // 10 of 200 pixels
    const auto filled = [&](int x, int y) {
        const QColor pixel = sliver.pixelColor(x, y);
        return std::abs(pixel.red() - tint.red()) < 40 && std::abs(pixel.green() - tint.green()) < 40 &&
               std::abs(pixel.blue() - tint.blue()) < 40;
    };
    EXPECT_TRUE(filled(5, 11));
    EXPECT_TRUE(filled(8, 11));
    EXPECT_TRUE(filled(5, 2));
    EXPECT_FALSE(filled(9, 1)) << "the fill's corner is rounded to its own width";
    EXPECT_FALSE(filled(13, 11)) << "nothing beyond its share";
}

}  // namespace
}  // namespace kelvane::ui
