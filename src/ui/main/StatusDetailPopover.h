// SPDX-License-Identifier: MIT
#pragma once

#include "ui/common/Popover.h"
#include "ui/common/TableCells.h"

#include <filesystem>
#include <functional>

namespace kelvane::ui {

// Explains a status cell's failure, missing file or evicted file, with
// "ファイルマネージャで確認", "再試行" (failures) or "マウント" (a file no mount
// serves), and "閉じる" (Esc).
class StatusDetailPopover final : public Popover {
    Q_OBJECT
public:
    StatusDetailPopover(const StatusDetail& detail, const std::filesystem::path& url, std::function<void()> onReveal,
                        std::function<void()> onAction, QWidget* parent);

    static QString title(const StatusDetail& detail);
};

}  // namespace kelvane::ui
