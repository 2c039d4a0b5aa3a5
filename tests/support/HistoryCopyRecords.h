// SPDX-License-Identifier: MIT
#pragma once

// Header-only: five history records that between them show each way a row
// is copied as text: a file that grew, a failure with a tab in its path and
// a message of two lines, an empty file, a decompression and a failure
// without a message; oldest first, a minute apart. `add` is the test's own
// maker of a record, add(path, before, after, operation, success, error,
// minutesAgo).

#include "store/CompressionLog.h"

#include <memory>
#include <optional>

namespace kelvane::test {

struct HistoryCopyRecords {
    std::shared_ptr<store::CompressionLog> grown, failed, empty, unpacked, silent;
};

template <class Add>
HistoryCopyRecords addHistoryCopyRecords(Add add)
{
    return {add("/w/grown.bin", 100, 150, "compress", true, std::nullopt, 5),
            add("/w/fail\ted.txt", 5000, 5000, "compress", false, "line one\nline two", 4),
            add("/w/empty.txt", 0, 0, "compress", true, std::nullopt, 3),
            add("/w/unpacked.txt", 300, 900, "decompress", true, std::nullopt, 2),
            add("/w/silent.txt", 10, 10, "compress", false, std::nullopt, 1)};
}

}  // namespace kelvane::test
