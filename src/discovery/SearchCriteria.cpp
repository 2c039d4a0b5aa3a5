// SPDX-License-Identifier: MIT
#include "discovery/SearchCriteria.h"

#include "discovery/PathExtension.h"

namespace kelvane::discovery {

bool SearchCriteria::matches(const FileCandidate& candidate) const {
    if (modifiedBefore && candidate.modificationDate > *modifiedBefore) return false;
    if (minSize && candidate.size < *minSize) return false;
    if (maxSize && candidate.size > *maxSize) return false;
    if (extensionFilter && !extensionFilter->accepts(lowercasedPathExtension(candidate.url.filename().native())))
        return false;
    if (excludeAlreadyCompressed && candidate.isAlreadyCompressed) return false;
    if (excludeHidden && candidate.isHidden) return false;
    return true;
}

}  // namespace kelvane::discovery
