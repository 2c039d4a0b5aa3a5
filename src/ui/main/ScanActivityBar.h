// SPDX-License-Identifier: MIT
#pragma once

#include <QFrame>
#include <QTimer>

#include <memory>

class QLabel;
class QProgressBar;
class QPushButton;

namespace kelvane::operations {
class ScanActivity;
}

namespace kelvane::ui {

// The bar under the table while the registered folders are listed and
// inspected: the phase with its progress, the folder counter, the elapsed
// time (redrawn once a second) and a cancel button.
class ScanActivityBar final : public QFrame {
    Q_OBJECT
public:
    explicit ScanActivityBar(QWidget* parent = nullptr);

    void setActivity(std::shared_ptr<operations::ScanActivity> activity);
    const std::shared_ptr<operations::ScanActivity>& activity() const { return activity_; }

    QString phaseText() const;
    QString folderCounterText() const;
    QString elapsedText() const;

private:
    void refresh();
    void refreshElapsed();

    std::shared_ptr<operations::ScanActivity> activity_;
    QProgressBar* busy_;
    QProgressBar* progress_;
    class ElidedLabel* phase_;
    QLabel* counter_;
    QLabel* elapsed_;
    QPushButton* cancel_;
    QTimer clock_;
};

}  // namespace kelvane::ui
