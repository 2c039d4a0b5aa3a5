// SPDX-License-Identifier: MIT
#include "platform/Bookmark.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <random>

namespace kp = kelvane::platform;
namespace fs = std::filesystem;

namespace {

std::vector<std::uint8_t> create(const fs::path& path) {
    return kp::createBookmarkData(path, kp::kBookmarkCreationWithSecurityScope);
}

kp::ResolvedBookmarkData resolve(std::span<const std::uint8_t> data) {
    return kp::resolveBookmarkData(data, kp::kBookmarkResolutionWithSecurityScope);
}

TEST(BookmarkTest, ResolvesToThePathItWasMadeFor) {
    kelvane::test::TempDir temp;
    const auto file = temp.path() / "caf\u00E9 file.txt";
    kelvane::test::writeRawFile(file, {1, 2, 3});
    const auto data = create(file);
    const auto resolved = resolve(data);
    EXPECT_EQ(resolved.path, file);
    EXPECT_FALSE(resolved.isStale);
    // Same item, same data: the format is deterministic.
    EXPECT_EQ(create(file), data);
    // Contents may change; the item is still the same.
    kelvane::test::writeRawFile(file, {9});
    EXPECT_FALSE(resolve(data).isStale);
    EXPECT_TRUE(kp::startAccessingSecurityScopedResource(file));
    kp::stopAccessingSecurityScopedResource(file);
}

TEST(BookmarkTest, AnotherItemAtThePathIsStaleAndNoItemFails) {
    kelvane::test::TempDir temp;
    const auto path = temp.path() / "thing";
    fs::create_directory(path);
    const auto data = create(path);

    // Replaced by a file: other inode and type.
    fs::remove(path);
    kelvane::test::writeRawFile(path, {});
    auto resolved = resolve(data);
    EXPECT_EQ(resolved.path, path);
    EXPECT_TRUE(resolved.isStale);

    // Replaced through a rename, as a compressed file is swapped in.
    const auto fileData = create(path);
    kelvane::test::writeRawFile(temp.path() / "tmp", {1});
    fs::rename(temp.path() / "tmp", path);
    EXPECT_TRUE(resolve(fileData).isStale);

    fs::remove(path);
    try {
        resolve(data);
        FAIL() << "resolved a missing item";
    } catch (const kp::BookmarkDataError& e) {
        EXPECT_EQ(e.code(), ENOENT);
        EXPECT_NE(std::string(e.what()).find(path.string()), std::string::npos) << e.what();
    }
    EXPECT_THROW(create(path), kp::BookmarkDataError);
    EXPECT_THROW(create("relative/path"), kp::BookmarkDataError);
}

TEST(BookmarkTest, LinksAreBookmarkedThemselves) {
    kelvane::test::TempDir temp;
    fs::create_directory(temp.path() / "target");
    fs::create_directory_symlink(temp.path() / "target", temp.path() / "link");
    const auto data = create(temp.path() / "link");
    // Replacing what the link points to leaves the link the same item.
    fs::remove(temp.path() / "target");
    kelvane::test::writeRawFile(temp.path() / "target", {});
    auto resolved = resolve(data);
    EXPECT_EQ(resolved.path, temp.path() / "link");
    EXPECT_FALSE(resolved.isStale);
    // A dangling link still resolves: the link is there.
    fs::remove(temp.path() / "target");
    EXPECT_FALSE(resolve(data).isStale);
}

TEST(BookmarkTest, DamagedOrForeignDataFailsCleanly) {
    kelvane::test::TempDir temp;
    const auto data = create(temp.path());

    const auto expectInvalid = [](std::span<const std::uint8_t> bytes) {
        try {
            resolve(bytes);
            return false;
        } catch (const kp::BookmarkDataError& e) {
            return e.code() == EINVAL;
        }
    };
    EXPECT_TRUE(expectInvalid({}));
    for (std::size_t n = 0; n < data.size(); ++n)
        EXPECT_TRUE(expectInvalid(std::span(data).first(n))) << "truncated to " << n;
    auto longer = data;
    longer.push_back(0);
    EXPECT_TRUE(expectInvalid(longer));
    for (std::size_t bit = 0; bit < data.size() * 8; ++bit) {
        auto flipped = data;
        flipped[bit / 8] ^= static_cast<std::uint8_t>(1u << (bit % 8));
        EXPECT_TRUE(expectInvalid(flipped)) << "bit " << bit;
    }
    const unsigned seed = std::random_device{}();
    std::mt19937 rng(seed);
    for (int round = 0; round < 2000; ++round) {
        std::vector<std::uint8_t> noise(rng() % 200);
        for (auto& b : noise) b = static_cast<std::uint8_t>(rng());
        if (round % 2 == 0 && noise.size() >= 4) std::copy(data.begin(), data.begin() + 4, noise.begin());
        EXPECT_TRUE(expectInvalid(noise)) << "seed " << seed << " round " << round;
    }
}

TEST(BookmarkTest, FutureVersionsAreRefusedNotMisread) {
    kelvane::test::TempDir temp;
    auto data = create(temp.path());
    data[4] = 2;  // version
    try {
        resolve(data);
        FAIL() << "accepted version 2";
    } catch (const kp::BookmarkDataError& e) {
        EXPECT_NE(std::string(e.what()).find("version 2"), std::string::npos) << e.what();
    }
}

}  // namespace
