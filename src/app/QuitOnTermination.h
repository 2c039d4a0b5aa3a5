#pragma once

#include <QObject>

class QSocketNotifier;

namespace kelvane::app {

// While it lives, SIGTERM, SIGINT and SIGHUP (the session ending, Ctrl+C in a
// terminal) quit the event loop the way closing the window does, so the
// process ends with status 0 after its usual clean-up.
class QuitOnTermination final : public QObject {
    Q_OBJECT
public:
    QuitOnTermination();
    ~QuitOnTermination() override;

private:
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace kelvane::app
