// SPDX-License-Identifier: MIT
#pragma once

#include "engine/FileCompressionInfo.h"
#include "operations/rows/RowId.h"
#include "platform/CaseValue.h"
#include "platform/KelvanefsMount.h"

#include <filesystem>
#include <optional>
#include <string>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <variant>

namespace kelvane::operations {

// The cases of the last known state of one table row's file.
struct FileStatusEntryCases {
    struct loaded {
        engine::FileCompressionInfo info;
        bool operator==(const loaded&) const = default;
    };
    struct error {
        std::string text;
        bool operator==(const error&) const = default;
    };
    struct notInspected { bool operator==(const notInspected&) const = default; };
    struct notFound { bool operator==(const notFound&) const = default; };
    // No live kelvanefs mount serves the file, so other programs do not read
    // it as its original bytes: a compressed file with no mount (`info` is
    // what it is), or any file under a mount that does not answer (nothing
    // can be read there; no `info`).
    struct unserved {
        platform::MountService::State state = platform::MountService::State::noMount;
        std::filesystem::path mountPoint;  // of the mount that does not answer
        std::optional<engine::FileCompressionInfo> info;
        bool operator==(const unserved&) const = default;
    };
    using Case = std::variant<loaded, error, notInspected, notFound, unserved>;
};

// The last known state of one table row's file (FileStatusCache::Entry).
class FileStatusEntry : public platform::CaseValue<FileStatusEntryCases> {
public:
    using CaseValue::CaseValue;
    FileStatusEntry() : CaseValue(notInspected{}) {}

    // The inspection result, when there is one (`loaded`, or `unserved`
    // where the file could be read).
    const engine::FileCompressionInfo* info() const noexcept
    {
        if (const auto* l = as<loaded>())
            return &l->info;
        const auto* u = as<unserved>();
        return u && u->info ? &*u->info : nullptr;
    }

    bool operator==(const FileStatusEntry&) const = default;
};

// The entries of the status cache, by row.
using FileStatusEntries = std::unordered_map<RowId, FileStatusEntry>;

}  // namespace kelvane::operations
