// SPDX-License-Identifier: MIT
#pragma once

#include "operations/threads/TaskHandle.h"

#include <QObject>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace kelvane::store {
class ModelContext;
}

namespace kelvane::operations {

// The state of the folder registration sheet: whether subfolders are
// included, the number of files that choice covers (counted on a worker
// whenever the choice changes), and the registration itself. A count that
// was cancelled or overtaken by a newer one is dropped unseen.
class FolderRegistration final : public QObject {
    Q_OBJECT
public:
    FolderRegistration(std::filesystem::path folderURL, store::ModelContext& context, QObject* parent = nullptr);
    ~FolderRegistration() override;

    const std::filesystem::path& folderURL() const { return folderURL_; }
    bool includeSubfolders() const { return includeSubfolders_; }
    const std::optional<std::int64_t>& fileCount() const { return fileCount_; }
    bool isCounting() const { return isCounting_; }
    const std::optional<std::string>& errorMessage() const { return errorMessage_; }

    // Starts a new count (the first one starts with the sheet).
    void setIncludeSubfolders(bool value);
    void startCount();

    // Registers the folder; true when the sheet is done (whatever the rules
    // decided), false when it failed and the sheet stays with the message.
    bool registerFolder();

signals:
    void changed();

private:
    std::filesystem::path folderURL_;
    store::ModelContext& context_;
    bool includeSubfolders_ = true;
    std::optional<std::int64_t> fileCount_;
    bool isCounting_ = false;
    std::optional<std::string> errorMessage_;
    std::uint64_t generation_ = 0;
    std::optional<TaskHandle> count_;
};

}  // namespace kelvane::operations
