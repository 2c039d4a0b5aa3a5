#include "operations/ScanActivity.h"

#include "operations/ChangeSignal.h"

namespace kelvane::operations {

ScanActivity::ScanActivity(QObject* parent) : QObject(parent), startedAt_(Clock::now()) {}

void ScanActivity::setFolderName(const std::string& value)
{
    assignAndNotify(this, folderName_, value, &ScanActivity::folderNameChanged);
}
void ScanActivity::setFolderIndex(long long value)
{
    assignAndNotify(this, folderIndex_, value, &ScanActivity::folderIndexChanged);
}
void ScanActivity::setFolderTotal(long long value)
{
    assignAndNotify(this, folderTotal_, value, &ScanActivity::folderTotalChanged);
}
void ScanActivity::setPhase(const Phase& value) { assignAndNotify(this, phase_, value, &ScanActivity::phaseChanged); }
void ScanActivity::setTask(const std::optional<TaskHandle>& value)
{
    assignAndNotify(this, task_, value, &ScanActivity::taskChanged);
}
void ScanActivity::setWasCancelled(bool value)
{
    assignAndNotify(this, wasCancelled_, value, &ScanActivity::wasCancelledChanged);
}

void ScanActivity::cancel()
{
    setWasCancelled(true);
    if (task_)
        task_->cancel();
}

}  // namespace kelvane::operations
