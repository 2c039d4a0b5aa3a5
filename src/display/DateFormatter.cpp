// SPDX-License-Identifier: MIT
#include "display/DateFormatter.h"

#include <utility>

namespace kelvane::display {

DateFormatter::DateFormatter(QString pattern, QLocale locale)
    : pattern_(std::move(pattern)), locale_(std::move(locale))
{
}

QString DateFormatter::string(const QDateTime& date) const
{
    return locale_.toString(date.toLocalTime(), pattern_);
}

QString DateFormatter::string(std::chrono::system_clock::time_point date) const
{
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(date.time_since_epoch());
    return string(QDateTime::fromMSecsSinceEpoch(ms.count(), Qt::UTC));
}

}  // namespace kelvane::display
