// SPDX-License-Identifier: MIT
#include "platform/AppSupport.h"
#include "platform/LogStore.h"
#include "platform/Logger.h"
#include "support/IsolatedHome.h"

#include <gtest/gtest.h>

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace kelvane {
namespace {

TEST(TestHomeTest, WhatATestLogsOrStoresStaysOutOfTheRealHomeFolder)
{
    const passwd* account = ::getpwuid(::getuid());
    ASSERT_NE(account, nullptr);
    const std::filesystem::path realHome = account->pw_dir;
    const std::filesystem::path home = test::testProgramHome();
    EXPECT_NE(home, realHome);
    EXPECT_EQ(std::filesystem::path(std::getenv("HOME")), home);
    EXPECT_TRUE(std::filesystem::is_directory(home));

    EXPECT_EQ(platform::applicationSupportDirectory(), home / ".local/share/Kelvane");
    platform::Logger::data().notice("a line from the test of the test home");
    EXPECT_TRUE(std::filesystem::exists(platform::LogStore::logFilePath()));
    EXPECT_EQ(platform::LogStore::logFilePath().parent_path(), home / ".local/state/Kelvane");
}

}  // namespace
}  // namespace kelvane
