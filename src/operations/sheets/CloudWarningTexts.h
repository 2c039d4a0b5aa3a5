// SPDX-License-Identifier: MIT
#pragma once

#include "discovery/CloudService.h"

#include <QString>

namespace kelvane::operations {

using CloudService = discovery::CloudService;

// The storage service as the user knows it.
QString cloudServiceName(CloudService service);
// The warning's headline before an item in that storage is registered.
QString cloudWarningTitle(CloudService service);

}  // namespace kelvane::operations
