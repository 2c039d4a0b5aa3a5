// SPDX-License-Identifier: MIT
#include "ui/windows/AboutTexts.h"

namespace kelvane::ui::about {

namespace {

ExplainerBlock section(const char* title, const char* symbol)
{
    return {ExplainerBlock::section, QString::fromUtf8(title), QString::fromUtf8(symbol)};
}
ExplainerBlock subsection(const char* title, const char* symbol)
{
    return {ExplainerBlock::subsection, QString::fromUtf8(title), QString::fromUtf8(symbol)};
}
ExplainerBlock text(const char* markdown, TextStyle style = TextStyle::body)
{
    return {ExplainerBlock::paragraph, QString::fromUtf8(markdown), {}, style};
}
ExplainerBlock text(const QString& markdown)
{
    return {ExplainerBlock::paragraph, markdown, {}, TextStyle::body};
}
ExplainerBlock rule()
{
    return {ExplainerBlock::divider, {}, {}};
}

constexpr TextStyle secondary = TextStyle::secondary;
constexpr TextStyle calloutSecondary = TextStyle::calloutSecondary;

}  // namespace

QString linuxReadingNote()
{
    return QStringLiteral("Linux では、Kelvane が登録したフォルダに kelvanefs を自動でマウントするので、圧縮済みファイルはどのアプリからも元のデータとして読めます。"
                          "マウントできない場所では圧縮しません（理由はメイン画面に表示されます）。");
}

const std::vector<ExplainerBlock>& explainerBlocks()
{
    static const std::vector<ExplainerBlock> blocks{
        section("透過圧縮ってなに？", "sparkles"),
        text("ひとことで言うと「**ファイルを zip にしないまま、内部だけこっそり縮める**」仕組みです。"),
        text("普通の zip 圧縮と違い、ファイル名 / 場所 / 開き方は **何も変わりません**:\n"
             "・ファイルマネージャではいつも通りのファイルとして表示されます\n"
             "・ダブルクリックすればいつも通り開けます\n"
             "・アプリ側の対応も必要ありません\n"
             "それでいて、ディスクが実際に使っている容量だけが小さくなります。"),
        text("データは読み出されるときにだけ macOS が自動で展開するので、ユーザーもアプリも圧縮に気付きません。"
             "これが「**透過**」圧縮と呼ばれる理由です。"),
        text(linuxReadingNote()),
        rule(),
        section("何が嬉しいの？", "gift.fill"),
        text("**例**: 1 GB のソースコードリポジトリを圧縮すると、ディスク占有が 200〜400 MB に減ります。"
             "プロジェクトを開くのも、git を使うのも、編集するのもこれまで通り。空き容量だけが増えます。"),
        text("Apple 自身もこの仕組みを macOS のシステムバイナリに使っており、新しい Mac の起動が速い理由のひとつにも"
             "数えられています。"),
        rule(),
        section("何ができないの？", "questionmark.bubble.fill"),
        text("透過圧縮は **そのローカルディスク上だけ** で効きます。"
             "ファイルを人に送る、外付けディスクや USB メモリにコピーする、クラウド（Dropbox / iCloud Drive）に同期する"
             "――こうしてできたコピーは、圧縮されていない普通のフルサイズのファイルになります。"
             "あくまで自分のディスクの空き容量を増やすための機能です。"),
        rule(),
        section("書き込みで圧縮は剥がれます", "arrow.up.doc.fill"),
        text("圧縮済みのファイルを書き換えると、新しい内容は圧縮されないまま書き込まれ、ファイルは元のサイズに戻ります。"
             "読み込むだけなら圧縮が剥がれることはありません。"),
        text("剥がれる代表的なケース:\n"
             "・エディタで編集して保存した\n"
             "・再ビルドでビルド成果物のフォルダが更新された\n"
             "・iPhone のバックアップが新しく作られた\n"
             "・ログファイルのように、アプリがファイルに追記した"),
        text("**定期的にアプリを起動して確認するのがおすすめです。**"
             "ツールバーの「更新」（Ctrl+R）で登録済みの全項目を再スキャンすると、圧縮が剥がれたファイルを見つけて"
             "もう一度圧縮できます。"),
        text("Kelvane は登録から 30 日（約 1 ヶ月）以上アプリを起動していないと、通知でリマインドします"
             "（設定で OFF にできます）。月 1 回のメンテナンスのリズムにちょうど合う間隔です。",
             secondary),
        rule(),
        section("どんなファイルに効くの？", "list.bullet"),
        text("• テキスト系 / ソースコード — 60〜90% 縮みます（★★★★★）\n"
             "• 実行ファイル / バイナリ — 30〜50%（★★★★）\n"
             "• 画像原本（PSD 等）— 30〜70%（★★★）\n"
             "• PDF / Office 文書 — 0〜10%（★★、効果薄）\n"
             "• JPG / PNG / 動画 / ZIP — 既に圧縮済みなので、ほぼ縮みません（★）"),
        text("Kelvane は拡張子から推定した「期待度」を★の数で表示するので、効果が見込めるファイルだけを選んで"
             "圧縮できます。",
             secondary),
        rule(),
        section("読み込み速度は遅くならない？", "speedometer"),
        text("結論: ほとんど変わりません。むしろ速くなることもあります。"),
        text("・ディスクから読むバイト数が減るので、入出力の時間が短くなります\n"
             "・Apple Silicon の展開速度は 1 GB/s 超で、SSD の帯域に近い\n"
             "・メモリ上のキャッシュにより多くのデータが収まります"),
        text("実測では HDD で 5〜15% 高速化、NVMe SSD では ±数 % に収まります。"),
        text("ただし JPG / MP4 / ZIP のような既に圧縮済みのファイルは、縮まないのに展開の手間だけがかかり、"
             "CPU 時間の純粋な損になります。期待度「★1」の表示はそれを見分けるためのものです。",
             secondary),
        rule(),
        section("クラウド同期フォルダは要注意", "icloud.slash.fill"),
        text("Dropbox / iCloud Drive / OneDrive の中のフォルダを登録しようとすると警告が表示されます。"
             "クラウド上のコピーは圧縮されないので **クラウド容量は減らず**、同期でファイルが書き戻されると圧縮も"
             "剥がれます。ローカル専用のフォルダで使うことをおすすめします。"),
        rule(),
        section("対象外", "nosign"),
        text("次のものは圧縮しません:\n"
             "・ハードリンクされたファイル（他の参照先にも影響するため）\n"
             "・シンボリックリンク（リンク自体が圧縮ファイルに置き換わってしまうため）\n"
             "・使用中のファイル（編集中のものや、ログとして書き込み中のもの）\n"
             "・4 KB 未満の極小ファイル（圧縮しても効果が無く、確実に失敗するため）\n"
             "・ext4 / XFS / Btrfs 以外のファイルシステム（FAT、exFAT、ネットワークファイルシステムなど）"),
        text("これらは一覧画面でも「◌ 圧縮不可」として表示され、フォルダの「未圧縮」カウントには含まれません。"
             "リンク先を圧縮したいときは、リンク先のファイルやフォルダそのものを登録してください。",
             calloutSecondary),
        rule(),
        section("安全性", "checkmark.shield.fill"),
        text("Kelvane はユーザーのファイルが壊れることを最優先で防ぎます。以下の安全装置を組み合わせて動作します。"),
        subsection("クラッシュしても壊れない", "arrow.triangle.2.circlepath"),
        text("圧縮・解除でファイルをその場で書き換えることはありません。結果はいったん別の作業ファイルに書き出し、"
             "完成してから一度に元のファイルと置き換えます。途中でクラッシュや停電が起きても、ファイルは元のままです。"),
        subsection("圧縮データの整合性検証", "checkmark.seal.fill"),
        text("圧縮した直後に、そのデータをメモリ上でもう一度展開し、元のバイト列とハッシュで照合します。"
             "少しでも違いがあれば元のファイルには手を付けず、エラーとして報告します。"),
        subsection("ファイルの属性は完全保持", "tag.fill"),
        text("圧縮前のファイルが持っていた以下の情報は、圧縮後もそのまま引き継がれます:"),
        text("◦ Finder のカラータグ、ダウンロード元の URL、Gatekeeper の隔離フラグ\n"
             "◦ アクセス権（モード、所有者、ACL）\n"
             "◦ 隠しファイルフラグなどのファイルフラグ\n"
             "◦ 変更日・アクセス日・作成日"),
        text("Finder や Spotlight から見ても、属性的には **圧縮前と完全に同一のファイル** として扱われます。"),
        subsection("使用中ファイルは触らない", "lock.fill"),
        text("圧縮の直前に `flock(LOCK_EX | LOCK_NB)` で排他ロックを取ります。そのため SQLite データベースや"
             "一部のサーバー / オフィス系アプリのように、ファイルを明示的にロックするアプリが使用中のファイルは"
             "自動的にスキップされます。"),
        text("ただしこのロックは協調的（advisory）なものなので、ロックを取らずにファイルを開くエディタは検出できません。"
             "画面から操作する場合は、ユーザーが編集中と分かっているファイルをあえて圧縮することはまず無い、"
             "という前提に立っています。",
             calloutSecondary),
        subsection("自動再圧縮中は編集中ファイルを 30 分間隔離", "clock.arrow.circlepath"),
        text("cron / systemd タイマー から `--auto-recompress` で起動した場合は、直近 30 分以内に更新されたファイルを"
             "バックグラウンド圧縮の対象から自動的に外します。ロックでは検出できない、アプリで開いたままのファイルを"
             "更新日時で守るための仕組みです。"),
        text("アプリの保存のしかたによっては、圧縮中のファイルへの書き込みが保存前の変更を打ち消してしまうことがあるため、"
             "保存後 30 分の猶予を設けています。なお GUI から手動で圧縮ボタンを押した場合はこの 30 分ガードは"
             "適用されません。手動での操作はユーザー自身の判断とみなすためです。",
             calloutSecondary),
        subsection("ハードリンク / シンボリックリンクの除外", "link"),
        text("ハードリンクされたファイルはスキップします。シンボリックリンクは対象外で、リンク先のファイルにも"
             "手を付けません。リンク先を圧縮したいときは、リンク先そのものを登録してください。"),
        subsection("大ファイルへの確認 + メモリ消費ガード", "exclamationmark.triangle.fill"),
        text("操作対象の合計サイズが 1 GB を超える場合は、件数 + 合計サイズを示す確認ダイアログで一旦待機します。"
             "意図しない大きな操作を防ぐためです。"),
        text("16 MiB 以上のファイルはチャンク単位のストリーミングで圧縮・解除するので、メモリ消費はほぼ一定です。"
             "decmpfs 形式の上限（1 ファイル 2 GB）を超えるファイルは自動的に対象から外れます。"
             "圧縮中は使用中・空き・搭載のメモリ量をリアルタイムに監視し、進捗シートに表示します。",
             calloutSecondary),
        subsection("失敗の可視化", "exclamationmark.bubble.fill"),
        text("圧縮・解除・検査の失敗はすべて履歴ログに記録され、ポップオーバーで原因と対処法を確認できます。"
             "複数の項目をまとめて操作して一部が失敗した場合も、成功と失敗を分けて表示します。"),
        rule(),
        section("技術詳細（しくみの内側）", "gearshape.2.fill"),
        text("ここから先は仕組みに興味のある方向けです。アプリを使う上で読む必要はありません。", secondary),
        subsection("decmpfs の正体", "rectangle.compress.vertical"),
        text("decmpfs は、APFS と HFS+ がカーネルレベルで提供している透過圧縮の仕組みです。"
             "Kelvane はファイルの中身を圧縮した形で拡張属性 `com.apple.decmpfs`（またはリソースフォーク）に書き込み、"
             "`UF_COMPRESSED` フラグを立てます。"),
        text("macOS では、以降は読み出しのたびにカーネル（VFS 層と decmpfs ハンドラ）が中身を展開するので、"
             "ユーザー空間のプログラムは圧縮に気付きません。"),
        text(linuxReadingNote()),
        subsection("対応アルゴリズム", "function"),
        text("カーネルが読めるのは LZFSE / LZVN / ZLIB / LZBitmap です。Kelvane は現在、Apple Silicon に最も適した "
             "LZFSE だけを使います。詳しくは設定ウィンドウの「アルゴリズム」タブをご覧ください。"),
        subsection("インライン / リソースフォーク切替", "arrow.triangle.swap"),
        text("xattr の上限（3,802 バイト）に収まるサイズはインライン形式（type 11）、それ以上はリソースフォーク形式"
             "（type 12、`com.apple.ResourceFork` xattr に 64 KiB チャンクで格納）に振り分けています。"),
        subsection("dataless（クラウド退避）の検出", "icloud.and.arrow.down"),
        text("Dropbox や iCloud Drive などのクラウドプロバイダ拡張がローカルディスクから退避させたファイルは、"
             "decmpfs 属性に予約された圧縮タイプ `DATALESS_CMPFS_TYPE = 0x80000001` を持っています。"
             "Kelvane はこれを検出して「☁ クラウド退避中」と表示し、圧縮・解除の対象から外します。"),
    };
    return blocks;
}

const std::vector<UsageStep>& usageSteps()
{
    static const std::vector<UsageStep> steps{
        {1, QStringLiteral("wand.and.stars"), QStringLiteral("ウィザードで一括登録（おすすめ）"),
         QStringLiteral("ツールバーの「ウィザード」ボタンを押すと、`Go ビルドキャッシュ` / `debuginfod キャッシュ` / `.cache` / "
                        "`.local/state` など、容量を取りがちな場所がカード一覧で表示されます。「全部登録」で丸ごと、"
                        "「中身を見る」で配下から大きいファイルを個別に選んで登録できます。")},
        {2, QStringLiteral("plus"), QStringLiteral("個別にファイル / フォルダを登録"),
         QStringLiteral("メイン画面に **ドラッグ&ドロップ** するか、「追加」ボタンでファイル選択ダイアログから選びます。"
                        "フォルダはサブフォルダを含むかどうかを選択できます。")},
        {3, QStringLiteral("checklist"), QStringLiteral("状態を確認"),
         QStringLiteral("テーブルに 状態（● 圧縮済み / ○ 未圧縮 / ☁ クラウド退避）、サイズ、削減率、期待度（★）が表示されます。"
                        "フォルダは展開しなくても配下の集計（圧縮済み件数 / 合計サイズ / 削減率）が一覧で見えます。")},
        {4, QStringLiteral("arrow.down.right.and.arrow.up.left"), QStringLiteral("圧縮 / 解除を実行"),
         QStringLiteral("行ボタンで個別に、または複数選択して下部バーから一括で実行できます。フォルダ行の `圧縮 N` ボタンを"
                        "押すと配下の未圧縮ファイル N 件をまとめて圧縮します。進捗シートで件数 / 累計削減 / 失敗数 / "
                        "メモリ使用量がリアルタイム表示され、いつでもキャンセル可能です。完了時には削減量 / 削減率 / "
                        "before→after サイズ / 量に応じた称賛メッセージを含む成果サマリーが表示されます。")},
        {5, QStringLiteral("magnifyingglass"), QStringLiteral("条件検索で発掘"),
         QStringLiteral("「検索」ボタンで検索シートを開き、「○年以上前」「最小 10 MB」「テキスト系のみ」などの条件を"
                        "組み合わせて登録対象を発掘できます。スキャン中も結果がリアルタイムで増えていきます。")},
        {6, QStringLiteral("arrow.clockwise"), QStringLiteral("状態を再取得（定期メンテナンス）"),
         QStringLiteral("「更新」ボタン（Ctrl+R）で cache をクリアして全項目を再スキャンします。書き換えで圧縮が剥がれた"
                        "ファイルや、フォルダに新しく追加されたファイルを発見できます。**月 1 回程度の起動 → 再圧縮**で、"
                        "容量削減を維持できます。個別の行を右クリックすると「最新の状態を取得」メニューで特定のファイル / "
                        "フォルダだけ再 inspect することもできます。")},
        {7, QStringLiteral("internaldrive"), QStringLiteral("ストレージ情報を確認"),
         QStringLiteral("「ストレージ詳細…」（Ctrl+Shift+I）でマウント済みボリュームの容量、ハードウェア情報、ファイルシステムの"
                        "機能能力（decmpfs 対応 / clone / sparse 等）を確認できます。decmpfs 非対応のボリュームには ⚠ "
                        "バッジが付くので一目で見分けられます。")},
        {8, QStringLiteral("clock.arrow.circlepath"), QStringLiteral("履歴を確認"),
         QStringLiteral("「履歴ログ…」（Ctrl+L）で過去の圧縮 / 解除のログを参照できます。日付 / 操作 / 結果でフィルタ可能、"
                        "累計削減量も表示されます。")},
        {9, QStringLiteral("terminal"), QStringLiteral("コマンドラインから自動再圧縮（cron / systemd タイマー）"),
         QStringLiteral("`kelvane --auto-recompress` で登録済み項目を一括再圧縮して自動終了します。cron / systemd タイマー "
                        "に登録すれば月 1 回などの定期メンテナンスを無人で回せます。直近 30 分以内に更新されたファイルは"
                        "編集中の可能性を考慮して自動的に対象から外れます。"
                        "詳細はターミナルで `--help` を確認してください。")},
    };
    return steps;
}

}  // namespace kelvane::ui::about
