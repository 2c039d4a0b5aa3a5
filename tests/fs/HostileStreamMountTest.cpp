// SPDX-License-Identifier: MIT
// Stored blocks that the decoder rejects fail their read through the mount
// with EIO, never handing out bytes; blocks it accepts read as they decode.

#include "fs/MountFixture.h"

#include "codec/HandMadeStreams.h"
#include "codec/LittleEndian.h"
#include "engine/FileCompressor.h"
#include "platform/FileFlags.h"

#include <map>

namespace kelvane::fs::test {
namespace {

using codec::test::kEndOfStream;
using codec::test::kLzvnEnd;
using codec::test::lzvnBlock;
using codec::test::lzvnRun;
using codec::test::operator+;
using codec::test::UniformBlock;

// Every stream below decodes to this many 'a's when its flaw is let through.
constexpr std::uint32_t kSize = 40000;

// 5,000 triples of 4 literals and 4 bytes from 1 back: kSize bytes, read from
// an L/M/D payload of `lmdPayload` (no bits are taken from it).
Bytes uniformRun(Bytes lmdPayload)
{
    return UniformBlock{'a', kSize / 2, kSize / 8, 4, 4, 1, {}, std::move(lmdPayload)}.bytes();
}

class HostileStreamMountTest : public MountTest {
protected:
    // A file Kelvane compressed into one block, whose stream is then replaced
    // by `stream` (the rest of the block's room is left as it was: bytes
    // after the end of a stream are not read).
    void storeWithStream(const std::string& name, const Bytes& stream)
    {
        static const Bytes text = kelvane::test::readRawFile(kelvane::test::corpusDir() / "text-headers.bin");
        kelvane::test::writeRawFile(at(name), Bytes(text.begin(), text.begin() + kSize));
        engine::FileCompressor{}.compressFile(at(name));
        platform::FileStat st;
        ASSERT_EQ(platform::lstat(at(name), st), 0);
        ASSERT_TRUE(st.flags & platform::UF_COMPRESSED) << name;
        const Bytes fork = kelvane::test::readRawFile(at(name));
        const std::uint32_t start = le::load32(fork.data()), end = le::load32(fork.data() + 4);
        ASSERT_EQ(start, 8u) << name << ": one block";
        ASSERT_LE(stream.size(), end - start) << name;
        platform::UniqueFd fd(::open(at(name).c_str(), O_WRONLY | O_CLOEXEC));
        ASSERT_TRUE(fd);
        ASSERT_EQ(::pwrite(fd.get(), stream.data(), stream.size(), start), static_cast<ssize_t>(stream.size()));
        fd.reset();
        // Recorded as the file's own fork: a hostile file, not one another
        // program wrote over (which would read as the bytes it holds).
        recordForkAsItIs(at(name));
    }
};

TEST_F(HostileStreamMountTest, RejectedBlocksFailWithEioAndAcceptedOnesRead)
{
    const Bytes run = lzvnRun('a', kSize) + kLzvnEnd;
    const std::map<std::string, Bytes> rejected = {
        // An LZVN block whose instructions go on past its size, or stop short of it.
        {"lzvn-past-its-size", lzvnBlock(kSize - 1, run) + kEndOfStream},
        {"lzvn-short-of-its-size", lzvnBlock(kSize + 1, run) + kEndOfStream},
        // L/M/D payloads too short for the first load, with and without triples.
        {"lmd-payload-short", uniformRun(Bytes(2, 0)) + kEndOfStream},
        {"lmd-start-invalid-without-triples",
         UniformBlock{'a', 4, 0, 0, 0, 0, {}, {0, 0, 0, 0, 0, 0, 0, 0x80}, -3}.bytes() + lzvnBlock(kSize, run) +
             kEndOfStream},
        // One literal, then a triple without a match naming distance 2.
        {"distance-past-the-output-without-a-match",
         UniformBlock{'a', 4, 1, 1, 0, 2, {}}.bytes() + lzvnBlock(kSize - 1, lzvnRun('a', kSize - 1) + kLzvnEnd) +
             kEndOfStream},
    };
    const std::map<std::string, Bytes> accepted = {
        {"lmd-payload-whole", uniformRun(Bytes(8, 0)) + kEndOfStream},
        {"lzvn-end-with-nonzero-padding",
         lzvnBlock(kSize, lzvnRun('a', kSize) + Bytes{0x06, 1, 2, 3, 4, 5, 6, 7}) + kEndOfStream},
    };
    for (const auto* files : {&rejected, &accepted})
        for (const auto& [name, stream] : *files)
            ASSERT_NO_FATAL_FAILURE(storeWithStream(name, stream));

    mountFolder();
    for (const auto& [name, stream] : rejected)
        EXPECT_EQ(readError(at(name)), EIO) << name;
    for (const auto& [name, stream] : accepted)
        EXPECT_EQ(readAll(at(name)), Bytes(kSize, 'a')) << name;
    EXPECT_FALSE(mount()->exited()) << "the daemon goes on serving";
}

}  // namespace
}  // namespace kelvane::fs::test
