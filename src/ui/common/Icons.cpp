#include "ui/common/Icons.h"

#include <QApplication>
#include <QFont>
#include <QPainter>
#include <QPixmap>
#include <QStyle>

#include <array>

namespace kelvane::ui {

namespace {

struct IconSource {
    const char* themeName;
    const char* secondThemeName;
    QStyle::StandardPixmap standard;  // SP_CustomBase: drawn from `glyph`
    const char* glyph;
};

IconSource source(Icon which)
{
    switch (which) {
    case Icon::file: return {"text-x-generic", "document-new", QStyle::SP_FileIcon, ""};
    case Icon::folder: return {"folder", "inode-directory", QStyle::SP_DirIcon, ""};
    case Icon::add: return {"list-add", "document-new", QStyle::SP_CustomBase, "+"};
    case Icon::wizard: return {"tools-wizard", "applications-science", QStyle::SP_CustomBase, "✦"};
    case Icon::search: return {"edit-find", "system-search", QStyle::SP_FileDialogContentsView, ""};
    case Icon::refresh: return {"view-refresh", "reload", QStyle::SP_BrowserReload, ""};
    case Icon::clearFilter: return {"edit-clear", "window-close", QStyle::SP_DialogResetButton, ""};
    case Icon::emptyList: return {"system-search", "edit-find", QStyle::SP_FileDialogContentsView, ""};
    case Icon::noMatch: return {"edit-clear", "edit-find", QStyle::SP_MessageBoxInformation, ""};
    case Icon::warning: return {"dialog-warning", "emblem-important", QStyle::SP_MessageBoxWarning, ""};
    case Icon::cloud: return {"folder-remote", "network-workgroup", QStyle::SP_DriveNetIcon, ""};
    case Icon::openItem: return {"document-open", "folder-open", QStyle::SP_DialogOpenButton, ""};
    case Icon::showInFileManager: return {"system-file-manager", "folder-open", QStyle::SP_DirOpenIcon, ""};
    case Icon::kindFilter: return {"edit-copy", "text-x-generic", QStyle::SP_FileIcon, ""};
    case Icon::statusFilter: return {"emblem-ok-symbolic", "emblem-default", QStyle::SP_DialogApplyButton, ""};
    case Icon::sizeFilter: return {"document-properties", "zoom-fit-best", QStyle::SP_CustomBase, "⇔"};
    case Icon::starFilter: return {"starred", "emblem-favorite", QStyle::SP_CustomBase, "★"};
    }
    return {"", "", QStyle::SP_FileIcon, ""};
}

QIcon drawnGlyph(const QString& glyph)
{
    QIcon drawn;
    for (const int size : {16, 24, 32, 64}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        QFont font = QApplication::font();
        font.setPixelSize(size * 3 / 4);
        painter.setFont(font);
        painter.setPen(QApplication::palette().color(QPalette::WindowText));
        painter.drawText(pixmap.rect(), Qt::AlignCenter, glyph);
        painter.end();
        drawn.addPixmap(pixmap);
    }
    return drawn;
}

// Without a desktop session Qt knows no theme; the freedesktop default
// theme is the one every Linux desktop ships.
void ensureThemeFallback()
{
    static const bool done = [] {
        if (QIcon::fallbackThemeName().isEmpty() || QIcon::fallbackThemeName() == QLatin1String("hicolor"))
            QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));
        if (QIcon::themeName().isEmpty() || QIcon::themeName() == QLatin1String("hicolor"))
            QIcon::setThemeName(QStringLiteral("Adwaita"));
        return true;
    }();
    (void)done;
}

}  // namespace

QIcon icon(Icon which)
{
    ensureThemeFallback();
    const IconSource s = source(which);
    for (const char* name : {s.themeName, s.secondThemeName}) {
        const QIcon themed = QIcon::fromTheme(QString::fromLatin1(name));
        if (!themed.isNull())
            return themed;
    }
    if (s.standard != QStyle::SP_CustomBase && QApplication::style())
        return QApplication::style()->standardIcon(s.standard);
    return drawnGlyph(QString::fromUtf8(s.glyph));
}

}  // namespace kelvane::ui
