// SPDX-License-Identifier: MIT
#include "ui/sheets/NoticesSheet.h"

#include "operations/threads/WorkerJobs.h"
#include "ui/common/Shell.h"
#include "ui/common/Symbols.h"
#include "ui/common/PageParts.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QStringDecoder>
#include <QVBoxLayout>

// Outside any namespace, as the resource compiler asks.
static void initNoticesResource()
{
    Q_INIT_RESOURCE(kelvane);
}

namespace kelvane::ui {

QString NoticesSheet::defaultFile()
{
    static const bool ready = (initNoticesResource(), true);
    (void)ready;
    return QStringLiteral(":/NOTICES.txt");
}

QString NoticesSheet::loadNotices(const QString& file)
{
    QFile in(file);
    if (!in.exists())
        return QStringLiteral("NOTICES.txt がアプリバンドル内に見つかりません。");
    if (!in.open(QIODevice::ReadOnly))
        return QStringLiteral("NOTICES.txt の読み込みに失敗しました: ") + in.errorString();
    const QByteArray bytes = in.readAll();
    if (in.error() != QFileDevice::NoError)
        return QStringLiteral("NOTICES.txt の読み込みに失敗しました: ") + in.errorString();
    // Verbatim: a byte-order mark stays, and any byte that is not UTF-8
    // rejects the whole file rather than showing replacement characters.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return QStringLiteral("NOTICES.txt の読み込みに失敗しました: ")
               + QStringLiteral("ファイルの内容が UTF-8 のテキストとして正しくありません。");
    return text;
}

NoticesSheet::NoticesSheet(Shell& shell, QWidget* parent, QString file)
    : QDialog(parent), shell_(shell), content_(QStringLiteral("読み込み中…"))
{
    setWindowTitle(QStringLiteral("ライセンス情報 / NOTICES"));
    setWindowModality(Qt::WindowModal);
    setMinimumSize(600, 480);
    resize(720, 600);

    auto* layout = new QVBoxLayout(this);
    text_ = new QPlainTextEdit;
    text_->setReadOnly(true);
    text_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPointSizeF(page::font(page::FontRole::callout).pointSizeF());
    text_->setFont(mono);
    text_->document()->setDocumentMargin(20);
    text_->setPlainText(content_);
    layout->addWidget(text_);

    auto* buttons = new QDialogButtonBox;
    QPushButton* copy = buttons->addButton(QStringLiteral("コピー"), QDialogButtonBox::ActionRole);
    copy->setIcon(ui::symbolIcon(QStringLiteral("doc.on.doc")));
    copy->setToolTip(QStringLiteral("全文をクリップボードにコピー"));
    copy->setAutoDefault(false);
    QPushButton* close = buttons->addButton(QStringLiteral("閉じる"), QDialogButtonBox::RejectRole);
    close->setAutoDefault(false);
    connect(copy, &QPushButton::clicked, this, [this] { shell_.setClipboardText(content_); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    QPointer<NoticesSheet> self(this);
    operations::runOnWorkers<QString>({[file] { return loadNotices(file); }}, [self](std::vector<QString> results) {
        if (self && !results.empty())
            self->setContent(results.front());
    });
}

void NoticesSheet::setContent(const QString& text)
{
    content_ = text;
    text_->setPlainText(text);
    emit loaded();
}

}  // namespace kelvane::ui
