// SPDX-License-Identifier: MIT
#pragma once

#include <QDialog>
#include <QString>

class QPlainTextEdit;

namespace kelvane::ui {

class Shell;

// The open-source notices shipped with the program ("NOTICES.txt"), shown as
// they are, with a button that copies the whole text. A window-modal sheet:
// show it with open().
class NoticesSheet final : public QDialog {
    Q_OBJECT
public:
    // The notices built into the program.
    static QString defaultFile();

    NoticesSheet(Shell& shell, QWidget* parent, QString file = defaultFile());

    // The text shown and copied: "読み込み中…" until the file has been read.
    QString content() const { return content_; }

    // The file's text, strictly UTF-8, or the message that replaces it.
    static QString loadNotices(const QString& file);

signals:
    void loaded();

private:
    void setContent(const QString& text);

    Shell& shell_;
    QString content_;
    QPlainTextEdit* text_ = nullptr;
};

}  // namespace kelvane::ui
