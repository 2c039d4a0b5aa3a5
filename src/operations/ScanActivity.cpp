#include "operations/ScanActivity.h"

namespace kelvane::operations {

ScanActivity::ScanActivity(QObject* parent) : QObject(parent), startedAt_(Clock::now()) {}

void ScanActivity::setFolderName(const std::string& value)
{
    if (value == folderName_)
        return;
    folderName_ = value;
    emit folderNameChanged();
}

void ScanActivity::setFolderIndex(long long value)
{
    if (value == folderIndex_)
        return;
    folderIndex_ = value;
    emit folderIndexChanged();
}

void ScanActivity::setFolderTotal(long long value)
{
    if (value == folderTotal_)
        return;
    folderTotal_ = value;
    emit folderTotalChanged();
}

void ScanActivity::setPhase(const Phase& value)
{
    if (value == phase_)
        return;
    phase_ = value;
    emit phaseChanged();
}

void ScanActivity::setTask(const std::optional<TaskHandle>& value)
{
    if (value == task_)
        return;
    task_ = value;
    emit taskChanged();
}

void ScanActivity::setWasCancelled(bool value)
{
    if (value == wasCancelled_)
        return;
    wasCancelled_ = value;
    emit wasCancelledChanged();
}

void ScanActivity::cancel()
{
    setWasCancelled(true);
    if (task_)
        task_->cancel();
}

}  // namespace kelvane::operations
