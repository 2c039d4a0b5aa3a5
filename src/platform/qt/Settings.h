// SPDX-License-Identifier: MIT
#pragma once

#include "platform/qt/SettingsKeys.h"

#include <QDateTime>
#include <QString>

#include <filesystem>
#include <memory>
#include <optional>

class QSettings;

namespace kelvane::platform {

// The user's settings: one INI file, $XDG_CONFIG_HOME/Kelvane/Kelvane.conf
// (default ~/.config). Each read is typed: an absent key, or a value that is
// not of the key's type ("abc" for a number, "1" for a Boolean, a malformed
// date), reads as the key's default. Each write reaches the file at once, so
// other Settings objects and other processes see it.
// Objects may be used from any thread; each object from one thread at a time.
class Settings {
public:
    Settings();
    explicit Settings(const std::filesystem::path& file);
    ~Settings();
    Settings(const Settings&) = delete;
    Settings& operator=(const Settings&) = delete;

    static std::filesystem::path defaultFile();
    const std::filesystem::path& file() const { return file_; }

    bool value(const BoolSetting& key) const;
    std::int64_t value(const IntegerSetting& key) const;
    QString value(const StringSetting& key) const;
    std::optional<QDateTime> value(const DateSetting& key) const;

    // Each returns false when the file could not be written; the key then
    // reads as it did before.
    bool setValue(const BoolSetting& key, bool value);
    bool setValue(const IntegerSetting& key, std::int64_t value);
    bool setValue(const StringSetting& key, const QString& value);
    bool setValue(const DateSetting& key, const QDateTime& value);

    bool contains(const char* key) const;
    bool remove(const char* key);

private:
    bool write(const char* key, const QString& text);

    std::filesystem::path file_;
    std::unique_ptr<QSettings> settings_;
};

}  // namespace kelvane::platform
