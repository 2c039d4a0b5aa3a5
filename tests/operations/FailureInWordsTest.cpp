// SPDX-License-Identifier: MIT
#include "operations/bulk/FailureInWords.h"

#include "engine/FileCompressionError.h"
#include "platform/PosixError.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace kelvane::operations {
namespace {

using engine::FileCompressionError;

const std::filesystem::path file = "/home/me/Documents/report.txt";

std::string ioFailure(std::string_view step, int errorNumber)
{
    return failureInWords(
        FileCompressionError(FileCompressionError::ioError{file, platform::PosixError(step, errorNumber).description()}));
}

TEST(FailureInWordsTest, AFailedCallSaysWhatKelvaneWasDoingAndTheSystemsMessage)
{
    EXPECT_EQ(ioFailure("rename", EPERM),
              std::string("作業用ファイル（.kvtmp）と元のファイルの入れ替えに失敗しました: ") + std::strerror(EPERM));
    EXPECT_EQ(ioFailure("create kvtmp", EACCES),
              std::string("作業用ファイル（.kvtmp）の作成に失敗しました: ") + std::strerror(EACCES));
    // A step is matched by whole words: the fork's open is not the file's.
    EXPECT_EQ(ioFailure("open rsrc fork", ENOSPC),
              std::string("作業用ファイル（.kvtmp）への圧縮データの書き込みに失敗しました: ") + std::strerror(ENOSPC));
    EXPECT_EQ(ioFailure("open", ENOENT), std::string("ファイルのオープンに失敗しました: ") + std::strerror(ENOENT));
    EXPECT_EQ(ioFailure("getxattr com.apple.decmpfs", EIO),
              std::string("拡張属性の読み取りに失敗しました: ") + std::strerror(EIO));
    EXPECT_EQ(ioFailure("renameat2", EXDEV), std::string("renameat2 に失敗しました: ") + std::strerror(EXDEV));
}

TEST(FailureInWordsTest, NoReasonRepeatsThePathOrARawErrorNumber)
{
    for (const char* step : {"create kvtmp", "unlink stale kvtmp", "write kvtmp", "close kvtmp", "fsync kvtmp",
                             "open rsrc fork", "write rsrc fork", "lseek rsrc fork", "rename", "read source",
                             "read compressed", "open", "flock", "lstat", "getxattr size", "listxattr read",
                             "setxattr com.apple.FinderInfo", "chflags fallback"}) {
        const std::string words = ioFailure(step, EROFS);
        EXPECT_EQ(words.find("errno"), std::string::npos) << words;
        EXPECT_EQ(words.find(file.string()), std::string::npos) << words;
        EXPECT_NE(words.find(std::strerror(EROFS)), std::string::npos) << words;
        EXPECT_EQ(words.find(step), std::string::npos) << "no words for " << step;
    }
}

TEST(FailureInWordsTest, TextsThatAreAlreadyWordsStayAsTheyAre)
{
    for (const char* message : {"unexpected EOF (got 3, expected 5)", "open for readback verification",
                                "rename: errno=", "rename: errno=1x", "stat: errno=-"}) {
        EXPECT_EQ(ioFailureInWords(message), message);
        EXPECT_EQ(failureInWords(FileCompressionError(FileCompressionError::ioError{file, message})), message);
    }
    EXPECT_EQ(failureInWords(FileCompressionError(FileCompressionError::fileNotFound{file})), "見つかりません");
    EXPECT_EQ(failureInWords(std::runtime_error("the store went away")), "the store went away");
}

}  // namespace
}  // namespace kelvane::operations
