// SPDX-License-Identifier: MIT
#include "store/StoreError.h"

#include <gtest/gtest.h>

namespace kelvane::store {
namespace {

TEST(StoreErrorTest, FailuresCompareByCodeTextAndSqliteCode)
{
    const StoreError base(StoreError::Code::saveFailed, "could not save", 19);
    EXPECT_EQ(base, StoreError(StoreError::Code::saveFailed, "could not save", 19));
    EXPECT_NE(base, StoreError(StoreError::Code::fetchFailed, "could not save", 19));
    EXPECT_NE(base, StoreError(StoreError::Code::saveFailed, "could not save.", 19));
    EXPECT_NE(base, StoreError(StoreError::Code::saveFailed, "could not save", 2067));
    EXPECT_STREQ(base.what(), "could not save");
    EXPECT_EQ(base.sqliteCode(), 19);
}

}  // namespace
}  // namespace kelvane::store
