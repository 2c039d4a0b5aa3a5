// SPDX-License-Identifier: MIT
#include "volumes/CompressionAvailabilityVerdict.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace kelvane::volumes {

bool CompressionAvailabilityVerdict::isSupportedFileSystem(const std::string& fileSystemType)
{
    std::string type = fileSystemType;
    std::transform(type.begin(), type.end(), type.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return type == "ext4" || type == "xfs" || type == "btrfs";
}

CompressionAvailabilityVerdict::CompressionAvailabilityVerdict(const StorageVolume& volume)
{
    if (volume.kelvanefs) {
        judgeKelvanefs(volume, *volume.kelvanefs);
        return;
    }
    const bool supported = isSupportedFileSystem(volume.fileSystemType);
    const bool capable = volume.capabilities.supportsCompression;

    if (volume.isReadOnly) {
        show("lock.fill", Tint::secondary, "読み取り専用",
             "このボリュームは読み取り専用でマウントされているため、書き込みを伴う圧縮 / 解除は実行できません。");
        return;
    }
    if (capable && supported) {
        show("checkmark.circle.fill", Tint::green, "利用できます",
             volume.formatDescription
                 ? *volume.formatDescription + " 上で decmpfs 透過圧縮が利用可能です。Kelvane から登録 / 圧縮 / 解除を実行できます。"
                 : "decmpfs 透過圧縮が利用可能です。Kelvane から登録 / 圧縮 / 解除を実行できます。");
        if (!volume.isLocal)
            notes.push_back("リモート / ネットワーク FS の可能性。レイテンシ / 同期で剥がれる恐れあり。");
        if (volume.isEjectable)
            notes.push_back("外部メディア。マウント解除でアクセス不可になります。");
        if (volume.isEncrypted)
            notes.push_back("暗号化済み。暗号化レイヤと decmpfs は両立しますが、I/O 速度は実機性能に依存します。");
        return;
    }
    show("xmark.circle.fill", Tint::red, "利用できません",
         "このボリューム（" + volume.formatDescription.value_or(volume.fileSystemType) +
             "）は decmpfs 透過圧縮に対応していません。Kelvane で圧縮 / 解除はできません。");
    if (!supported)
        notes.push_back("対応 FS: ext4 / XFS / Btrfs");
    if (!capable)
        notes.push_back("カーネルが報告する compression capability が無効です。");
}

// A kelvanefs mount is judged by its own state first: what lies below counts
// only while Kelvane can reach it.
void CompressionAvailabilityVerdict::judgeKelvanefs(const StorageVolume& volume, platform::KelvanefsMountHealth health)
{
    using Health = platform::KelvanefsMountHealth;
    const std::string below = volume.formatDescription.value_or(volume.fileSystemType);
    switch (health) {
    case Health::live:
        if (volume.isReadOnly || !isSupportedFileSystem(volume.fileSystemType) || !volume.capabilities.supportsCompression)
            break;
        show("checkmark.circle.fill", Tint::green, "kelvanefs で利用中",
             "kelvanefs がこのフォルダをマウントしています（下の " + below +
             "）。圧縮済みファイルはどのアプリからも元のデータとして読め、Kelvane から登録 / 圧縮 / 解除を実行できます。");
        return;
    case Health::dead:
        show("xmark.circle.fill", Tint::red, "kelvanefs が応答しません",
             "kelvanefs のマウントは残っていますが、kelvanefs が終了しています。このフォルダのファイルはどのアプリからも"
             "読めず、Kelvane も圧縮 / 解除しません。");
        notes.push_back("fusermount3 -u でマウントを外してから、マウントし直してください。");
        return;
    case Health::socketMissing:
        show("exclamationmark.triangle.fill", Tint::orange, "kelvanefs のソケットがありません",
             "kelvanefs は応答していますが、Kelvane が下のフォルダに届くためのソケットが見つかりません。"
             "Kelvane はこのフォルダで圧縮 / 解除しません。");
        notes.push_back("kelvanefs をマウントし直してください。");
        return;
    }
    show("xmark.circle.fill", Tint::red, "利用できません",
         "kelvanefs の下のボリューム（" + below + "）では Kelvane で圧縮 / 解除はできません。");
}

void CompressionAvailabilityVerdict::show(std::string symbolName, Tint tone, std::string heading, std::string text)
{
    symbol = std::move(symbolName);
    tint = tone;
    title = std::move(heading);
    summary = std::move(text);
}

}  // namespace kelvane::volumes
