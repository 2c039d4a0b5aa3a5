// SPDX-License-Identifier: MIT
// kelvanefs as a shell user and mount.fuse3 run it: a folder named twice
// mounts, a dead mount is made again, --status tells each mount's state, and
// the manual page knows every option the help lists.

#include "fs/MountFixture.h"

#include "platform/KelvanefsMount.h"

#include <sstream>

namespace kelvane::fs::test {
namespace {

class KelvanefsCommandTest : public MountTest {
protected:
    void TearDown() override
    {
        // A mount of the daemonized program is not the fixture's to end.
        if (isKelvanefsMountAt(folder()) && runProgram({"fusermount3", "-u", folder().string()}) != 0)
            runProgram({"fusermount3", "-u", "-z", folder().string()});
        MountTest::TearDown();
    }

    std::string statusLine(const std::string& output) const
    {
        std::istringstream lines(output);
        for (std::string line; std::getline(lines, line);)
            if (line.size() > folder().native().size() &&
                line.compare(line.size() - folder().native().size(), std::string::npos, folder().native()) == 0)
                return line;
        return {};
    }

    std::string status() const
    {
        std::string output;
        EXPECT_EQ(runProgram({kKelvanefs.string(), "--status"}, &output), 0) << output;
        return statusLine(output);
    }
};

TEST_F(KelvanefsCommandTest, AFolderNamedAsSourceAndMountPointMountsAndAnotherSourceIsRefused)
{
    kelvane::test::writeRawFile(at("plain.txt"), Bytes{'o', 'k'});
    std::string output;
    EXPECT_EQ(runProgram({kKelvanefs.string(), temp_.path() / "elsewhere", folder().string(), "-o", "noatime"}, &output), 1);
    EXPECT_NE(output.find("the source must be the folder itself"), std::string::npos) << output;
    EXPECT_FALSE(isKelvanefsMountAt(folder()));

    ASSERT_EQ(runProgram({kKelvanefs.string(), folder().string(), folder().string(), "-o", "rw,noatime"}, &output), 0)
        << output;
    EXPECT_TRUE(isKelvanefsMountAt(folder()));
    EXPECT_EQ(readAll(at("plain.txt")), (Bytes{'o', 'k'}));
    EXPECT_EQ(status(), "live            " + folder().string());
}

TEST_F(KelvanefsCommandTest, StatusTellsLiveSocketMissingAndDeadAndADeadMountIsMadeAgain)
{
    std::filesystem::create_directories(at("inner"));
    const Bytes text(150'000, 'z');
    kelvane::test::writeRawFile(at("inner/kept.txt"), text);
    std::string output;
    ASSERT_EQ(runProgram({kKelvanefs.string(), "--status"}, &output), 0);
    EXPECT_EQ(statusLine(output), "");

    Mount& mount = mountFolder({});
    EXPECT_EQ(status(), "live            " + folder().string());
    ASSERT_TRUE(std::filesystem::remove(platform::kelvanefsSocketPath(folder())));
    EXPECT_EQ(status(), "socket-missing  " + folder().string());
    mount.kill();
    EXPECT_EQ(status(), "dead            " + folder().string());

    // Inside the dead mount, the way out is named; at it, the mount is made again.
    EXPECT_EQ(runProgram({kKelvanefs.string(), at("inner").string()}, &output), 1);
    EXPECT_NE(output.find("lies in the dead kelvanefs mount at " + folder().string()), std::string::npos) << output;
    ASSERT_EQ(runProgram({kKelvanefs.string(), folder().string()}, &output), 0) << output;
    EXPECT_NE(output.find(folder().string() + " was a dead kelvanefs mount"), std::string::npos) << output;
    EXPECT_EQ(status(), "live            " + folder().string());
    EXPECT_EQ(readAll(at("inner/kept.txt")), text);
}

// The options of the help's option lines: "-f", "-d", and the names after
// "-o" ("cache_mib" of "-o cache_mib=N").
std::vector<std::string> helpOptions(const std::string& help)
{
    std::vector<std::string> out;
    std::istringstream lines(help);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("  -o ", 0) == 0)
            out.push_back(line.substr(5, line.find_first_of("= ", 5) - 5));
        else if (line.rfind("  -", 0) == 0)
            out.push_back(line.substr(2, line.find(' ', 2) - 2));
    }
    return out;
}

TEST_F(KelvanefsCommandTest, RequestTimesCountEachKindAnsweredAndAreWrittenWhenUnmounted)
{
    kelvane::test::writeRawFile(at("plain.txt"), Bytes{'o', 'k'});
    const Path times = temp_.path() / "times.txt";
    std::string output;
    ASSERT_EQ(runProgram({kKelvanefs.string(), "-o", "request_times=" + times.string(), folder().string()}, &output), 0)
        << output;
    char value[8];
    for (int i = 0; i < 5; ++i)
        EXPECT_LT(::getxattr(at("plain.txt").c_str(), "user.absent", value, sizeof value), 0);
    EXPECT_EQ(readAll(at("plain.txt")), (Bytes{'o', 'k'}));
    ASSERT_EQ(runProgram({"fusermount3", "-u", folder().string()}, &output), 0) << output;

    std::string table;
    ASSERT_TRUE(waitFor([&] {
        table.clear();
        std::getline(std::ifstream(times), table, '\0');
        return table.find("\nall ") != std::string::npos || table.starts_with("all ");
    })) << "no request times written to " << times;
    EXPECT_EQ(requestsOf(table, "GETXATTR"), 5) << table;
    EXPECT_EQ(requestsOf(table, "OPEN"), 1) << table;
    EXPECT_EQ(requestsOf(table, "WRITE"), -1) << table;  // none asked, none listed
    EXPECT_GE(requestsOf(table, "all"), 7) << table;
}

TEST(KelvanefsManualTest, TheManualPageDocumentsEveryOptionTheHelpLists)
{
    std::string help;
    ASSERT_EQ(runProgram({kKelvanefs.string(), "--help"}, &help), 0);
    std::string manual;
    std::getline(std::ifstream(Path(KELVANE_SOURCE_DIR) / "packaging/man/kelvanefs.1"), manual, '\0');
    ASSERT_FALSE(manual.empty());

    const auto options = helpOptions(help);
    EXPECT_GE(options.size(), 9u) << help;
    for (const std::string& option : options) {
        // As the page sets an option: ".B \-f", ".B clone_fd", ".BI cache_mib= N".
        const std::string roff = option[0] == '-' ? "\\" + option : option;
        const bool documented = manual.find("\n.B " + roff + "\n") != std::string::npos ||
                                manual.find("\n.BI " + roff + "= ") != std::string::npos;
        EXPECT_TRUE(documented) << option << " is in --help but not in kelvanefs(1)";
    }
}

}  // namespace
}  // namespace kelvane::fs::test
