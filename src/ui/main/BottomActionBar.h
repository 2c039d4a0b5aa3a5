// SPDX-License-Identifier: MIT
#pragma once

#include <QFrame>

#include <cstdint>

class QHBoxLayout;
class QLabel;
class QPushButton;
class QToolButton;
class QWidget;

namespace kelvane::ui {

// The figures the bottom bar shows; the main window computes them.
struct BottomActionBarValues {
    long long selectionCount = 0;
    long long compressableCount = 0;
    long long decompressableCount = 0;
    long long oversizedSelectedCount = 0;
    std::int64_t currentReduction = 0;
    long long compressedFileCount = 0;
    bool canSelectAll = false;
    bool operator==(const BottomActionBarValues&) const = default;
};

// The strip under the table: the bytes the shown compressed files save, a
// hint or the selection's summary with its files too large to compress, and
// the select-all, bulk compress, bulk decompress and clear buttons. It shows
// what it is given and reports the buttons; it does nothing itself.
class BottomActionBar final : public QFrame {
    Q_OBJECT
public:
    explicit BottomActionBar(QWidget* parent = nullptr);

    void setValues(const BottomActionBarValues& values);
    const BottomActionBarValues& values() const { return values_; }

    QPushButton* selectAllButton() const { return selectAll_; }
    QPushButton* compressButton() const { return compress_; }
    QPushButton* decompressButton() const { return decompress_; }
    QToolButton* clearButton() const { return clear_; }

signals:
    void selectAllRequested();
    void compressRequested();
    void decompressRequested();
    void clearRequested();

private:
    QWidget* buildReduction();
    void buildSelectionSummary(QHBoxLayout* row);
    void buildButtons(QHBoxLayout* row);
    void apply(const BottomActionBarValues& values);

    BottomActionBarValues values_;
    QLabel* reduction_;
    QLabel* fileCount_;
    QLabel* hint_;
    QWidget* selectionBox_;
    QLabel* selection_;
    QWidget* oversizedBox_;
    QLabel* oversized_;
    QPushButton* selectAll_;
    QPushButton* compress_;
    QPushButton* decompress_;
    QToolButton* clear_;
};

}  // namespace kelvane::ui
