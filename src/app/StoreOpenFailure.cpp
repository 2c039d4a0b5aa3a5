// SPDX-License-Identifier: MIT
#include "app/StoreOpenFailure.h"

#include <QApplication>
#include <QFile>
#include <QMessageBox>

#include <memory>

namespace kelvane::app {

QString StoreOpenFailure::message()
{
    return QStringLiteral("Kelvane のデータ（登録項目と履歴）を開けないため、起動できません。");
}

QString StoreOpenFailure::details(const std::filesystem::path& store, const std::string& reason)
{
    return QStringLiteral("場所: ") + QFile::decodeName(store.c_str()) + QStringLiteral("\n理由: ")
           + QString::fromStdString(reason)
           + QStringLiteral("\n\nファイルは変更も削除もしていません。バックアップから戻すか、"
                            "別の場所へ移してから Kelvane を起動し直してください。");
}

QMessageBox* StoreOpenFailure::makeAlert(const std::filesystem::path& store, const std::string& reason)
{
    auto* alert = new QMessageBox(QMessageBox::Critical, QStringLiteral("Kelvane"), message(), QMessageBox::Ok);
    alert->setObjectName(QStringLiteral("storeOpenFailure"));
    alert->setTextFormat(Qt::PlainText);
    alert->setInformativeText(details(store, reason));
    // The path and the reason can be copied into a report.
    alert->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return alert;
}

void StoreOpenFailure::show(const std::filesystem::path& store, const std::string& reason)
{
    const std::unique_ptr<QMessageBox> alert(makeAlert(store, reason));
    QObject::connect(alert.get(), &QMessageBox::finished, qApp, [] { QCoreApplication::exit(0); });
    alert->show();
    QApplication::exec();
}

}  // namespace kelvane::app
