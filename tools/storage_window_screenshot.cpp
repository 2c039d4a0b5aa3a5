// SPDX-License-Identifier: MIT
// Saves a PNG of the storage status window with one volume selected, for
// looking at it by hand (run under xvfb-run for a real X server):
//
//   xvfb-run -a build/tools/storage_window_screenshot out.png [--select /mount/point]
//       [--proc DIR --sys DIR --udev DIR] [--size WIDTHxHEIGHT] [--scroll PIXELS]
//
// The roots default to the running machine's /proc, /sys and /run/udev/data.

#include "platform/LinuxVolumeBackend.h"
#include "ui/storage/StorageStatusDialog.h"
#include "ui/storage/VolumeDetailView.h"
#include "volumes/StorageVolumeDetector.h"

#include "ScreenshotPalette.h"

#include <QApplication>
#include <QEventLoop>
#include <QScrollBar>
#include <QStringList>
#include <QTimer>

#include <cstdio>
#include <memory>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    kelvane::tools::applyScreenshotPalette();
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty() || args.front().startsWith(QLatin1String("--"))) {
        std::fprintf(stderr, "usage: storage_window_screenshot OUT.png [--select PATH] [--proc DIR] [--sys DIR] "
                             "[--udev DIR] [--size WxH] [--scroll PIXELS]\n");
        return 2;
    }
    const QString output = args.takeFirst();
    kelvane::platform::VolumeRoots roots;
    QString select = QStringLiteral("/");
    QSize size(940, 700);
    int scroll = 0;
    for (int i = 0; i + 1 < args.size(); i += 2) {
        const QString& name = args[i];
        const std::string value = args[i + 1].toStdString();
        if (name == QLatin1String("--select"))
            select = args[i + 1];
        else if (name == QLatin1String("--proc"))
            roots.proc = value;
        else if (name == QLatin1String("--sys"))
            roots.sys = value;
        else if (name == QLatin1String("--udev"))
            roots.udevData = value;
        else if (name == QLatin1String("--size")) {
            const QStringList parts = args[i + 1].split(u'x');
            if (parts.size() == 2)
                size = QSize(parts[0].toInt(), parts[1].toInt());
        } else if (name == QLatin1String("--scroll"))
            scroll = args[i + 1].toInt();
    }

    kelvane::ui::StorageStatusDialog dialog(
        kelvane::volumes::volumeLister(std::make_shared<kelvane::platform::LinuxVolumeBackend>(roots)));
    dialog.resize(size);
    QEventLoop wait;
    QObject::connect(&dialog.model(), &kelvane::operations::StorageStatusModel::refreshFinished, &wait, &QEventLoop::quit);
    QTimer::singleShot(30000, &wait, &QEventLoop::quit);
    dialog.show();
    wait.exec();
    if (dialog.model().isLoading()) {
        std::fprintf(stderr, "the volume listing did not finish\n");
        return 1;
    }
    dialog.model().select(std::filesystem::path(select.toStdString()));
    if (!dialog.model().selectedVolume()) {
        std::fprintf(stderr, "no volume at %s\n", qPrintable(select));
        return 1;
    }
    if (auto* detail = qobject_cast<kelvane::ui::VolumeDetailView*>(dialog.currentDetail()))
        detail->verticalScrollBar()->setValue(scroll);
    // Let layouts settle and paint once before grabbing.
    QTimer::singleShot(300, &wait, &QEventLoop::quit);
    wait.exec();
    if (!dialog.grab().save(output)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(output));
        return 1;
    }
    std::printf("%s\n", qPrintable(output));
    return 0;
}
