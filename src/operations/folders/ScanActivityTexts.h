// SPDX-License-Identifier: MIT
#pragma once

#include "operations/folders/ScanActivity.h"

#include <QString>

#include <chrono>

namespace kelvane::operations {

// The texts of the scan bar, apart from its widget.
struct ScanActivityTexts {
    // "「name」の中身を確認中… 12,345 件" or "「name」の圧縮状態を取得中… 10 / 20",
    // numbers grouped as the user's locale groups them.
    static QString phaseText(const ScanActivity& activity);
    // "（フォルダ 1/2）", or empty when the run has fewer than 2 folders.
    static QString folderCounterText(const ScanActivity& activity);
    // "経過 59 秒", "経過 62 分 5 秒"; a time before the start counts as 0.
    static QString elapsedText(ScanActivity::Clock::time_point startedAt, ScanActivity::Clock::time_point now);
    // The bar's cancel button and its help text.
    static QString cancelButtonTitle();
    static QString cancelHelpText();
};

}  // namespace kelvane::operations
