// SPDX-License-Identifier: MIT
#include "operations/folders/ScanActivity.h"

namespace kelvane::operations {

ScanActivity::ScanActivity(QObject* parent) : QObject(parent), startedAt_(Clock::now()) {}


void ScanActivity::cancel()
{
    setWasCancelled(true);
    if (task_)
        task_->cancel();
}

}  // namespace kelvane::operations
