// SPDX-License-Identifier: MIT
#include "engine/Swap.h"

#include "engine/ReplacementSteps.h"
#include "engine/Road.h"
#include "platform/FileFlags.h"

namespace kelvane::engine {

PreparedSwap::PreparedSwap(const Road& road, RoadWork& work, platform::UniqueFd lock, FolderTimeKeeper folderTimes,
                           TemporaryFile temporary)
    : url_(work.url),
      snapshot_(work.snapshot),
      lock_(std::move(lock)),
      folderTimes_(std::move(folderTimes)),
      temporary_(std::move(temporary)),
      compressed_(road.compressed),
      written_(work.written),
      algorithm_(work.algorithm)
{
}

PreparedSwap prepareSwap(const Road& road, RoadWork& work, platform::UniqueFd lock)
{
    if (road.prepare)
        road.prepare(work);

    FolderTimeKeeper folderTimes(work.url);
    TemporaryFile temporary = TemporaryFile::create(work.url);
    const std::filesystem::path& temporaryUrl = temporary.path();
    if (road.writeData)
        road.writeData(work, temporary);
    replacement::copyMetadata(work.snapshot, work.url, work.lockFd, temporaryUrl);
    if (road.writeRecords)
        road.writeRecords(work, temporary);
    if (road.keepsTimes) {
        replacement::restoreTimesAndMode(work.snapshot, temporaryUrl);
    } else {
        replacement::restoreCreationDate(work.snapshot, temporaryUrl);
        replacement::restoreMode(work.snapshot, temporaryUrl);
    }
    const std::uint32_t flags = road.compressed ? work.snapshot.flags | platform::UF_COMPRESSED
                                                : work.snapshot.flags & ~platform::UF_COMPRESSED;
    replacement::setFileFlags(flags, temporaryUrl);
    if (road.prove) {
        road.prove(work, temporary);
        // Reading the file back may have moved its access time.
        replacement::restoreTimes(work.snapshot, temporaryUrl);
    }
    return PreparedSwap(road, work, std::move(lock), std::move(folderTimes), std::move(temporary));
}

}  // namespace kelvane::engine
