// SPDX-License-Identifier: MIT
#include "operations/bulk/OperationActivity.h"

#include "platform/qt/SleepInhibitor.h"

#include <QString>

namespace kelvane::operations {

namespace {

class InhibitingActivity final : public OperationActivity {
public:
    explicit InhibitingActivity(const std::string& why) : inhibitor_(QString::fromStdString(why)) {}

private:
    platform::SleepInhibitor inhibitor_;
};

}  // namespace

std::string OperationActivity::reason(ActiveOperation::Kind kind)
{
    return std::string("Kelvane: ") + (kind == ActiveOperation::Kind::decompress ? "解除" : "圧縮") + " in progress";
}

std::unique_ptr<OperationActivity> OperationActivity::begin(ActiveOperation::Kind kind)
{
    return std::make_unique<InhibitingActivity>(reason(kind));
}

}  // namespace kelvane::operations
