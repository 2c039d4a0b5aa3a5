#pragma once

#include <QIcon>

namespace kelvane::ui {

// The pictures the windows use, by what they show. Each comes from the
// desktop's icon theme; where the theme has none, a bundled drawing stands in.
enum class Icon {
    file,
    folder,
    add,
    wizard,
    search,
    refresh,
    clearFilter,
    emptyList,
    noMatch,
    warning,
    cloud,
    openItem,
    showInFileManager,
    kindFilter,
    statusFilter,
    sizeFilter,
    starFilter,
};

QIcon icon(Icon which);

}  // namespace kelvane::ui
