// SPDX-License-Identifier: MIT
#include "operations/sheets/WizardSheetModel.h"

#include "discovery/PackageTraversalPolicy.h"
#include "discovery/RegistrationCoordinator.h"
#include "display/VisibleName.h"
#include "operations/threads/WorkerJobs.h"
#include "platform/DirectoryReader.h"
#include "platform/FileFlags.h"
#include "platform/FileStat.h"
#include "platform/FileSystem.h"
#include "platform/Logger.h"

#include <QPointer>

#include <sys/stat.h>

namespace kelvane::operations {


WizardSheetModel::WizardSheetModel(store::ModelContext& context, QObject* parent)
    : QObject(parent), context_(context), presets_(WizardPreset::all())
{
}

WizardSheetModel::~WizardSheetModel()
{
    for (const TaskHandle& task : measurements_)
        task.cancel();
}

std::optional<std::int64_t> WizardSheetModel::sizeOf(const std::string& presetID) const
{
    const auto found = presetSizes_.find(presetID);
    if (found == presetSizes_.end())
        return std::nullopt;
    return found->second;
}

bool WizardSheetModel::isPresent(const WizardPreset& preset)
{
    std::error_code error;
    return std::filesystem::is_directory(preset.resolvedPath, error);
}

void WizardSheetModel::measurePresetSizes()
{
    std::erase_if(measurements_, [](const TaskHandle& task) { return task.isFinished(); });
    QPointer<WizardSheetModel> self(this);
    for (const WizardPreset& preset : presets_) {
        if (!isPresent(preset))
            continue;
        auto walk = [folder = preset.resolvedPath](std::stop_token stop) { return folderTotalSize(folder, stop); };
        auto done = [self, id = preset.id](TaskOutcome<std::int64_t> outcome) {
            // The sheet may have gone while the walk ran.
            if (!self || !outcome.value)
                return;
            self->presetSizes_[id] = *outcome.value;
            emit self->presetSizesChanged();
        };
        measurements_.push_back(runTask<std::int64_t>(std::move(walk), std::move(done)));
    }
}

std::int64_t WizardSheetModel::folderTotalSize(const std::filesystem::path& folder, std::stop_token stop)
{
    std::int64_t total = 0;
    std::vector<std::filesystem::path> pending{folder};
    std::vector<platform::DirectoryEntry> entries;
    bool isRoot = true;
    while (!pending.empty() && !stop.stop_requested()) {
        const std::filesystem::path directory = std::move(pending.back());
        pending.pop_back();
        entries.clear();
        // The preset folder itself may be a link; nothing below it is followed.
        if (platform::readDirectory(directory, isRoot, entries) != 0) {
            isRoot = false;
            continue;
        }
        isRoot = false;
        for (const platform::DirectoryEntry& entry : entries) {
            if (entry.name.starts_with('.'))
                continue;
            const std::filesystem::path path = directory / entry.name;
            platform::FileStat stat;
            if (platform::lstat(path, stat) != 0 || (stat.flags & platform::UF_HIDDEN) != 0)
                continue;
            if (S_ISDIR(stat.mode)) {
                if (!discovery::PackageTraversalPolicy::isInsideAllowedPackage(path) && platform::isPackage(path))
                    continue;
                pending.push_back(path);
            } else if (S_ISREG(stat.mode) && stat.size > 0) {
                total += stat.size;
            }
        }
    }
    return total;
}

void WizardSheetModel::registerAllPreset(const WizardPreset& preset)
{
    using Decision = discovery::RegistrationDecision;
    const QString title = QString::fromStdString(preset.title);
    try {
        const Decision decision = discovery::RegistrationCoordinator().registerItem(
            preset.resolvedPath, discovery::ItemKind::folder, true, context_);
        if (decision.as<Decision::skipChildOfRegistered>()) {
            showToast(QStringLiteral("上位フォルダがすでに登録されています: ") + title, Toast::Style::success);
            return;
        }
        const bool added = decision.as<Decision::willRegister>() != nullptr;
        if (registeredIDs_.insert(preset.id).second)
            emit registeredIDsChanged();
        showToast((added ? QStringLiteral("登録しました: ") : QStringLiteral("すでに登録済みです: ")) + title,
                  Toast::Style::success);
    } catch (const std::exception& error) {
        platform::Logger::ui().error("wizard registration failed: %{public}s", error.what());
        showToast(QStringLiteral("登録に失敗: ") + display::visibleName(std::string_view(error.what())), Toast::Style::failure);
    }
}

void WizardSheetModel::inspect(const WizardPreset& preset)
{
    navigationPath_.push_back(preset);
    emit navigationPathChanged();
}

void WizardSheetModel::popDetail()
{
    if (navigationPath_.empty())
        return;
    navigationPath_.pop_back();
    emit navigationPathChanged();
}

void WizardSheetModel::announceRegistered(const DetailRegistration& outcome, const WizardPreset& preset)
{
    QString message = QString::fromStdString(preset.title) + QStringLiteral(" から %1 件を登録しました").arg(outcome.registered);
    if (outcome.failed > 0) {
        // A failure is never reported as a plain success.
        message += QStringLiteral("。登録に失敗: ") + outcome.firstError;
        showToast(message, Toast::Style::failure);
    } else {
        showToast(message, Toast::Style::success);
    }
    popDetail();
}

void WizardSheetModel::showToast(QString message, Toast::Style style)
{
    toast_ = Toast{++toastCounter_, std::move(message), style};
    emit toastChanged();
}

}  // namespace kelvane::operations
