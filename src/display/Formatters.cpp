// SPDX-License-Identifier: MIT
#include "display/Formatters.h"

#include "platform/AppSupport.h"

#include <QFile>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <limits>

namespace kelvane::display {

namespace {

struct ByteUnit {
    const char* name;
    std::uint64_t size;
    int fractionDigits;
};

constexpr std::array<ByteUnit, 6> byteUnits{{
    {"KB", 1'000ULL, 0},
    {"MB", 1'000'000ULL, 1},
    {"GB", 1'000'000'000ULL, 2},
    {"TB", 1'000'000'000'000ULL, 2},
    {"PB", 1'000'000'000'000'000ULL, 2},
    {"EB", 1'000'000'000'000'000'000ULL, 2},
}};

constexpr std::uint64_t powerOfTen(int exponent)
{
    std::uint64_t value = 1;
    for (int i = 0; i < exponent; ++i)
        value *= 10;
    return value;
}

std::uint64_t magnitude(std::int64_t value)
{
    // Negating INT64_MIN overflows; go through unsigned arithmetic instead.
    return value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
}

QString groupedDigits(std::uint64_t value)
{
    QString digits = QString::number(value);
    for (auto i = digits.size() - 3; i > 0; i -= 3)
        digits.insert(i, u',');
    return digits;
}

}  // namespace

QString formatBytes(std::int64_t byteCount)
{
    const std::uint64_t bytes = magnitude(byteCount);
    if (bytes <= 999)
        return QString::number(byteCount) + QStringLiteral(" B");

    std::size_t unitIndex = 0;
    while (unitIndex + 1 < byteUnits.size() && bytes >= byteUnits[unitIndex + 1].size)
        ++unitIndex;

    // Rounded in exact integer arithmetic, halves to even; a value that rounds
    // up to 1000 of a unit is written in the next unit ("1 MB", not "1000 KB").
    std::uint64_t scaled = 0;
    for (;;) {
        const ByteUnit& unit = byteUnits[unitIndex];
        const std::uint64_t step = unit.size / powerOfTen(unit.fractionDigits);
        scaled = bytes / step;
        const std::uint64_t remainder = bytes % step;
        if (2 * remainder > step || (2 * remainder == step && scaled % 2 == 1))
            ++scaled;
        if (scaled < 1000 * powerOfTen(unit.fractionDigits) || unitIndex + 1 == byteUnits.size())
            break;
        ++unitIndex;
    }

    const ByteUnit& unit = byteUnits[unitIndex];
    const std::uint64_t scale = powerOfTen(unit.fractionDigits);
    QString text = byteCount < 0 ? QStringLiteral("-") : QString();
    text += QString::number(scaled / scale);
    QString fraction = QString::number(scaled % scale).rightJustified(unit.fractionDigits, u'0');
    while (!fraction.isEmpty() && fraction.endsWith(u'0'))
        fraction.chop(1);
    if (!fraction.isEmpty())
        text += u'.' + fraction;
    return text + u' ' + QLatin1StringView(unit.name);
}

QString formatExactBytes(std::int64_t byteCount)
{
    const QString sign = byteCount < 0 ? QStringLiteral("-") : QString();
    return sign + groupedDigits(magnitude(byteCount)) + QStringLiteral(" Bytes");
}

std::int64_t signedByteCount(std::uint64_t byteCount)
{
    return static_cast<std::int64_t>(std::min<std::uint64_t>(byteCount, std::numeric_limits<std::int64_t>::max()));
}

const DateFormatter& dateTimeFormatter()
{
    static const DateFormatter formatter(QStringLiteral("yyyy/MM/dd HH:mm"),
                                         QLocale(QLocale::Japanese, QLocale::Japan));
    return formatter;
}

const DateFormatter& dateFormatter()
{
    static const DateFormatter formatter(QStringLiteral("yyyy/MM/dd"), QLocale(QLocale::Japanese, QLocale::Japan));
    return formatter;
}

QString displayPath(const std::filesystem::path& path)
{
    return QFile::decodeName(platform::homeAbbreviated(path.native(), qgetenv("HOME").toStdString()).c_str());
}

}  // namespace kelvane::display
