// SPDX-License-Identifier: MIT
#include "platform/qt/Settings.h"

#include <QFile>
#include <QSettings>

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace kelvane::platform {

namespace {

constexpr auto dateFormat = Qt::ISODateWithMs;

std::filesystem::path configHome()
{
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/')
        return xdg;
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0')
        return std::filesystem::path(home) / ".config";
    // Without HOME (some service managers), the account's home folder; never a relative path.
    const passwd* entry = ::getpwuid(::getuid());
    return std::filesystem::path(entry != nullptr && entry->pw_dir != nullptr ? entry->pw_dir : "/") / ".config";
}

// Values are written as text; the metatype check keeps working for values
// that another writer stored as typed variants.
bool isText(const QVariant& value)
{
    return value.typeId() == QMetaType::QString || value.typeId() == QMetaType::QByteArray;
}

}  // namespace

Settings::Settings() : Settings(defaultFile()) {}

Settings::Settings(const std::filesystem::path& file)
    : file_(file), settings_(std::make_unique<QSettings>(QFile::decodeName(file.c_str()), QSettings::IniFormat))
{
}

Settings::~Settings() = default;

std::filesystem::path Settings::defaultFile()
{
    return configHome() / "Kelvane" / "Kelvane.conf";
}

bool Settings::value(const BoolSetting& key) const
{
    const QVariant stored = settings_->value(QLatin1StringView(key.name));
    if (stored.typeId() == QMetaType::Bool)
        return stored.toBool();
    if (isText(stored)) {
        const QString text = stored.toString();
        if (text == u"true")
            return true;
        if (text == u"false")
            return false;
    }
    return key.defaultValue;
}

std::int64_t Settings::value(const IntegerSetting& key) const
{
    const QVariant stored = settings_->value(QLatin1StringView(key.name));
    switch (stored.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
        return stored.toLongLong();
    default:
        break;
    }
    if (isText(stored)) {
        bool ok = false;
        const qlonglong number = stored.toString().trimmed().toLongLong(&ok, 10);
        if (ok)
            return number;
    }
    return key.defaultValue;
}

QString Settings::value(const StringSetting& key) const
{
    const QVariant stored = settings_->value(QLatin1StringView(key.name));
    if (isText(stored))
        return stored.toString();
    return QString::fromUtf8(key.defaultValue);
}

std::optional<QDateTime> Settings::value(const DateSetting& key) const
{
    const QVariant stored = settings_->value(QLatin1StringView(key.name));
    if (stored.typeId() == QMetaType::QDateTime && stored.toDateTime().isValid())
        return stored.toDateTime();
    if (isText(stored)) {
        QDateTime date = QDateTime::fromString(stored.toString(), dateFormat);
        if (date.isValid())
            return date;
    }
    return std::nullopt;
}

bool Settings::setValue(const BoolSetting& key, bool value)
{
    return write(key.name, value ? QStringLiteral("true") : QStringLiteral("false"));
}

bool Settings::setValue(const IntegerSetting& key, std::int64_t value)
{
    return write(key.name, QString::number(value));
}

bool Settings::setValue(const StringSetting& key, const QString& value)
{
    return write(key.name, value);
}

bool Settings::setValue(const DateSetting& key, const QDateTime& value)
{
    return write(key.name, value.toUTC().toString(dateFormat));
}

bool Settings::contains(const char* key) const
{
    return settings_->contains(QLatin1StringView(key));
}

bool Settings::remove(const char* key)
{
    settings_->remove(QLatin1StringView(key));
    settings_->sync();
    return settings_->status() == QSettings::NoError;
}

bool Settings::write(const char* key, const QString& text)
{
    const QLatin1StringView name(key);
    const std::optional<QVariant> before =
        settings_->contains(name) ? std::optional(settings_->value(name)) : std::nullopt;
    settings_->setValue(name, text);
    settings_->sync();
    if (settings_->status() == QSettings::NoError)
        return true;
    // A value the file does not hold must not be read back as if it did.
    if (before)
        settings_->setValue(name, *before);
    else
        settings_->remove(name);
    return false;
}

}  // namespace kelvane::platform
