// SPDX-License-Identifier: MIT
// What other programs read through the mount: compressed files as their
// original bytes, with their logical size and real block count.

#include "fs/MountFixture.h"

#include "engine/FileCompressionError.h"
#include "engine/FileCompressor.h"
#include "platform/FileFlags.h"
#include "platform/Sha256.h"

#include <atomic>
#include <dirent.h>
#include <thread>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <sys/mman.h>

namespace kelvane::fs::test {
namespace {

Bytes textBytes(std::size_t count, unsigned seed)
{
    static const char* words[] = {"alpha ", "beta ", "gamma ", "delta ", "epsilon\n", "zeta ", "eta ", "theta "};
    std::mt19937 rng(seed);
    Bytes out;
    while (out.size() < count) {
        const std::string_view word = words[rng() % 8];
        out.insert(out.end(), word.begin(), word.end());
        if (rng() % 16 == 0)
            out.push_back(static_cast<std::uint8_t>('0' + rng() % 10));
    }
    out.resize(count);
    return out;
}

std::string hexDigest(const Bytes& bytes)
{
    static constexpr char digits[] = "0123456789abcdef";
    std::string out;
    for (const std::uint8_t b : platform::Sha256::digest(bytes)) {
        out.push_back(digits[b >> 4]);
        out.push_back(digits[b & 15]);
    }
    return out;
}

class ReadThroughMountTest : public MountTest {
protected:
    // Every corpus file and a few made ones, compressed by Kelvane below the
    // mount: name -> original bytes.
    std::map<std::string, Bytes> writeCompressedFiles()
    {
        std::map<std::string, Bytes> files;
        for (const auto& entry : std::filesystem::directory_iterator(kelvane::test::corpusDir()))
            if (entry.path().extension() == ".bin")
                files[entry.path().filename().string()] = kelvane::test::readRawFile(entry.path());
        files["inline.txt"] = textBytes(9000, 1);                       // inline record
        files["three-blocks-and-a-bit.txt"] = textBytes(3 * 65536 + 17, 2);  // fork, short last block
        files["exactly-two-blocks.txt"] = textBytes(2 * 65536, 3);
        files["sub/nested.txt"] = textBytes(300000, 4);
        for (const auto& [name, bytes] : files) {
            std::filesystem::create_directories(at(name).parent_path());
            kelvane::test::writeRawFile(at(name), bytes);
            // Corpus files that do not shrink stay plain and pass through.
            bool shrinks = true;
            try {
                engine::FileCompressor{}.compressFile(at(name));
            } catch (const engine::FileCompressionError& error) {
                EXPECT_EQ(error.kind(), engine::FileCompressionError::Kind::compressionDidNotReduceSize) << name;
                shrinks = false;
            }
            platform::FileStat st;
            EXPECT_EQ(platform::lstat(at(name), st), 0);
            EXPECT_EQ(static_cast<bool>(st.flags & platform::UF_COMPRESSED), shrinks) << name;
            rawBlocks_[name] = st.blocks;
        }
        kelvane::test::writeRawFile(at("plain.txt"), textBytes(100000, 5));
        return files;
    }

    std::map<std::string, std::int64_t> rawBlocks_;
};

TEST_F(ReadThroughMountTest, EveryCompressedFileReadsBackAsTheOriginalWithItsLogicalSize)
{
    const auto files = writeCompressedFiles();
    const Bytes plain = kelvane::test::readRawFile(at("plain.txt"));
    mountFolder();

    for (const auto& [name, original] : files) {
        SCOPED_TRACE(name);
        EXPECT_EQ(readAll(at(name)), original);
        struct stat st {};
        ASSERT_EQ(::stat(at(name).c_str(), &st), 0);
        EXPECT_EQ(st.st_size, static_cast<off_t>(original.size()));
        EXPECT_EQ(st.st_blocks, rawBlocks_.at(name)) << "du must see the compressed blocks";
        // Other programs, as a user runs them.
        std::string output;
        EXPECT_EQ(runProgram({"sha256sum", at(name).string()}, &output), 0);
        EXPECT_EQ(output.substr(0, 64), hexDigest(original));
    }
    // The corpus's own manifest agrees, so the comparison is not with ourselves.
    std::ifstream manifest(kelvane::test::corpusDir() / "MANIFEST.tsv");
    std::string line;
    int checked = 0;
    while (std::getline(manifest, line)) {
        std::istringstream fields(line);
        std::string name, bytes, digest;
        fields >> name >> bytes >> digest;
        if (!files.count(name))
            continue;
        std::string output;
        ASSERT_EQ(runProgram({"sha256sum", at(name).string()}, &output), 0);
        EXPECT_EQ(output.substr(0, 64), digest) << name;
        ++checked;
    }
    EXPECT_GE(checked, 9);
    EXPECT_EQ(readAll(at("plain.txt")), plain);

    // cp out of the mount gives a plain copy with the original bytes.
    ASSERT_EQ(runProgram({"cp", at("sub/nested.txt").string(), (temp_.path() / "copy.txt").string()}), 0);
    EXPECT_EQ(kelvane::test::readRawFile(temp_.path() / "copy.txt"), files.at("sub/nested.txt"));
    EXPECT_EQ(runProgram({"cmp", at("json-log.bin").string(),
                          (kelvane::test::corpusDir() / "json-log.bin").string()}),
              0);
}

// A listing with attributes probes its entries side by side: each entry
// must still get its own attributes, once, in folders listed by several
// callers at once and spread over many requests.
TEST_F(ReadThroughMountTest, ListedEntriesCarryTheirOwnLogicalSizesAlsoListedFromSeveralThreads)
{
    constexpr int kFiles = 300;
    std::map<std::string, off_t> sizes;
    for (int i = 0; i < kFiles; ++i) {
        // Names of many lengths, so requests fill up at different entries.
        const std::string name = "f" + std::string(static_cast<std::size_t>(i % 60), 'x') + std::to_string(i);
        const bool compress = i % 3 == 0;
        const Bytes bytes = textBytes(compress ? 5000 + static_cast<std::size_t>(i) * 37 : 1000 + static_cast<std::size_t>(i), static_cast<unsigned>(i));
        kelvane::test::writeRawFile(at(name), bytes);
        if (compress) {
            ASSERT_NO_THROW(engine::FileCompressor{}.compressFile(at(name))) << name;
        }
        sizes[name] = static_cast<off_t>(bytes.size());
    }
    mountFolder();

    std::atomic<int> wrong = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int round = 0; round < 3; ++round) {
                DIR* dir = ::opendir(folder().c_str());
                if (!dir) {
                    ++wrong;
                    return;
                }
                std::map<std::string, int> seen;
                while (const dirent* entry = ::readdir(dir)) {
                    if (entry->d_name[0] == '.')
                        continue;
                    struct stat st {};
                    if (++seen[entry->d_name] != 1 || !sizes.count(entry->d_name) ||
                        ::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 ||
                        st.st_size != sizes.at(entry->d_name)) {
                        ADD_FAILURE() << entry->d_name << " listed wrong (size " << st.st_size << ")";
                        ++wrong;
                    }
                }
                ::closedir(dir);
                if (seen.size() != sizes.size())
                    ++wrong;
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(wrong, 0);
}

TEST_F(ReadThroughMountTest, PositionalReadsAcrossBlockEdgesAndMmapReturnTheOriginalBytes)
{
    const auto files = writeCompressedFiles();
    mountFolder();
    const Bytes& original = files.at("text-headers.bin");
    platform::UniqueFd fd(::open(at("text-headers.bin").c_str(), O_RDONLY | O_CLOEXEC));
    ASSERT_TRUE(fd);

    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    Bytes buffer(300000);
    for (int round = 0; round < 400; ++round) {
        // Around a block edge, or anywhere; lengths from one byte to several blocks.
        const std::size_t edge = (rng() % (original.size() / 65536 + 1)) * 65536;
        std::size_t offset = round % 2 ? edge + (rng() % 64) - 32 : rng() % original.size();
        offset = std::min(offset, original.size());
        const std::size_t length = 1 + rng() % (round % 3 ? 300 : 200000);
        const ssize_t got = ::pread(fd.get(), buffer.data(), length, static_cast<off_t>(offset));
        const std::size_t expected = std::min(length, original.size() - offset);
        ASSERT_EQ(got, static_cast<ssize_t>(expected)) << "offset " << offset << " length " << length;
        ASSERT_TRUE(std::equal(buffer.begin(), buffer.begin() + got, original.begin() + static_cast<long>(offset)))
            << "offset " << offset << " length " << length;
    }
    EXPECT_EQ(::pread(fd.get(), buffer.data(), 10, static_cast<off_t>(original.size()) + 5), 0);

    for (const std::string name : {"text-headers.bin", "inline.txt", "three-blocks-and-a-bit.txt"}) {
        const Bytes& bytes = files.at(name);
        platform::UniqueFd mapped(::open(at(name).c_str(), O_RDONLY | O_CLOEXEC));
        void* view = ::mmap(nullptr, bytes.size(), PROT_READ, MAP_PRIVATE, mapped.get(), 0);
        ASSERT_NE(view, MAP_FAILED) << name;
        EXPECT_EQ(std::memcmp(view, bytes.data(), bytes.size()), 0) << name;
        ::munmap(view, bytes.size());
    }
}

TEST_F(ReadThroughMountTest, BytesAnotherProgramAppendedBelowTheMountFollowTheOriginal)
{
    // Decoded blocks that end mid-block and exactly on a block edge, each
    // followed by bytes appended to the raw data stream outside the mount.
    std::map<std::string, Bytes> files;
    files["short-last-block.txt"] = textBytes(3 * 65536 + 17, 7);
    files["whole-blocks.txt"] = textBytes(2 * 65536, 8);
    const Bytes tail = textBytes(70000, 9);  // longer than a block
    for (const auto& [name, original] : files) {
        kelvane::test::writeRawFile(at(name), original);
        engine::FileCompressor{}.compressFile(at(name));
        std::ofstream(at(name), std::ios::binary | std::ios::app)
            .write(reinterpret_cast<const char*>(tail.data()), static_cast<std::streamsize>(tail.size()));
    }
    mountFolder();

    for (auto [name, expected] : files) {
        SCOPED_TRACE(name);
        expected.insert(expected.end(), tail.begin(), tail.end());
        EXPECT_EQ(readAll(at(name)), expected);
        struct stat st {};
        ASSERT_EQ(::stat(at(name).c_str(), &st), 0);
        EXPECT_EQ(st.st_size, static_cast<off_t>(expected.size()));
        // A read that spans the end of the decoded bytes and the appended ones.
        platform::UniqueFd fd(::open(at(name).c_str(), O_RDONLY | O_CLOEXEC));
        ASSERT_TRUE(fd);
        const std::size_t from = files.at(name).size() - 10;
        Bytes span(100);
        ASSERT_EQ(::pread(fd.get(), span.data(), span.size(), static_cast<off_t>(from)), 100);
        EXPECT_TRUE(std::equal(span.begin(), span.end(), expected.begin() + static_cast<long>(from)));
    }
}

TEST_F(ReadThroughMountTest, EightParallelReadersAllSeeTheOriginalBytes)
{
    const auto files = writeCompressedFiles();
    // A small cache, so that readers evict each other's blocks as they go.
    mountFolder({"auto_unmount", "cache_mib=1"});
    std::vector<std::string> names;
    for (const auto& [name, bytes] : files)
        names.push_back(name);
    std::atomic<int> wrong = 0;
    std::vector<std::thread> readers;
    for (int reader = 0; reader < 8; ++reader) {
        readers.emplace_back([&, reader] {
            for (int pass = 0; pass < 2; ++pass)
                for (std::size_t i = 0; i < names.size(); ++i) {
                    const std::string& name = names[(i + static_cast<std::size_t>(reader)) % names.size()];
                    try {
                        if (readAll(at(name)) != files.at(name))
                            ++wrong;
                    } catch (const std::exception&) {
                        ++wrong;
                    }
                }
        });
    }
    for (auto& thread : readers)
        thread.join();
    EXPECT_EQ(wrong.load(), 0);
}

TEST_F(ReadThroughMountTest, KelvanefsHelpAndVersionFollowKelvane)
{
    std::string output;
    EXPECT_EQ(runProgram({kKelvanefs.string(), "--version"}, &output), 0);
    EXPECT_EQ(output.rfind("kelvanefs ", 0), 0u) << output;
    EXPECT_NE(output.find("(build "), std::string::npos);
    EXPECT_EQ(runProgram({kKelvanefs.string(), "--version", "--help"}, &output), 0);
    EXPECT_NE(output.find("fusermount3 -u"), std::string::npos) << "help wins over version";
    EXPECT_EQ(runProgram({kKelvanefs.string()}, &output), 1);
    EXPECT_EQ(runProgram({kKelvanefs.string(), "-o", "threads=0", folder().string()}, &output), 1);
    EXPECT_NE(output.find("threads"), std::string::npos);
}

}  // namespace
}  // namespace kelvane::fs::test
