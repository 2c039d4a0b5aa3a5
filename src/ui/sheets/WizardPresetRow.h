// SPDX-License-Identifier: MIT
#pragma once

#include "operations/sheets/WizardSheetModel.h"

#include <QFrame>

#include <cstdint>
#include <functional>
#include <optional>

class QLabel;
class QProgressBar;
class QPushButton;

namespace kelvane::ui::sheets {

// One preset of the wizard's list: what and where the folder is, whether it
// exists, its size, the expected reduction, and the two actions. It keeps no
// state: the sheet hands it everything through update().
class WizardPresetRow final : public QFrame {
    Q_OBJECT
public:
    WizardPresetRow(operations::WizardPreset preset, std::function<void()> onRegisterAll,
                    std::function<void()> onInspect, QWidget* parent = nullptr);

    const operations::WizardPreset& preset() const { return preset_; }
    // Draws the row again (the folder's presence is looked up afresh).
    void update(std::optional<std::int64_t> sizeBytes, bool isRegistered);

private:
    operations::WizardPreset preset_;
    QLabel* icon_ = nullptr;
    QLabel* registeredBadge_ = nullptr;
    QLabel* missingBadge_ = nullptr;
    QLabel* size_ = nullptr;
    QProgressBar* measuring_ = nullptr;
    QPushButton* inspect_ = nullptr;
    QPushButton* registerAll_ = nullptr;
};

}  // namespace kelvane::ui::sheets
