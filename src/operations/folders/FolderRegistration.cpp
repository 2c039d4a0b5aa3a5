// SPDX-License-Identifier: MIT
#include "operations/folders/FolderRegistration.h"

#include "discovery/CancellationError.h"
#include "discovery/FolderFileCounter.h"
#include "discovery/RegistrationCoordinator.h"
#include "display/VisibleName.h"
#include "operations/threads/WorkerJobs.h"
#include "platform/KelvanefsMount.h"

#include <QPointer>

#include <exception>
#include <variant>

namespace kelvane::operations {

FolderRegistration::FolderRegistration(std::filesystem::path folderURL, store::ModelContext& context, QObject* parent)
    : QObject(parent), folderURL_(std::move(folderURL)), context_(context)
{
}

FolderRegistration::~FolderRegistration()
{
    if (count_)
        count_->cancel();
}

void FolderRegistration::setIncludeSubfolders(bool value)
{
    if (value == includeSubfolders_)
        return;
    includeSubfolders_ = value;
    emit changed();
    startCount();
}

void FolderRegistration::startCount()
{
    if (count_)
        count_->cancel();
    TaskHandle task;
    count_ = task;
    const std::uint64_t generation = ++generation_;
    isCounting_ = true;
    emit changed();

    struct Cancelled {};
    using Outcome = std::variant<std::int64_t, std::string, Cancelled>;
    runOnWorkers<Outcome>(
        {[folder = folderURL_, subfolders = includeSubfolders_, stop = task.stopToken()]() -> Outcome {
            // Under a mount whose socket does not answer every call fails;
            // the reason names the mount, not a folder that seems gone.
            if (auto unreachable = platform::unreachableMountReason(folder))
                return std::move(*unreachable);
            try {
                return discovery::FolderFileCounter{}.countFiles(folder, subfolders, stop);
            } catch (const discovery::CancellationError&) {
                return Cancelled{};
            } catch (const std::exception& error) {
                return std::string(error.what());
            }
        }},
        [self = QPointer<FolderRegistration>(this), generation, task](std::vector<Outcome> outcomes) {
            task.finish();
            if (!self || generation != self->generation_ || std::holds_alternative<Cancelled>(outcomes.front()))
                return;
            if (const auto* count = std::get_if<std::int64_t>(&outcomes.front())) {
                self->fileCount_ = *count;
            } else {
                self->fileCount_.reset();
                self->errorMessage_ = "件数取得に失敗: " + display::visibleName(std::get<std::string>(outcomes.front())).toStdString();
            }
            self->isCounting_ = false;
            emit self->changed();
        });
}

bool FolderRegistration::registerFolder()
{
    if (const auto unreachable = platform::unreachableMountReason(folderURL_)) {
        errorMessage_ = "登録に失敗: " + display::visibleName(std::string_view(*unreachable)).toStdString();
        emit changed();
        return false;
    }
    try {
        discovery::RegistrationCoordinator{}.registerItem(folderURL_, discovery::ItemKind::folder, includeSubfolders_,
                                                          context_);
        return true;
    } catch (const std::exception& error) {
        errorMessage_ = "登録に失敗: " + display::visibleName(std::string_view(error.what())).toStdString();
        emit changed();
        return false;
    }
}

}  // namespace kelvane::operations
