// SPDX-License-Identifier: MIT
#include "ui/main/RowWalks.h"

#include <functional>

namespace kelvane::ui {

using operations::DisplayRow;

namespace {

void walk(const std::vector<DisplayRow>& rows, const std::set<operations::RowId>& ids,
          const std::function<void(const DisplayRow&)>& visit)
{
    for (const DisplayRow& row : rows) {
        if (ids.contains(row.id))
            visit(row);
        if (row.children)
            walk(*row.children, ids, visit);
    }
}

}  // namespace

bool RowWalks::isUnresolved(const std::filesystem::path& url) { return url.string().starts_with("/__unresolved__/"); }

std::vector<DisplayRow> RowWalks::selectedRows(const std::vector<DisplayRow>& rows, const std::set<operations::RowId>& ids)
{
    std::vector<DisplayRow> found;
    if (!ids.empty())
        walk(rows, ids, [&](const DisplayRow& row) { found.push_back(row); });
    return found;
}

std::vector<std::filesystem::path> RowWalks::selectedURLs(const std::vector<DisplayRow>& rows,
                                                          const std::set<operations::RowId>& ids)
{
    std::vector<std::filesystem::path> urls;
    walk(rows, ids, [&](const DisplayRow& row) {
        if (!isUnresolved(row))
            urls.push_back(row.url);
    });
    return urls;
}

std::vector<DisplayRow> RowWalks::refreshTargets(const std::vector<DisplayRow>& rows, const std::set<operations::RowId>& ids)
{
    std::vector<DisplayRow> targets;
    walk(rows, ids, [&](const DisplayRow& row) {
        if (row.kind == DisplayRow::DisplayKind::folder ? row.registeredItemID.has_value() : !isUnresolved(row))
            targets.push_back(row);
    });
    return targets;
}

}  // namespace kelvane::ui
