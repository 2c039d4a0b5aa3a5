// SPDX-License-Identifier: MIT
#include "operations/folders/ScanActivityTexts.h"

#include "display/VisibleName.h"
#include <QLocale>

namespace kelvane::operations {

QString ScanActivityTexts::phaseText(const ScanActivity& activity)
{
    const QLocale locale;
    const QString name = display::visibleName(activity.folderName());
    if (const auto* e = std::get_if<ScanActivity::Enumerating>(&activity.phase()))
        return QStringLiteral("「") + name + QStringLiteral("」の中身を確認中… ") + locale.toString(e->found) +
               QStringLiteral(" 件");
    const auto& i = std::get<ScanActivity::Inspecting>(activity.phase());
    return QStringLiteral("「") + name + QStringLiteral("」の圧縮状態を取得中… ") + locale.toString(i.done) +
           QStringLiteral(" / ") + locale.toString(i.total);
}

QString ScanActivityTexts::folderCounterText(const ScanActivity& activity)
{
    if (activity.folderTotal() < 2)
        return {};
    return QStringLiteral("（フォルダ ") + QString::number(activity.folderIndex()) + QStringLiteral("/") +
           QString::number(activity.folderTotal()) + QStringLiteral("）");
}

QString ScanActivityTexts::elapsedText(ScanActivity::Clock::time_point startedAt, ScanActivity::Clock::time_point now)
{
    long long s = std::chrono::duration_cast<std::chrono::seconds>(now - startedAt).count();
    if (s < 0)
        s = 0;
    if (s <= 59)
        return QStringLiteral("経過 ") + QString::number(s) + QStringLiteral(" 秒");
    return QStringLiteral("経過 ") + QString::number(s / 60) + QStringLiteral(" 分 ") + QString::number(s % 60) +
           QStringLiteral(" 秒");
}

QString ScanActivityTexts::cancelButtonTitle() { return QStringLiteral("キャンセル"); }

QString ScanActivityTexts::cancelHelpText()
{
    return QStringLiteral("スキャンを中断します。ここまでに取得した内容はそのまま表示され、⌘R でいつでも再開できます。");
}

}  // namespace kelvane::operations
