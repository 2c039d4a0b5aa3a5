// SPDX-License-Identifier: MIT
#pragma once

#include <QDialog>

#include <filesystem>

class QCheckBox;
class QLabel;
class QProgressBar;

namespace kelvane::store {
class ModelContext;
}

namespace kelvane::operations {
class FolderRegistration;
}

namespace kelvane::ui {

class ElidedLabel;

// Registers one folder: its name and location, whether subfolders are
// included, how many files that covers, and "登録" (Return) / "キャンセル"
// (Esc). Accepted once registered, rejected when cancelled.
class FolderRegistrationSheet final : public QDialog {
    Q_OBJECT
public:
    FolderRegistrationSheet(const std::filesystem::path& folderURL, store::ModelContext& context,
                            QWidget* parent = nullptr);

private:
    QString countText() const;
    void refresh();
    void registerFolder();

    operations::FolderRegistration* state_;
    QCheckBox* subfolders_;
    QLabel* count_;
    QProgressBar* counting_;
    QLabel* error_;
};

}  // namespace kelvane::ui
