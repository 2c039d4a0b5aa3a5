// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QString>

#include <array>
#include <functional>
#include <map>

class QMenuBar;

namespace kelvane::ui {

class Shell;

// The menu bar's commands. A menu item never calls into a window: it posts
// the command, and whichever main window is listening reacts.
enum class MenuCommand { openAddPanel, openWizard, openSearch, refreshAll, openStorageStatus, openLogScreen, openAbout };

inline constexpr std::array<MenuCommand, 7> allMenuCommands{
    MenuCommand::openAddPanel,      MenuCommand::openWizard,    MenuCommand::openSearch, MenuCommand::refreshAll,
    MenuCommand::openStorageStatus, MenuCommand::openLogScreen, MenuCommand::openAbout};

// "com.orbwright.kelvane.command.openAddPanel" and so on: the object name of
// the command's menu items.
QString menuCommandName(MenuCommand command);

// The process's one post office for menu commands (main thread).
class MenuCommandCenter final : public QObject {
    Q_OBJECT
public:
    static MenuCommandCenter& shared();
    void post(MenuCommand command);

signals:
    void posted(kelvane::ui::MenuCommand command);

private:
    MenuCommandCenter() = default;
};

// A window's subscription to the commands: each arriving command calls its
// callback once. The subscription ends with the receiver's owner.
class MenuCommandReceiver final : public QObject {
    Q_OBJECT
public:
    // Each command's callback, keyed by the command itself, so a new
    // command needs no list of its own here and a callback cannot land in
    // another's place. A command without one (or with an empty one) has no
    // part in the window.
    using Callbacks = std::map<MenuCommand, std::function<void()>>;
    MenuCommandReceiver(Callbacks callbacks, QObject* owner);

    // Whether a command has somewhere to go in this window.
    bool handles(MenuCommand command) const;

private:
    Callbacks callbacks_;
};

// The maker's page for reports and requests, opened by the last Help item.
inline constexpr const char* supportPageUrl = "https://orbwright.com/kelvane/support/";
inline constexpr const char* webSiteUrl = "https://orbwright.com/kelvane/";

// Fills a window's menu bar. Only commands that `receiver` handles get an
// item: a menu item whose window part is not there is not shown; so is
// "設定…" without `openSettings`.
void populateMenuBar(QMenuBar* bar, const MenuCommandReceiver& receiver, Shell& shell, std::function<void()> quit,
                     std::function<void()> openSettings = {});

}  // namespace kelvane::ui
