// SPDX-License-Identifier: MIT
#include "operations/folders/AddItemsFlow.h"

#include "discovery/CloudFolderDetector.h"
#include "discovery/RegistrationCoordinator.h"
#include "display/VisibleName.h"
#include "operations/windows/MainWindowModel.h"

#include <exception>
#include <system_error>

namespace kelvane::operations {

AddItemsFlow::AddItemsFlow(MainWindowModel& model, QObject* parent) : QObject(parent), model_(model) {}

void AddItemsFlow::handleSelectedURLs(const std::vector<std::filesystem::path>& urls)
{
    queue_.insert(queue_.end(), urls.begin(), urls.end());
    advance();
}

void AddItemsFlow::advance()
{
    while (!waitingForAnswer() && !queue_.empty()) {
        const std::filesystem::path url = std::move(queue_.front());
        queue_.pop_front();
        std::error_code error;
        const auto status = std::filesystem::status(url, error);
        if (error || !std::filesystem::exists(status)) {
            model_.setErrorMessage("見つかりません: " + display::visibleName(url).toStdString());
            continue;
        }
        const bool isDirectory = std::filesystem::is_directory(status);
        if (const auto service = discovery::CloudFolderDetector::detect(url)) {
            pendingCloudWarning_ = PendingCloudWarning{store::Uuid::random(), url, *service, isDirectory};
            emit pendingCloudWarningChanged();
            return;
        }
        if (isDirectory) {
            setFolderToRegister(url);
            return;
        }
        registerFile(url);
    }
}

void AddItemsFlow::continueAfterCloudWarning()
{
    if (!pendingCloudWarning_)
        return;
    const PendingCloudWarning warning = std::move(*pendingCloudWarning_);
    pendingCloudWarning_.reset();
    emit pendingCloudWarningChanged();
    if (warning.isDirectory) {
        setFolderToRegister(warning.url);
        return;
    }
    registerFile(warning.url);
    advance();
}

void AddItemsFlow::cancelCloudWarning()
{
    if (!pendingCloudWarning_)
        return;
    pendingCloudWarning_.reset();
    emit pendingCloudWarningChanged();
    advance();
}

void AddItemsFlow::finishFolderRegistration()
{
    setFolderToRegister(std::nullopt);
    advance();
}

void AddItemsFlow::setFolderToRegister(std::optional<std::filesystem::path> folder)
{
    if (folder == folderToRegister_)
        return;
    folderToRegister_ = std::move(folder);
    emit folderToRegisterChanged();
}

void AddItemsFlow::registerFile(const std::filesystem::path& url)
{
    try {
        // The decision is not shown: a duplicate or a file inside a
        // registered folder is skipped without a word.
        discovery::RegistrationCoordinator{}.registerItem(url, discovery::ItemKind::file, false, model_.modelContext());
    } catch (const std::exception& error) {
        model_.setErrorMessage(std::string("ファイルを登録できませんでした。\n対処: ファイルが移動 / 削除されていないか確認してください。\n詳細: ") +
                               display::visibleName(std::string_view(error.what())).toStdString());
    }
}

}  // namespace kelvane::operations
