// SPDX-License-Identifier: MIT
#pragma once

#include "discovery/CloudService.h"
#include "store/Uuid.h"

#include <QObject>

#include <deque>
#include <filesystem>
#include <optional>
#include <vector>

namespace kelvane::operations {

class MainWindowModel;

// A chosen or dropped item in cloud-synced storage, waiting for the user to
// confirm it.
struct PendingCloudWarning {
    store::Uuid id;
    std::filesystem::path url;
    discovery::CloudService service = discovery::CloudService::fileProviderGeneric;
    bool isDirectory = false;
};

// Adding chosen or dropped items to the registrations. Every item is offered
// in turn, first in first out: a missing path is reported, an item in cloud
// storage waits for the warning, a folder waits for its registration sheet,
// and a file is registered at once; the next item is taken once the one in
// front has been answered.
class AddItemsFlow final : public QObject {
    Q_OBJECT
public:
    explicit AddItemsFlow(MainWindowModel& model, QObject* parent = nullptr);

    void handleSelectedURLs(const std::vector<std::filesystem::path>& urls);

    const std::optional<PendingCloudWarning>& pendingCloudWarning() const { return pendingCloudWarning_; }
    const std::optional<std::filesystem::path>& folderToRegister() const { return folderToRegister_; }
    std::size_t waitingCount() const { return queue_.size(); }

    // The warning's answers.
    void continueAfterCloudWarning();
    void cancelCloudWarning();
    // The folder sheet is done (registered or cancelled).
    void finishFolderRegistration();

    // Registers a single file; a failure becomes the window's error message.
    void registerFile(const std::filesystem::path& url);

signals:
    void pendingCloudWarningChanged();
    void folderToRegisterChanged();

private:
    void advance();
    bool waitingForAnswer() const { return pendingCloudWarning_ || folderToRegister_; }
    void setFolderToRegister(std::optional<std::filesystem::path> folder);

    MainWindowModel& model_;
    std::deque<std::filesystem::path> queue_;
    std::optional<PendingCloudWarning> pendingCloudWarning_;
    std::optional<std::filesystem::path> folderToRegister_;
};

}  // namespace kelvane::operations
