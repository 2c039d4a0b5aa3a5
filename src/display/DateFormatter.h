// SPDX-License-Identifier: MIT
#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

#include <chrono>

namespace kelvane::display {

// A fixed date pattern in a fixed locale, shown in the current time zone.
// Immutable once built, so one instance may be shared by every thread.
class DateFormatter {
public:
    // pattern uses Qt's date-time format letters (yyyy, MM, dd, HH, mm, ss, zzz).
    DateFormatter(QString pattern, QLocale locale);

    QString string(const QDateTime& date) const;
    QString string(std::chrono::system_clock::time_point date) const;

    const QString& pattern() const { return pattern_; }

private:
    QString pattern_;
    QLocale locale_;
};

}  // namespace kelvane::display
