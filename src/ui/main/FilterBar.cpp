// SPDX-License-Identifier: MIT
#include "ui/main/FilterBar.h"

#include "operations/windows/MainWindowModel.h"
#include "ui/common/Symbols.h"

#include <QActionGroup>
#include <QHBoxLayout>
#include <QMenu>
#include <QToolButton>

#include <functional>
#include <vector>

namespace kelvane::ui {

using operations::MainWindowModel;

namespace {

QString text(std::string_view utf8) { return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())); }

struct Option {
    QString name;  // the menu item's object name
    QString text;
    std::function<void()> choose;
    std::function<bool()> chosen;
};

QToolButton* makeMenuButton(const char16_t* symbol, const QString& pickerTitle, const QString& help, std::vector<Option> options,
                            QWidget* parent)
{
    auto* button = new QToolButton(parent);
    button->setIcon(symbolIcon(symbol));
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setPopupMode(QToolButton::InstantPopup);
    button->setToolTip(help);
    auto* menu = new QMenu(button);
    menu->addSection(pickerTitle);
    auto* group = new QActionGroup(menu);
    group->setExclusive(true);
    for (Option& option : options) {
        QAction* action = menu->addAction(option.text);
        action->setObjectName(option.name);
        action->setCheckable(true);
        group->addAction(action);
        QObject::connect(action, &QAction::triggered, action, [choose = option.choose] { choose(); });
        QObject::connect(menu, &QMenu::aboutToShow, action,
                         [action, chosen = option.chosen] { action->setChecked(chosen()); });
    }
    button->setMenu(menu);
    return button;
}

}  // namespace

QString FilterBar::minStarsLabel(int minStars)
{
    switch (minStars) {
    case 0: return QStringLiteral("期待度");
    case 1: return QStringLiteral("期待度: ★ 以上");
    case 2: return QStringLiteral("期待度: ★★ 以上");
    case 3: return QStringLiteral("期待度: ★★★ 以上");
    case 4: return QStringLiteral("期待度: ★★★★ 以上");
    case 5: return QStringLiteral("期待度: ★★★★★");
    default: return QStringLiteral("期待度: 全て");
    }
}

FilterBar::FilterBar(MainWindowModel& model, QWidget* parent) : QWidget(parent), model_(model)
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(4);

    std::vector<Option> kinds;
    for (const auto value : operations::allKindFilters)
        kinds.push_back({text(rawValue(value)), text(label(value)), [this, value] { model_.setKindFilter(value); },
                         [this, value] { return model_.kindFilter() == value; }});
    kind_ = makeMenuButton(u"doc.on.doc", QStringLiteral("種類"),
                           QStringLiteral("ファイルとフォルダの表示を切り替えます。"), std::move(kinds), this);

    std::vector<Option> states;
    for (const auto value : operations::allCompressionStatusFilters)
        states.push_back({text(rawValue(value)), text(label(value)), [this, value] { model_.setStatusFilter(value); },
                          [this, value] { return model_.statusFilter() == value; }});
    status_ = makeMenuButton(u"checkmark.circle", QStringLiteral("状態"),
                             QStringLiteral("圧縮済み / 未圧縮 / 圧縮不可 / 検査エラーなどの状態で絞り込みます。"),
                             std::move(states), this);

    std::vector<Option> sizes;
    for (const auto value : operations::allSizeRangeFilters)
        sizes.push_back({text(rawValue(value)), text(label(value)), [this, value] { model_.setSizeFilter(value); },
                         [this, value] { return model_.sizeFilter() == value; }});
    size_ = makeMenuButton(
        u"ruler", QStringLiteral("サイズ"),
        QStringLiteral("ファイルサイズの範囲で絞り込みます。大きいファイルだけ対象にしたいときに便利です。"),
        std::move(sizes), this);

    const QString starOptions[] = {QStringLiteral("全て表示"),        QStringLiteral("★ 以上"),
                                   QStringLiteral("★★ 以上"),       QStringLiteral("★★★ 以上"),
                                   QStringLiteral("★★★★ 以上"),     QStringLiteral("★★★★★ のみ")};
    std::vector<Option> stars;
    for (int value = 0; value <= 5; ++value)
        stars.push_back({QStringLiteral("stars%1").arg(value), starOptions[value], [this, value] { model_.setMinStars(value); },
                         [this, value] { return model_.minStars() == value; }});
    stars_ = makeMenuButton(u"star", QStringLiteral("最低期待度"),
                            QStringLiteral("拡張子から推定した圧縮効果の期待度（★の数）で絞り込みます。★が多いほど削減量が大きく見込めます。"),
                            std::move(stars), this);

    clear_ = new QToolButton(this);
    clear_->setObjectName(QStringLiteral("clearFilters"));
    clear_->setText(QStringLiteral("フィルタ解除"));
    clear_->setIcon(symbolIcon(u"xmark.circle"));
    clear_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    clear_->setToolTip(QStringLiteral("全てのフィルタをクリア"));
    connect(clear_, &QToolButton::clicked, this, &FilterBar::clearAllFilters);

    for (QToolButton* button : {kind_, status_, size_, stars_, clear_})
        row->addWidget(button);

    connect(&model_, &MainWindowModel::filtersChanged, this, &FilterBar::refresh);
    refresh();
}

void FilterBar::clearAllFilters()
{
    model_.setKindFilter(operations::KindFilter::all);
    model_.setStatusFilter(operations::CompressionStatusFilter::all);
    model_.setSizeFilter(operations::SizeRangeFilter::all);
    model_.setMinStars(0);
    model_.setSearchQuery({});
}

void FilterBar::refresh()
{
    using namespace operations;
    kind_->setText(model_.kindFilter() == KindFilter::all ? QStringLiteral("種類")
                                                           : QStringLiteral("種類: ") + text(label(model_.kindFilter())));
    status_->setText(model_.statusFilter() == CompressionStatusFilter::all
                         ? QStringLiteral("状態")
                         : QStringLiteral("状態: ") + text(label(model_.statusFilter())));
    size_->setText(model_.sizeFilter() == SizeRangeFilter::all ? QStringLiteral("サイズ")
                                                                : QStringLiteral("サイズ: ") + text(label(model_.sizeFilter())));
    stars_->setText(minStarsLabel(model_.minStars()));
    clear_->setVisible(model_.filters().isActive());
}

}  // namespace kelvane::ui
