// SPDX-License-Identifier: MIT
#include "ui/common/MenuCommands.h"

#include "ui/common/Shell.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QUrl>

namespace kelvane::ui {

QString menuCommandName(MenuCommand command)
{
    const char* suffix = "";
    switch (command) {
    case MenuCommand::openAddPanel: suffix = "openAddPanel"; break;
    case MenuCommand::openWizard: suffix = "openWizard"; break;
    case MenuCommand::openSearch: suffix = "openSearch"; break;
    case MenuCommand::refreshAll: suffix = "refreshAll"; break;
    case MenuCommand::openStorageStatus: suffix = "openStorageStatus"; break;
    case MenuCommand::openLogScreen: suffix = "openLogScreen"; break;
    case MenuCommand::openAbout: suffix = "openAbout"; break;
    }
    return QStringLiteral("com.orbwright.kelvane.command.") + QLatin1String(suffix);
}

MenuCommandCenter& MenuCommandCenter::shared()
{
    static MenuCommandCenter* center = new MenuCommandCenter;
    return *center;
}

void MenuCommandCenter::post(MenuCommand command) { emit posted(command); }

MenuCommandReceiver::MenuCommandReceiver(Callbacks callbacks, QObject* owner)
    : QObject(owner), callbacks_(std::move(callbacks))
{
    connect(&MenuCommandCenter::shared(), &MenuCommandCenter::posted, this, [this](MenuCommand command) {
        if (handles(command))
            callbacks_.at(command)();
    });
}

bool MenuCommandReceiver::handles(MenuCommand command) const
{
    const auto it = callbacks_.find(command);
    return it != callbacks_.end() && it->second;
}

namespace {

QAction* addCommand(QMenu* menu, const MenuCommandReceiver& receiver, MenuCommand command, const QString& title,
                    const QKeySequence& shortcut = {})
{
    if (!receiver.handles(command))
        return nullptr;
    QAction* action = menu->addAction(title);
    action->setShortcut(shortcut);
    action->setObjectName(menuCommandName(command));
    QObject::connect(action, &QAction::triggered, action, [command] { MenuCommandCenter::shared().post(command); });
    return action;
}

void addSeparatorBetween(QMenu* menu)
{
    if (!menu->actions().isEmpty() && !menu->actions().last()->isSeparator())
        menu->addSeparator();
}

}  // namespace

void populateMenuBar(QMenuBar* bar, const MenuCommandReceiver& receiver, Shell& shell, std::function<void()> quit,
                     std::function<void()> openSettings)
{
    QMenu* file = bar->addMenu(QStringLiteral("ファイル(&F)"));
    addCommand(file, receiver, MenuCommand::openAddPanel, QStringLiteral("ファイル / フォルダを追加(&A)…"),
               QKeySequence(Qt::CTRL | Qt::Key_O));
    addCommand(file, receiver, MenuCommand::openWizard, QStringLiteral("容量解放ウィザード(&W)…"),
               QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_W));
    addSeparatorBetween(file);
    addCommand(file, receiver, MenuCommand::openSearch, QStringLiteral("条件で検索(&F)…"), QKeySequence(Qt::CTRL | Qt::Key_F));
    addCommand(file, receiver, MenuCommand::refreshAll, QStringLiteral("一覧を更新(&R)"), QKeySequence(Qt::CTRL | Qt::Key_R));
    addSeparatorBetween(file);
    if (openSettings) {
        // The settings window is not a window command: it opens without a main window too.
        QAction* settings = file->addAction(QStringLiteral("設定(&S)…"));
        settings->setObjectName(QStringLiteral("settings"));
        settings->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
        settings->setMenuRole(QAction::PreferencesRole);
        QObject::connect(settings, &QAction::triggered, settings, [openSettings = std::move(openSettings)] {
            openSettings();
        });
    }
    QAction* quitAction = file->addAction(QStringLiteral("終了(&Q)"));
    quitAction->setObjectName(QStringLiteral("quit"));
    quitAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    quitAction->setMenuRole(QAction::QuitRole);
    QObject::connect(quitAction, &QAction::triggered, quitAction, [quit = std::move(quit)] {
        if (quit)
            quit();
    });

    if (receiver.handles(MenuCommand::openStorageStatus) || receiver.handles(MenuCommand::openLogScreen)) {
        QMenu* info = bar->addMenu(QStringLiteral("情報(&I)"));
        addCommand(info, receiver, MenuCommand::openStorageStatus, QStringLiteral("ストレージ詳細(&S)…"),
                   QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_I));
        addCommand(info, receiver, MenuCommand::openLogScreen, QStringLiteral("履歴ログ(&L)…"),
                   QKeySequence(Qt::CTRL | Qt::Key_L));
    }

    QMenu* help = bar->addMenu(QStringLiteral("ヘルプ(&H)"));
    addCommand(help, receiver, MenuCommand::openAbout, QStringLiteral("Kelvane について(&A)"));
    if (QAction* usage = addCommand(help, receiver, MenuCommand::openAbout, QStringLiteral("Kelvane の使い方を見る(&U)"),
                                    QKeySequence(Qt::CTRL | Qt::Key_Question)))
        usage->setObjectName(usage->objectName() + QStringLiteral(".usage"));
    addSeparatorBetween(help);
    QAction* report = help->addAction(QStringLiteral("不具合 / 機能要望を送る(&R)…"));
    report->setObjectName(QStringLiteral("supportPage"));
    QObject::connect(report, &QAction::triggered, report, [&shell] {
        const QUrl url(QString::fromLatin1(supportPageUrl));
        if (url.isValid())
            shell.openUrl(url);
    });
}

}  // namespace kelvane::ui
