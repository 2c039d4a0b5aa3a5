// SPDX-License-Identifier: MIT
#pragma once

// The steps every screenshot program takes: let the windows paint, wait for a
// state, save a picture and say where it went, and lay out sample files.

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QString>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

namespace kelvane::tools {

// Runs the event loop until `condition` holds; false when it still does not
// after `milliseconds`.
inline bool waitUntil(const std::function<bool()>& condition, int milliseconds = 30'000)
{
    const QDeadlineTimer deadline(milliseconds);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// Lets the windows lay out and paint for a while.
inline void settle(int milliseconds)
{
    waitUntil([] { return false; }, milliseconds);
}

// Prints "saved FILE", or "FAILED FILE" where the picture could not be written.
inline void savePicture(const QPixmap& picture, const std::filesystem::path& file)
{
    const bool saved = picture.save(QString::fromStdString(file.string()));
    std::printf("%s %s\n", saved ? "saved" : "FAILED", file.c_str());
}

inline QPixmap wholeScreen()
{
    return QGuiApplication::primaryScreen()->grabWindow(0);
}

// A file of `size` bytes of `fill`, last written `daysOld` days ago.
inline void writeFile(const std::filesystem::path& path, std::size_t size, char fill = 'k', int daysOld = 0)
{
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << std::string(size, fill);
    if (daysOld > 0)
        std::filesystem::last_write_time(path,
                                         std::filesystem::last_write_time(path) - std::chrono::hours(24 * daysOld));
}

}  // namespace kelvane::tools
