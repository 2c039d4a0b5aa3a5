#include "discovery/WizardPreset.h"

#include "discovery/HomeFolder.h"
#include "discovery/StandardizedPath.h"
#include "platform/AppSupport.h"

namespace kelvane::discovery {

std::vector<WizardPreset> WizardPreset::all() {
    const auto home = standardizedPath(homeFolder());
    return {
        WizardPreset{
            "deriveddata",
            "Xcode DerivedData",
            "Xcode のビルド中間生成物。再生成可能。binary / dSYM が中心で圧縮効果が高い。",
            home / "Library/Developer/Xcode/DerivedData",
            "hammer.fill",
            Category::build,
            {40, 60},
            std::vector<std::string>{"o", "swiftmodule", "swiftdoc", "swiftsourceinfo", "framework", "dSYM"},
            7,
            std::string("ビルドのたびに該当ファイルは書き換わり、圧縮は剥がれます。最近触っていないモジュールに絞ると効果的。"),
        },
        WizardPreset{
            "iosdevsupport",
            "iOS DeviceSupport",
            "iOS デバッグ用シンボル / 共有キャッシュ。デバイス接続時に再取得される。",
            home / "Library/Developer/Xcode/iOS DeviceSupport",
            "iphone",
            Category::archive,
            {50, 70},
            std::vector<std::string>{"dylib", "framework", "dSYM"},
            std::nullopt,
            std::nullopt,
        },
        WizardPreset{
            "archives",
            "Xcode Archives",
            "App 配信用アーカイブ。配信済みのものは安全。未配信のものは事前に確認。",
            home / "Library/Developer/Xcode/Archives",
            "archivebox.fill",
            Category::archive,
            {30, 50},
            std::vector<std::string>{"xcarchive", "dSYM", "app"},
            std::nullopt,
            std::nullopt,
        },
        WizardPreset{
            "coresimulator",
            "iOS Simulator",
            "シミュレータのデバイスデータ。シミュレータ初期化で再生成可能。",
            home / "Library/Developer/CoreSimulator",
            "ipad.and.iphone",
            Category::archive,
            {30, 50},
            std::vector<std::string>{"app", "dylib", "framework"},
            7,
            std::string("起動中のシミュレータで使われているファイルは書き換わり、圧縮は剥がれます。最近使っていないシミュレータに絞ると効果的。"),
        },
        WizardPreset{
            "caches",
            "ユーザー Caches",
            "アプリの再ダウンロード可能なキャッシュ。一部アプリは初回起動が遅くなる。",
            home / "Library/Caches",
            "tray.full.fill",
            Category::cache,
            {20, 40},
            std::nullopt,
            14,
            std::string("アクティブに使っているアプリのキャッシュは頻繁に書き換わるため、圧縮効果が消えます。最近使っていないアプリのキャッシュに絞ると効果的。"),
        },
        WizardPreset{
            "logs",
            "ユーザー Logs",
            "クラッシュレポート / 過去のログ。テキストなので縮みやすいが、書き込み中のログは対象外推奨。",
            home / "Library/Logs",
            "doc.text.fill",
            Category::logs,
            {60, 85},
            std::vector<std::string>{"log", "txt", "ips"},
            30,
            std::string("現在書き込み中のログ（開発ツール / 常駐 daemon 等）は、追記のたびに圧縮が剥がれます。30 日以上更新がないファイルだけを対象にするのが安全です。"),
        },
        WizardPreset{
            "downloads",
            "Downloads",
            "古いダウンロードの dmg / pkg / ipa など。dmg / zip は既圧縮で効果薄。",
            home / "Downloads",
            "arrow.down.circle.fill",
            Category::download,
            {5, 20},
            std::vector<std::string>{"pkg", "ipa", "txt", "log", "json", "csv"},
            std::nullopt,
            std::nullopt,
        },
        WizardPreset{
            "iphonebackup",
            "iPhone / iPad バックアップ",
            "iTunes / Finder で取得した iOS デバイスのバックアップ。一度取ると基本静的で、SQLite / plist / 各種データファイルが入っている。",
            home / "Library/Application Support/MobileSync/Backup",
            "iphone.gen3",
            Category::archive,
            {15, 35},
            std::nullopt,
            7,
            std::string("次のバックアップ時に同 UDID のフォルダ内が更新されると圧縮は剥がれます。新規バックアップを当面取らない予定のものに絞ると効果的。"),
        },
        WizardPreset{
            "garageband",
            "GarageBand / Apple Loops",
            "GarageBand 同梱のオーディオサンプル / ループ。インストール後は読み取り専用の静的データ。",
            home / "Library/Audio/Apple Loops",
            "music.note",
            Category::archive,
            {20, 40},
            std::vector<std::string>{"caf", "aif", "aiff", "wav"},
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
