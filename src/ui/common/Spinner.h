// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>

namespace kelvane::ui {

// A small indeterminate spinner turning on the process's one spinner clock.
class Spinner final : public QWidget {
    Q_OBJECT
public:
    explicit Spinner(QWidget* parent = nullptr, int side = 16);

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace kelvane::ui
