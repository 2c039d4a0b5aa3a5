// SPDX-License-Identifier: MIT
#include "operations/sheets/CloudWarningTexts.h"

namespace kelvane::operations {

QString cloudServiceName(CloudService service)
{
    switch (service) {
    case CloudService::iCloudDrive: return QStringLiteral("iCloud Drive");
    case CloudService::dropbox: return QStringLiteral("Dropbox");
    case CloudService::oneDrive: return QStringLiteral("OneDrive");
    case CloudService::googleDrive: return QStringLiteral("Google Drive");
    case CloudService::fileProviderGeneric: return QStringLiteral("クラウドストレージ");
    }
    return QStringLiteral("クラウドストレージ");
}

QString cloudWarningTitle(CloudService service)
{
    return cloudServiceName(service) + QStringLiteral(" 配下を登録しようとしています");
}

}  // namespace kelvane::operations
