// SPDX-License-Identifier: MIT
#pragma once

// Rows and status entries for the tests of what the table offers.

#include "operations/rows/DisplayRow.h"
#include "operations/rows/FileStatusEntry.h"

#include <cstdint>
#include <string_view>
#include <utility>

namespace kelvane::test {

// A row id known by a word, where a test only needs ids to differ.
inline operations::RowId rowId(std::string_view word)
{
    return operations::RowId::child({}, std::string(word));
}

// A file row, found inside a registered folder.
inline operations::DisplayRow fileRow()
{
    operations::DisplayRow row;
    row.id = operations::RowId::child({}, "/home/u/a.txt");
    row.kind = operations::DisplayRow::DisplayKind::file;
    row.url = "/home/u/a.txt";
    return row;
}

// An inspected file's entry in `status`, `size` bytes on both sides.
inline operations::FileStatusEntry loaded(engine::FileCompressionStatus status, std::uint64_t size = 10000)
{
    engine::FileCompressionInfo info;
    info.status = std::move(status);
    info.logicalSize = size;
    info.physicalSize = size;
    return operations::FileStatusEntry::loaded{info};
}

}  // namespace kelvane::test
