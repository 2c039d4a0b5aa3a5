// SPDX-License-Identifier: MIT
// The program a unit file starts, as Kelvane compares it with its own
// kelvanefs before it lets the unit mount.

#include "platform/qt/SystemdUserUnits.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>

namespace kelvane::platform {
namespace {

TEST(SystemdUserUnitsTest, TheProgramOfTheFirstExecStartLineWithoutItsPrefixes)
{
    kelvane::test::TempDir temp;
    const auto program = [&](const std::string& text) {
        std::ofstream(temp / "unit.service") << text;
        return SystemdUserUnits::execStartProgram(temp / "unit.service");
    };
    EXPECT_EQ(program("[Service]\nExecStartPre=-/bin/true\nExecStart=/usr/bin/kelvanefs -f %f\nExecStart=/other\n"),
              std::filesystem::path("/usr/bin/kelvanefs"));
    EXPECT_EQ(program("ExecStart=-@/opt/k/kelvanefs\n"), std::filesystem::path("/opt/k/kelvanefs"));
    EXPECT_EQ(program("[Service]\nType=simple\n"), std::nullopt);
    EXPECT_EQ(program("ExecStart=\n"), std::nullopt);
    EXPECT_EQ(SystemdUserUnits::execStartProgram(temp / "missing.service"), std::nullopt);
}

}  // namespace
}  // namespace kelvane::platform
