// SPDX-License-Identifier: MIT
#pragma once

#include "operations/sheets/CloudWarningTexts.h"

#include <QDialog>

#include <filesystem>

namespace kelvane::ui {

// Warns before an item in cloud-synced storage is registered. Return
// continues ("それでも登録", accepted), Esc cancels (rejected).
class CloudFolderWarningSheet final : public QDialog {
    Q_OBJECT
public:
    CloudFolderWarningSheet(const std::filesystem::path& url, operations::CloudService service, QWidget* parent = nullptr);
};

}  // namespace kelvane::ui
