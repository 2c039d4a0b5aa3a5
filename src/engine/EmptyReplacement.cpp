// SPDX-License-Identifier: MIT
#include "engine/EmptyReplacement.h"

#include "engine/FileCompressionError.h"
#include "engine/InPlaceDecompression.h"
#include "engine/Preflight.h"
#include "engine/ReplacementSteps.h"
#include "engine/TemporaryFile.h"
#include "platform/FileFlags.h"
#include "platform/KelvanefsMount.h"

namespace kelvane::engine {

void replaceWithEmptyFile(const std::filesystem::path& url)
{
    using Error = FileCompressionError;
    if (const auto reason = platform::unreachableMountReason(url))
        throw Error(Error::ioError{url, *reason});
    finishInPlaceDecompression(url);
    const platform::FileStat snapshot = lstatSnapshot(url);
    TemporaryFile::removeStrayMarker(url);
    if ((snapshot.flags & platform::UF_COMPRESSED) == 0)
        throw Error(Error::notCompressed{url});
    const platform::UniqueFd lock = openAndLock(url, snapshot);

    TemporaryFile temporary = TemporaryFile::create(url);
    const std::filesystem::path& temporaryUrl = temporary.path();
    replacement::copyMetadata(snapshot, url, lock.get(), temporaryUrl);
    replacement::restoreCreationDate(snapshot, temporaryUrl);
    replacement::restoreMode(snapshot, temporaryUrl);
    replacement::setFileFlags(snapshot.flags & ~platform::UF_COMPRESSED, temporaryUrl);
    replacement::finalizeReplace(temporary, url, snapshot);
}

}  // namespace kelvane::engine
