// SPDX-License-Identifier: MIT
#include "discovery/WizardPreset.h"

#include "discovery/HomeFolder.h"
#include "discovery/StandardizedPath.h"
#include "discovery/XdgFolders.h"
#include "platform/AppSupport.h"

namespace kelvane::discovery {

std::vector<WizardPreset> WizardPreset::all() {
    const auto home = standardizedPath(homeFolder());
    const auto cache = standardizedPath(xdgCacheHome());
    return {
        WizardPreset{
            "deriveddata",
            "Go ビルドキャッシュ",
            "Go のビルド中間生成物のキャッシュ。再生成可能。コンパイル済みパッケージが中心で圧縮効果が高い。",
            cache / "go-build",
            "hammer.fill",
            Category::build,
            {50, 75},
            std::nullopt,
            7,
            std::string("ビルドのたびにファイルが追加され、5 日以上使われていないファイルは go コマンドが自動で削除します。"
                        "しばらく触っていないプロジェクトのキャッシュに絞ると効果的。"),
        },
        WizardPreset{
            "iosdevsupport",
            "debuginfod キャッシュ",
            "デバッガが debuginfod から取得したデバッグ情報。必要時に再取得される。圧縮済みの情報には効果薄。",
            cache / "debuginfod_client",
            "iphone",
            Category::archive,
            {10, 60},
            std::nullopt,
            std::nullopt,
            std::nullopt,
        },
        WizardPreset{
            "archives",
            "Rust ツールチェーン",
            "rustup で導入した Rust のツールチェーン。rustup で再インストール可能。使っていない版は安全。",
            home / ".rustup/toolchains",
            "archivebox.fill",
            Category::archive,
            {60, 75},
            std::vector<std::string>{"so", "rlib", "rmeta", "html", "js"},
            std::nullopt,
            std::nullopt,
        },
        WizardPreset{
            "coresimulator",
            "Android エミュレータ",
            "Android エミュレータの仮想デバイス（AVD）。データのワイプで再生成可能。",
            home / ".android/avd",
            "ipad.and.iphone",
            Category::archive,
            {30, 50},
            std::vector<std::string>{"img", "qcow2", "bin"},
            7,
            std::string("起動中のエミュレータが使うディスクイメージは書き換わり、圧縮は剥がれます。"
                        "最近使っていない仮想デバイスに絞ると効果的。"),
        },
        WizardPreset{
            "caches",
            "ユーザー .cache",
            "アプリの再ダウンロード / 再生成可能なキャッシュ。一部アプリは次回起動が遅くなる。",
            cache,
            "tray.full.fill",
            Category::cache,
            {10, 40},
            std::nullopt,
            14,
            std::string("アクティブに使っているアプリのキャッシュは頻繁に書き換わるため、圧縮効果が消えます。"
                        "最近使っていないアプリのキャッシュに絞ると効果的。"),
        },
        WizardPreset{
            "logs",
            "ユーザー .local/state",
            "アプリの状態 / 過去のログ。テキストなので縮みやすいが、書き込み中のログは対象外推奨。",
            standardizedPath(xdgStateHome()),
            "doc.text.fill",
            Category::logs,
            {60, 85},
            std::vector<std::string>{"log", "txt"},
            30,
            std::string("現在書き込み中のログ（開発ツール / 常駐 daemon 等）は、追記のたびに圧縮が剥がれます。"
                        "30 日以上更新がないファイルだけを対象にするのが安全です。"),
        },
        WizardPreset{
            "downloads",
            "ダウンロード",
            "古いダウンロードの tar / ディスクイメージ / テキストなど。tar.gz / zip / deb は既圧縮で効果薄。",
            standardizedPath(xdgDownloadDir()),
            "arrow.down.circle.fill",
            Category::download,
            {5, 20},
            std::vector<std::string>{"tar", "img", "txt", "log", "json", "csv"},
            std::nullopt,
            std::nullopt,
        },
        WizardPreset{
            "iphonebackup",
            "Android SDK",
            "Android Studio / sdkmanager で導入した SDK。一度入れると基本静的で、ビルドツール / システムイメージ / NDK が"
            "入っている。",
            home / "Android/Sdk",
            "iphone.gen3",
            Category::archive,
            {30, 50},
            std::nullopt,
            7,
            std::string("sdkmanager でパッケージを更新すると、そのフォルダの中身は入れ替わり、圧縮は剥がれます。"
                        "当面更新しない予定のパッケージに絞ると効果的。"),
        },
        WizardPreset{
            "garageband",
            "Steam ゲーム",
            "Steam でインストールしたゲームのデータ。更新されるまでは静的なデータ。",
            home / ".local/share/Steam/steamapps/common",
            "music.note",
            Category::archive,
            {10, 30},
            std::vector<std::string>{"dll", "exe", "so", "wav", "dat"},
            std::nullopt,
            std::nullopt,
        },
    };
}

std::string WizardPreset::displayPath() const {
    return platform::homeAbbreviated(resolvedPath.string(), normalizedPath(homeFolder()));
}

std::string_view rawValue(WizardPreset::Category category) {
    switch (category) {
    case WizardPreset::Category::build: return "build";
    case WizardPreset::Category::archive: return "archive";
    case WizardPreset::Category::cache: return "cache";
    case WizardPreset::Category::download: return "download";
    case WizardPreset::Category::logs: return "logs";
    }
    return {};
}

std::optional<WizardPreset::Category> wizardCategoryFromRawValue(std::string_view raw) {
    for (auto c : {WizardPreset::Category::build, WizardPreset::Category::archive, WizardPreset::Category::cache,
                   WizardPreset::Category::download, WizardPreset::Category::logs})
        if (rawValue(c) == raw) return c;
    return std::nullopt;
}

}  // namespace kelvane::discovery
