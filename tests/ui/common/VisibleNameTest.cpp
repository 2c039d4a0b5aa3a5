// SPDX-License-Identifier: MIT
#include "ui/common/VisibleName.h"

#include <gtest/gtest.h>

#include <QString>

#include <ostream>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

namespace kelvane::ui {
namespace {

constexpr QChar fsi(0x2068);
constexpr QChar pdi(0x2069);

TEST(VisibleName, OrdinaryNamesAreShownAsTheyAre)
{
    for (const char* name : {"report.pdf", "写真 2024/01.jpg", "a b  c", "back\\slash", "émoji 👍🏽.txt", "<b>x</b>"})
        EXPECT_EQ(visibleName(std::string(name)), QString::fromUtf8(name)) << name;
    EXPECT_EQ(visibleName(std::string()), QString());
}

TEST(VisibleName, AnOverrideCannotTurnTheNameAround)
{
    // Drawn raw, "abc<RLO>txt.exe" reads "abcexe.txt".
    EXPECT_EQ(visibleName(std::string("abc\u202Etxt.exe")), "abc\\u202Etxt.exe");
    // Every bidirectional control, the old embeddings and the isolates alike.
    EXPECT_EQ(visibleName(std::string("\u202A\u202B\u202C\u202D\u200E\u200F\u2066\u2067\u2068\u2069\u061C")),
              "\\u202A\\u202B\\u202C\\u202D\\u200E\\u200F\\u2066\\u2067\\u2068\\u2069\\u061C");
}

TEST(VisibleName, ControlAndInvisibleCharactersAreWrittenOut)
{
    EXPECT_EQ(visibleName(std::string("line\nbreak\r.txt")), "line\\nbreak\\r.txt");
    EXPECT_EQ(visibleName(std::string("tab\there")), "tab\\there");
    EXPECT_EQ(visibleName(std::string("bell\x07 esc\x1b del\x7f")), "bell\\x07 esc\\x1B del\\x7F");
    EXPECT_EQ(visibleName(std::string("nul", 3) + std::string(1, '\0') + "x"), "nul\\x00x");
    EXPECT_EQ(visibleName(std::string("c1\u0085next")), "c1\\u0085next");
    // Zero width: spaces, joiners, word joiner, byte-order mark, soft hyphen.
    EXPECT_EQ(visibleName(std::string("a\u200Bb\u200Cc\u200Dd\u2060e\uFEFFf\u00ADg")),
              "a\\u200Bb\\u200Cc\\u200Dd\\u2060e\\uFEFFf\\u00ADg");
    EXPECT_EQ(visibleName(std::string("para\u2028line\u2029end")), "para\\u2028line\\u2029end");
    EXPECT_EQ(visibleName(std::string("filler\u3164x")), "filler\\u3164x");
    // A tag character, outside the basic plane.
    EXPECT_EQ(visibleName(std::string("tag\U000E0041")), "tag\\U000E0041");
}

TEST(VisibleName, BytesThatAreNotUtf8AreWrittenAsBytes)
{
    EXPECT_EQ(visibleName(std::string("bad\xff\xfe.txt")), "bad\\xFF\\xFE.txt");
    EXPECT_EQ(visibleName(std::string("latin1 caf\xe9")), "latin1 caf\\xE9");
    EXPECT_EQ(visibleName(std::string("cut \xe3\x81")), "cut \\xE3\\x81");           // truncated sequence
    EXPECT_EQ(visibleName(std::string("over \xc0\xaf")), "over \\xC0\\xAF");         // overlong "/"
    EXPECT_EQ(visibleName(std::string("sur \xed\xa0\x80")), "sur \\xED\\xA0\\x80");  // a surrogate
    EXPECT_EQ(visibleName(std::string("big \xf4\x90\x80\x80")), "big \\xF4\\x90\\x80\\x80");
    // A good character right after a bad byte is kept.
    EXPECT_EQ(visibleName(std::string("\xe3\xe3\x81\x82")), "\\xE3あ");
    EXPECT_EQ(visibleName(std::filesystem::path("/home/me/\xff/a\nb")), "/home/me/\\xFF/a\\nb");
}

TEST(VisibleName, RightToLeftNamesAreIsolatedFromTheTextAroundThem)
{
    const QString hebrew = QStringLiteral("שלום.txt");
    EXPECT_EQ(visibleName(hebrew.toStdString()), fsi + hebrew + pdi);
    const QString arabic = QStringLiteral("/home/me/ملف 1.txt");
    EXPECT_EQ(visibleName(std::filesystem::path(arabic.toStdString())), fsi + arabic + pdi);
    // Left-to-right text needs no isolate.
    EXPECT_FALSE(visibleName(std::string("plain.txt")).contains(fsi));
    // Decoded text gets the same treatment.
    EXPECT_EQ(visibleName(QStringLiteral("x\u202Ey\n")), "x\\u202Ey\\n");
    EXPECT_EQ(visibleName(hebrew), fsi + hebrew + pdi);
}

}  // namespace
}  // namespace kelvane::ui
