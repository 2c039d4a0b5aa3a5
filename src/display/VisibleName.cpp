// SPDX-License-Identifier: MIT
#include "display/VisibleName.h"

#include <QChar>
#include <QList>

#include <cstdint>
#include <optional>

namespace kelvane::display {

namespace {

constexpr char32_t firstStrongIsolate = 0x2068;
constexpr char32_t popDirectionalIsolate = 0x2069;

QString hex(std::uint32_t value, int digits)
{
    return QString::number(value, 16).toUpper().rightJustified(digits, u'0');
}

// Characters that draw nothing (or only move other text) yet are not spaces.
bool isInvisible(char32_t c)
{
    switch (QChar::category(c)) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return true;
    default:
        break;
    }
    // Fillers that render as blanks, and the grapheme joiner.
    return c == 0x034F || c == 0x115F || c == 0x1160 || c == 0x3164 || c == 0xFFA0;
}

void append(QString& out, char32_t c)
{
    if (c == u'\n') {
        out += QStringLiteral("\\n");
    } else if (c == u'\t') {
        out += QStringLiteral("\\t");
    } else if (c == u'\r') {
        out += QStringLiteral("\\r");
    } else if (c < 0x80 && isInvisible(c)) {
        out += QStringLiteral("\\x") + hex(c, 2);
    } else if (isInvisible(c)) {
        out += c > 0xFFFF ? QStringLiteral("\\U") + hex(c, 8) : QStringLiteral("\\u") + hex(c, 4);
    } else {
        char16_t units[2];
        if (QChar::requiresSurrogates(c)) {
            units[0] = QChar::highSurrogate(c);
            units[1] = QChar::lowSurrogate(c);
            out.append(reinterpret_cast<const QChar*>(units), 2);
        } else {
            out.append(QChar(static_cast<char16_t>(c)));
        }
    }
}

// One code point from the front of `bytes`, or nothing when they do not start
// with well-formed UTF-8 (overlong forms, surrogates and values past U+10FFFF
// included). `length` is the number of bytes taken.
std::optional<char32_t> decode(std::string_view bytes, std::size_t& length)
{
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(bytes[i]); };
    const std::uint8_t lead = byte(0);
    if (lead < 0x80) {
        length = 1;
        return lead;
    }
    std::size_t count = 0;
    char32_t value = 0;
    char32_t minimum = 0;
    if ((lead & 0xE0) == 0xC0) {
        count = 2, value = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        count = 3, value = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        count = 4, value = lead & 0x07, minimum = 0x10000;
    } else {
        return std::nullopt;
    }
    if (bytes.size() < count)
        return std::nullopt;
    for (std::size_t i = 1; i < count; ++i) {
        if ((byte(i) & 0xC0) != 0x80)
            return std::nullopt;
        value = (value << 6) | (byte(i) & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return std::nullopt;
    length = count;
    return value;
}

// Only for characters drawn as themselves: an escaped mark moves nothing.
bool isRightToLeft(char32_t c)
{
    if (c < 0x80 || isInvisible(c))
        return false;
    const QChar::Direction direction = QChar::direction(c);
    return direction == QChar::DirR || direction == QChar::DirAL;
}

QString isolated(QString text, bool rightToLeft)
{
    if (!rightToLeft)
        return text;
    return QChar(static_cast<char16_t>(firstStrongIsolate)) + text + QChar(static_cast<char16_t>(popDirectionalIsolate));
}

}  // namespace

QString visibleName(std::string_view bytes)
{
    QString out;
    out.reserve(static_cast<qsizetype>(bytes.size()));
    bool rightToLeft = false;
    while (!bytes.empty()) {
        std::size_t length = 1;
        if (const auto c = decode(bytes, length)) {
            append(out, *c);
            rightToLeft = rightToLeft || isRightToLeft(*c);
        } else {
            out += QStringLiteral("\\x") + hex(static_cast<std::uint8_t>(bytes.front()), 2);
        }
        bytes.remove_prefix(length);
    }
    return isolated(std::move(out), rightToLeft);
}

QString visibleName(const std::string& bytes)
{
    return visibleName(std::string_view(bytes));
}

QString visibleName(const std::filesystem::path& path)
{
    return visibleName(std::string_view(path.native()));
}

QString visibleName(const QString& text)
{
    QString out;
    out.reserve(text.size());
    bool rightToLeft = false;
    for (const char32_t c : text.toUcs4()) {
        append(out, c);
        rightToLeft = rightToLeft || isRightToLeft(c);
    }
    return isolated(std::move(out), rightToLeft);
}

}  // namespace kelvane::display
