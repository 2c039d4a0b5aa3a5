// SPDX-License-Identifier: MIT
#include "operations/rows/CellInspection.h"

#include "operations/folders/ChildInspectionWorker.h"
#include "platform/Logger.h"

namespace kelvane::operations {

FileStatusEntry inspectForCell(const std::filesystem::path& url)
{
    long long errors = 0;
    FileStatusEntry entry = ChildInspectionWorker::inspect(url, false, errors);
    if (const auto* failure = entry.as<FileStatusEntry::error>())
        platform::Logger::ui().error("inspect failed for %{private}s: %{public}s", url.string(), failure->text);
    return entry;
}

}  // namespace kelvane::operations
