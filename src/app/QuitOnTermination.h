// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace kelvane::app {

// While it lives, SIGTERM, SIGINT and SIGHUP (the session ending, systemctl
// stop, Ctrl+C in a terminal) end the application whatever its windows are
// showing: no window or sheet can refuse it. The first signal runs
// `windDown`, which calls `finished` once the application may go (a running
// bulk run has ended and saved its batch); then the event loop is left with
// status 0. A second signal leaves it at once.
class QuitOnTermination final : public QObject {
    Q_OBJECT
public:
    using WindDown = std::function<void(std::function<void()> finished)>;

    explicit QuitOnTermination(WindDown windDown = {});
    ~QuitOnTermination() override;

private:
    void terminationRequested();

    QSocketNotifier* notifier_ = nullptr;
    WindDown windDown_;
    bool windingDown_ = false;
};

}  // namespace kelvane::app
