// SPDX-License-Identifier: MIT
#include "operations/sheets/CompressionCheckerForSearch.h"

#include "engine/FileCompressionInspector.h"

namespace kelvane::operations {

bool compressionCheckerForSearch(const std::filesystem::path& url)
{
    try {
        return engine::FileCompressionInspector().inspect(url).status.kind() ==
               engine::FileCompressionStatus::Kind::compressed;
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace kelvane::operations
