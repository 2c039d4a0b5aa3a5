// SPDX-License-Identifier: MIT
#include "operations/windows/StorageStatusModel.h"

#include "operations/threads/MainThread.h"

#include <QPointer>

#include <algorithm>
#include <system_error>
#include <thread>
#include <utility>

namespace kelvane::operations {

StorageStatusModel::StorageStatusModel(volumes::VolumeLister lister, QObject* parent)
    : QObject(parent), lister_(std::move(lister))
{
}

const volumes::StorageVolume* StorageStatusModel::selectedVolume() const
{
    if (!selection_)
        return nullptr;
    const auto it = std::find_if(volumes_.begin(), volumes_.end(), [&](const auto& v) { return v.url == *selection_; });
    return it == volumes_.end() ? nullptr : &*it;
}

void StorageStatusModel::startRefresh()
{
    if (isLoading_)
        return;
    setLoading(true);
    try {
        std::thread([lister = lister_, model = QPointer<StorageStatusModel>(this)]() mutable {
            std::vector<volumes::StorageVolume> found = lister();
            postToMainThread([model = std::move(model), found = std::move(found)]() mutable {
                if (!model)
                    return;
                model->applyVolumes(std::move(found));
                model->setLoading(false);
                emit model->refreshFinished();
            });
        }).detach();
    } catch (const std::system_error&) {
        // No thread to list on: the window keeps what it had.
        setLoading(false);
        emit refreshFinished();
    }
}

void StorageStatusModel::applyVolumes(std::vector<volumes::StorageVolume> volumes)
{
    volumes_ = std::move(volumes);
    emit volumesChanged();
    if (!selectedVolume()) {
        const auto root = std::find_if(volumes_.begin(), volumes_.end(), [](const auto& v) { return v.isRoot; });
        if (root != volumes_.end())
            selection_ = root->url;
        else if (!volumes_.empty())
            selection_ = volumes_.front().url;
        else
            selection_.reset();
    }
    // Told even when the url stays: the volume behind it may have changed.
    emit selectionChanged();
}

void StorageStatusModel::select(const std::optional<std::filesystem::path>& url)
{
    if (selection_ == url)
        return;
    selection_ = url;
    emit selectionChanged();
}

void StorageStatusModel::setLoading(bool loading)
{
    if (isLoading_ == loading)
        return;
    isLoading_ = loading;
    emit loadingChanged();
}

}  // namespace kelvane::operations
