// SPDX-License-Identifier: MIT
#include "display/RatioDisplayMode.h"

#include "platform/qt/Settings.h"

#include <cmath>

namespace kelvane::display {

std::optional<RatioDisplayMode> RatioDisplayMode::fromRawValue(const QString& rawValue)
{
    if (rawValue == u"remaining")
        return remaining;
    if (rawValue == u"reduction")
        return reduction;
    return std::nullopt;
}

RatioDisplayMode RatioDisplayMode::fromSettings(const platform::Settings& settings)
{
    return fromRawValue(settings.value(platform::settings_keys::ratioDisplayMode)).value_or(remaining);
}

QString RatioDisplayMode::rawValue() const
{
    return value_ == remaining ? QStringLiteral("remaining") : QStringLiteral("reduction");
}

QString RatioDisplayMode::label() const
{
    return value_ == remaining ? QStringLiteral("原本比") : QStringLiteral("削減率");
}

QString RatioDisplayMode::explanation() const
{
    return value_ == remaining ? QStringLiteral("原本比（例: 原本の 25%）") : QStringLiteral("削減率（例: 75% 削減）");
}

QString RatioDisplayMode::format(double ratio) const
{
    double clamped = ratio;
    if (std::isnan(clamped) || clamped >= 1.0)
        clamped = 1.0;
    else if (clamped < 0.0)
        clamped = 0.0;
    if (value_ == remaining)
        return QStringLiteral("原本の ") + QString::number(static_cast<int>(std::round(clamped * 100.0))) + u'%';
    return QString::number(static_cast<int>(std::round((1.0 - clamped) * 100.0))) + QStringLiteral("% 削減");
}

}  // namespace kelvane::display
