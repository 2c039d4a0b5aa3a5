// SPDX-License-Identifier: MIT
#include "store/FileSnapshot.h"

namespace kelvane::store {

FileSnapshot::FileSnapshot(Uuid id, std::shared_ptr<RegisteredItem> registeredItem, std::string relativePath,
                           std::int64_t inode, std::int64_t logicalSize, std::int64_t physicalSize,
                           bool isCompressed, std::optional<std::string> algorithm, Date mtime,
                           Date lastObservedAt)
    : id_(id),
      registeredItem_(std::move(registeredItem)),
      relativePath_(std::move(relativePath)),
      inode_(inode),
      logicalSize_(logicalSize),
      physicalSize_(physicalSize),
      isCompressed_(isCompressed),
      algorithm_(std::move(algorithm)),
      mtime_(mtime),
      lastObservedAt_(lastObservedAt) {}

}  // namespace kelvane::store
