// SPDX-License-Identifier: MIT
#pragma once

#include "operations/rows/DisplayRow.h"
#include "operations/rows/FileStatusEntry.h"
#include "operations/mounts/MountRefusal.h"
#include "display/RatioDisplayMode.h"

#include <QString>

#include <optional>
#include <string>

namespace kelvane::ui {

// The main table's columns, in their default order.
enum class MainColumn { name, path, kind, status, logicalSize, physicalSize, ratio, stars, mtime, action };
inline constexpr int mainColumnCount = 10;

// How a cell's text is coloured.
enum class Tone { primary, secondary, tint, warning, cloud };

// What one cell of the main table shows. Computed from the row and its
// status entry only, so painting, tooltips and tests read the same thing.
struct CellContent {
    QString text;
    QString toolTip;
    Tone tone = Tone::secondary;
    bool spinner = false;       // a spinner before the text (or alone)
    bool clickable = false;     // opens the status detail
    bool monospacedDigits = false;
    Qt::TextElideMode elide = Qt::ElideRight;
    QString symbol;             // drawn before the text in the text's colour
};

// The status detail a click on a clickable status cell explains.
struct StatusDetail {
    // unserved: no live kelvanefs mount serves the file (its action mounts).
    enum class Kind { error, datalessCloud, unserved };
    Kind kind = Kind::error;
    QString reason;  // for `error` and `unserved`
};

struct TableCells {
    static QString columnTitle(MainColumn column);
    // "名前" and "操作" cannot be hidden.
    static bool canHide(MainColumn column);
    static bool hiddenByDefault(MainColumn column);
    static bool sortable(MainColumn column);
    static int idealWidth(MainColumn column);
    static int minimumWidth(MainColumn column);
    static int maximumWidth(MainColumn column);  // 0: none

    // `entry` is the row's status entry (notInspected when the cache holds none).
    static CellContent content(MainColumn column, const operations::DisplayRow& row,
                               const operations::FileStatusEntry& entry, display::RatioDisplayMode mode);

    // The popover a click on the status cell opens, if it opens one.
    // `refusal`: why the keeper could not serve the row's registered item.
    static std::optional<StatusDetail> statusDetail(const operations::DisplayRow& row,
                                                    const operations::FileStatusEntry& entry,
                                                    const std::optional<operations::MountRefusal>& refusal = {});

    static QString starText(int stars);
    static QString folderStatusToolTip(const operations::FolderAggregate& aggregate);
    static QString folderStarsToolTip(const operations::FolderAggregate& aggregate);
    static QString incompressibleExplanation();
    static QString notFoundText(const operations::DisplayRow& row);
    static QString datalessExplanation();
    static QString unservedText(const operations::FileStatusEntry::unserved& unserved,
                                const std::optional<operations::MountRefusal>& refusal);
    // Why the files of an item the keeper could not serve stay plain.
    static QString refusedText(const operations::MountRefusal& refusal);
};

}  // namespace kelvane::ui
