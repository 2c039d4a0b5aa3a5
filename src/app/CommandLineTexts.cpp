// SPDX-License-Identifier: MIT
#include "app/CommandLineTexts.h"

#include "app/RunMode.h"

#include <cerrno>
#include <unistd.h>

namespace kelvane::app {

// Every line is printed exactly as written here, alignment included. The
// commands are the ones a Linux shell runs: the program's own name, and in the
// cron example its installed path, since cron runs with a bare PATH.
std::string CommandLineHelp::helpText(const std::filesystem::path& executable)
{
    const std::string program = executable.empty() ? std::string("kelvane") : executable.string();
    return R"HELP(Kelvane — ファイルをその場で decmpfs 形式 (LZFSE) に圧縮・解除する GUI アプリ

使い方:
  kelvane                     通常 GUI を起動
  kelvane --auto-recompress   登録済み項目を一括再圧縮して終了
  kelvane --help              この使い方を表示
  kelvane --version           バージョン情報を表示
  それ以外の引数は標準エラーに名前を書いて無視します。

cron / systemd タイマー で定期実行する例:
  0 3 * * 0 )HELP" + program + R"HELP( --auto-recompress
  （毎週日曜 3:00 に登録済み項目を再圧縮）

詳細:
  --auto-recompress
    登録済みファイル / フォルダを順次走査し、未圧縮かつサイズ条件を満たす
    ファイルを LZFSE で圧縮します。完了するとアプリは自動終了します。
    2 GB 以上のファイル（decmpfs 形式の上限を超えるもの）はスキップされます。
    失敗したファイルは 1 件ごとにパスと理由を標準エラーに書きます。

    編集中ファイル保護:
      直近 30 分以内に更新されたファイルはバックグラウンド圧縮の対象から
      自動的に外します。これは「アプリでファイルを開いて編集中」のケースで
      ユーザーの未保存変更が巻き戻されるのを防ぐためです(一般的なアプリは
      flock を使わないため、修正時刻ベースで保守的にガードしています)。
      長時間開いて時々保存するワークフローでも、保存後 30 分間は触らない
      安全マージンを取っています。

終了コード:
  0  正常完了
  1  圧縮に失敗したファイルがある、ストアを開けない・読めない、
     またはディスプレイがないのにウィンドウを開こうとした
)HELP";
}

std::string unrecognisedArgumentText(std::string_view argument)
{
    std::string text = "Kelvane: 不明な引数「" + std::string(argument) + "」を無視します";
    if (const auto meant = RunMode::likelyMeant(argument))
        text += "（" + std::string(*meant) + " のことですか？）";
    return text + "\n";
}

std::string CommandLineVersion::versionText(const BundleInfo& info)
{
    return "Kelvane " + info.shortVersion.value_or("0.0.0") + " (build " + info.buildNumber.value_or("0")
           + ")\n";
}

namespace {

bool writeAll(int fd, std::string_view text)
{
    while (!text.empty()) {
        const ssize_t written = ::write(fd, text.data(), text.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        text.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

}  // namespace

bool writeToStandardOutput(std::string_view text)
{
    return writeAll(STDOUT_FILENO, text);
}

bool writeToStandardError(std::string_view text)
{
    return writeAll(STDERR_FILENO, text);
}

}  // namespace kelvane::app
