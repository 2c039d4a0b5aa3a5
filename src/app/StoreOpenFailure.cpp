// SPDX-License-Identifier: MIT
#include "app/StoreOpenFailure.h"

#include "display/VisibleName.h"
#include "store/StoreError.h"

#include <QApplication>
#include <QMessageBox>

#include <memory>

namespace kelvane::app {

QString StoreOpenFailure::message()
{
    return QStringLiteral("Kelvane のデータ（登録項目と履歴）を開けないため、起動できません。");
}

QString StoreOpenFailure::reason(const std::exception& error)
{
    const auto* failure = dynamic_cast<const store::StoreError*>(&error);
    if (!failure)
        return QStringLiteral("データを読み込めませんでした。");
    if (failure->isDiskFull())
        return QStringLiteral("ディスクに空きがないため、データを書き込めません。");
    switch (failure->code()) {
    case store::StoreError::Code::cannotOpen: return QStringLiteral("ファイルまたはフォルダを開けないか、書き込めません。");
    case store::StoreError::Code::notAStore: return QStringLiteral("このファイルは Kelvane のデータではありません。");
    case store::StoreError::Code::newerVersion:
        return QStringLiteral("新しいバージョンの Kelvane で作られたデータです。");
    case store::StoreError::Code::damaged: return QStringLiteral("データが壊れています。");
    case store::StoreError::Code::migrationFailed:
        return QStringLiteral("以前のバージョンのデータを新しい形式に移せませんでした。");
    default: return QStringLiteral("データを読み込めませんでした。");
    }
}

QString StoreOpenFailure::details(const std::filesystem::path& store, const std::exception& error)
{
    return QStringLiteral("場所: ") + display::visibleName(store) + QStringLiteral("\n理由: ") + reason(error) +
           QStringLiteral("\n詳細: ") + display::visibleName(std::string_view(error.what())) +
           QStringLiteral("\n\nファイルは変更も削除もしていません。バックアップから戻すか、"
                          "別の場所へ移してから Kelvane を起動し直してください。");
}

QMessageBox* StoreOpenFailure::makeAlert(const std::filesystem::path& store, const std::exception& error)
{
    auto* alert = new QMessageBox(QMessageBox::Critical, QStringLiteral("Kelvane"), message(), QMessageBox::Ok);
    alert->setObjectName(QStringLiteral("storeOpenFailure"));
    alert->setTextFormat(Qt::PlainText);
    alert->setInformativeText(details(store, error));
    // The path and the reason can be copied into a report.
    alert->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return alert;
}

void StoreOpenFailure::show(const std::filesystem::path& store, const std::exception& error)
{
    const std::unique_ptr<QMessageBox> alert(makeAlert(store, error));
    QObject::connect(alert.get(), &QMessageBox::finished, qApp, [] { QCoreApplication::exit(0); });
    alert->show();
    QApplication::exec();
}

}  // namespace kelvane::app
