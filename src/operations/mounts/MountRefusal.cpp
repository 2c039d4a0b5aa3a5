// SPDX-License-Identifier: MIT
#include "operations/mounts/MountRefusal.h"

namespace kelvane::operations {

std::string MountRefusal::text() const
{
    const std::string path = folder.string();
    std::string text;
    switch (kind) {
    case Kind::folderMissing:
        text = "フォルダが見つかりません（移動または削除された可能性があります）: " + path;
        break;
    case Kind::rootFolder:
        text = "ルートフォルダ (/) には kelvanefs をマウントできません。中のフォルダを個別に登録してください。";
        break;
    case Kind::homeFolder:
        text = "ホームフォルダとその上のフォルダには kelvanefs をマウントできません（ホーム全体が kelvanefs を通ることになります）。"
               "中のフォルダを個別に登録してください: " + path;
        break;
    case Kind::fuseDeviceMissing:
        text = "FUSE のデバイスがないため、kelvanefs をマウントできません（fuse3 パッケージとカーネルの FUSE が必要です）";
        break;
    case Kind::fuseDeviceDenied:
        text = "このユーザーには FUSE のデバイスを使う権限がないため、kelvanefs をマウントできません";
        break;
    case Kind::fusermountMissing:
        text = "fusermount3 がないため、kelvanefs をマウントできません（fuse3 パッケージが必要です）";
        break;
    case Kind::fusermountFails:
        text = "fusermount3 が動作しないため、kelvanefs をマウントできません";
        break;
    case Kind::otherUsersMount:
        text = "ほかのユーザーの kelvanefs マウントの中にあるため、マウントできません: " + path;
        break;
    case Kind::unreachable:
        text = "kelvanefs のマウントに Kelvane から届きません: " + path;
        break;
    case Kind::deadMountStays:
        text = "止まった kelvanefs のマウントを外せません: " + path;
        break;
    case Kind::mountFailed:
        text = "kelvanefs をマウントできませんでした: " + path;
        break;
    case Kind::busy:
        text = "ほかの Kelvane がこのフォルダをマウント中のまま応答しません: " + path;
        break;
    }
    if (!detail.empty())
        text += "\n詳細: " + detail;
    return text;
}

std::string MountRefusal::registrationNotice() const
{
    return "登録しました。ただし kelvanefs をマウントできないため、ここのファイルは圧縮しません。\n理由: " + text();
}

}  // namespace kelvane::operations
