// SPDX-License-Identifier: MIT
#include "ui/windows/AboutView.h"

#include "WindowsTestSupport.h"
#include "app/LaunchRecord.h"
#include "app/LogExport.h"
#include "discovery/WizardPreset.h"
#include "display/Formatters.h"
#include "platform/qt/Settings.h"
#include "support/FakeShell.h"
#include "ui/common/FirstLaunchAbout.h"
#include "ui/sheets/NoticesSheet.h"

#include <QDialogButtonBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QVBoxLayout>

#include <algorithm>
#include <fstream>
#include <future>
#include <stdexcept>

namespace kelvane::ui::test {
namespace {

namespace fs = std::filesystem;
namespace keys = platform::settings_keys;
using Figure = operations::AboutFigure;

class AboutViewTest : public WindowTest {
protected:
    std::unique_ptr<AboutView> open(AboutEnvironment environment = {})
    {
        if (!environment.exportLogs)
            environment.exportLogs = [this](double hours) {
                askedHours_.push_back(hours);
                if (logFails_)
                    throw std::runtime_error("log store unavailable");
                return logText_;
            };
        environment.exportFileName = [](const QDateTime&) { return QStringLiteral("Kelvane-log-test.txt"); };
        environment.programFiles = {};
        auto view = std::make_unique<AboutView>(container_, shell_, std::move(environment));
        view->show();
        return view;
    }

    bool exportAndWait(AboutView& view)
    {
        QSignalSpy finished(&view, &AboutView::exportFinished);
        view.exportLogFile();
        return finished.wait(10000);
    }

    // The page of a text tab, piece by piece.
    static std::vector<QWidget*> pieces(AboutView& view, int tab)
    {
        auto* area = qobject_cast<QScrollArea*>(view.tabs()->widget(tab));
        std::vector<QWidget*> result;
        QLayout* layout = area->widget()->layout();
        for (int i = 0; i < layout->count(); ++i)
            if (QWidget* widget = layout->itemAt(i)->widget())
                result.push_back(widget);
        return result;
    }

    kelvane::test::FakeShell shell_;
    std::vector<double> askedHours_;
    bool logFails_ = false;
    std::string logText_ = "Kelvane ログ書き出し\n2026-01-02 03:04:05 ui 起動しました\n合計 1 件\n";
};

TEST_F(AboutViewTest, TheFirstLaunchOpensAboutOnceAndNeverAgain)
{
    platform::Settings settings;
    EXPECT_TRUE(takeFirstLaunchAbout(settings));
    EXPECT_FALSE(takeFirstLaunchAbout(settings));
    platform::Settings nextLaunch;
    EXPECT_FALSE(takeFirstLaunchAbout(nextLaunch));
    EXPECT_TRUE(nextLaunch.value(keys::hasShownFirstLaunchAbout));
}

TEST_F(AboutViewTest, StatisticsShowPlaceholdersUntilMeasuredThenTheLaunchFigures)
{
    // The second launch, as the application records its launches.
    platform::Settings settings;
    const QDateTime first = QDateTime::currentDateTimeUtc().addDays(-3);
    ASSERT_TRUE(app::recordLaunch(settings, first));
    const QDateTime second = QDateTime::currentDateTimeUtc().addSecs(-600);
    ASSERT_TRUE(app::recordLaunch(settings, second));
    const QDateTime previous = first;

    auto view = open();
    EXPECT_EQ(view->tabs()->currentIndex(), 0);
    for (const auto row : {Figure::appSize, Figure::databaseSize, Figure::residentMemory}) {
        EXPECT_EQ(view->statisticsValue(row), "計測中…") << int(row);
        EXPECT_EQ(view->statisticsToolTip(row), "") << int(row);
    }
    for (const auto row : {Figure::launchCount, Figure::firstLaunch, Figure::previousLaunch, Figure::uptime})
        EXPECT_EQ(view->statisticsValue(row), "—") << int(row);
    const auto* support = view->findChild<QLabel*>(QStringLiteral("value:applicationSupport"));
    ASSERT_NE(support, nullptr);
    EXPECT_FALSE(support->isVisibleTo(view.get())) << "no folder before the snapshot names one";
    EXPECT_EQ(view->statisticsValue(Figure::registeredCount), "0 件");
    EXPECT_EQ(view->statisticsValue(Figure::logCount), "0 件");
    EXPECT_EQ(view->statisticsValue(Figure::bytesSaved), display::formatBytes(0));

    QSignalSpy measured(view.get(), &AboutView::diagnosticsChanged);
    view->tabs()->setCurrentIndex(3);
    ASSERT_TRUE(measured.wait(10000));
    EXPECT_EQ(view->statisticsValue(Figure::launchCount), "2 回");
    EXPECT_EQ(view->statisticsValue(Figure::firstLaunch), display::dateTimeFormatter().string(first));
    EXPECT_EQ(view->statisticsValue(Figure::previousLaunch), display::dateTimeFormatter().string(previous));
    EXPECT_NE(view->statisticsValue(Figure::residentMemory), "計測中…");
    EXPECT_TRUE(view->statisticsToolTip(Figure::residentMemory).endsWith(" Bytes"));
    EXPECT_FALSE(view->statisticsValue(Figure::uptime).isEmpty());
    EXPECT_NE(view->statisticsValue(Figure::uptime), "—");
    EXPECT_TRUE(support->isVisibleTo(view.get()));
    EXPECT_FALSE(support->text().isEmpty());

    // A save redraws the counts, not the uptime: it does not tick on its own.
    const QString uptime = view->statisticsValue(Figure::uptime);
    view->figures().setClock([] { return QDateTime::currentDateTime().addSecs(7200); });
    addLog("/a.txt", 100, 50);
    ASSERT_TRUE(waitUntil([&] { return view->statisticsValue(Figure::logCount) == "1 件"; }));
    EXPECT_EQ(view->statisticsValue(Figure::uptime), uptime);

    // Going back to the tab measures nothing new; the button does.
    view->tabs()->setCurrentIndex(0);
    view->tabs()->setCurrentIndex(3);
    EXPECT_EQ(view->figures().collectionsStarted(), 1);
    // One launch later the first launch stays and the previous one moves on.
    ASSERT_TRUE(app::recordLaunch(settings, QDateTime::currentDateTimeUtc()));
    view->findChild<QPushButton*>(QStringLiteral("remeasure"))->click();
    ASSERT_TRUE(measured.wait(10000));
    EXPECT_EQ(view->statisticsValue(Figure::launchCount), "3 回");
    EXPECT_EQ(view->statisticsValue(Figure::firstLaunch), display::dateTimeFormatter().string(first));
    EXPECT_EQ(view->statisticsValue(Figure::previousLaunch), display::dateTimeFormatter().string(second));
}

TEST_F(AboutViewTest, CountsAndTheCumulativeSavingFollowTheStore)
{
    auto view = open();
    addLog("/a.txt", 10000, 4000);                       // saves 6000
    addLog("/b.txt", 10000, 12000);                      // grew: nothing
    addLog("/c.txt", 10000, 1000, "compress", false);    // failed: nothing
    addLog("/d.txt", 1000, 9000, "decompress");          // nothing
    ASSERT_TRUE(waitUntil([&] { return view->statisticsValue(Figure::logCount) == "4 件"; }));
    EXPECT_EQ(view->statisticsValue(Figure::bytesSaved), display::formatBytes(6000));
}

TEST_F(AboutViewTest, AMissingBuildNumberShowsAQuestionMarkInTheVersion)
{
    AboutEnvironment environment;
    environment.shortVersion = "1.2.0";
    auto view = open(environment);
    EXPECT_EQ(view->findChild<QLabel*>(QStringLiteral("versionLine"))->text(), "v1.2.0 (build ?)");
    EXPECT_EQ(view->statisticsValue(Figure::version), "1.2.0 (build ?)");
    EXPECT_EQ(view->statisticsValue(Figure::bundleIdentifier), "?");
}

TEST_F(AboutViewTest, SecondaryParagraphsAreDrawnVisiblyLighterThanBodyText)
{
    auto view = open();
    int checked = 0;
    for (QLabel* paragraph : view->findChildren<QLabel*>(QStringLiteral("paragraph"))) {
        if (!paragraph->property("secondary").toBool())
            continue;
        // What the style sheet really paints, alpha included.
        const QRegularExpression rgba(QStringLiteral(R"(color:\s*rgba\((\d+), (\d+), (\d+), ([\d.]+)\))"));
        const auto match = rgba.match(paragraph->styleSheet());
        ASSERT_TRUE(match.hasMatch()) << paragraph->styleSheet().toStdString();
        const QColor background = view->palette().color(QPalette::Window);
        const double alpha = match.captured(4).toDouble();
        const auto shown = [&](int channel, int back) { return channel * alpha + back * (1 - alpha); };
        const QColor painted = QColor::fromRgbF(
            float(shown(match.captured(1).toInt(), background.red()) / 255.0),
            float(shown(match.captured(2).toInt(), background.green()) / 255.0),
            float(shown(match.captured(3).toInt(), background.blue()) / 255.0));
        const QColor text = view->palette().color(QPalette::WindowText);  // the body text
        EXPECT_GT(std::abs(painted.lightness() - text.lightness()), 50) << paragraph->styleSheet().toStdString();
        EXPECT_GT(std::abs(painted.lightness() - background.lightness()), 50);
        ++checked;
    }
    EXPECT_GT(checked, 3);
}

TEST_F(AboutViewTest, CreditsNameTheThreeEarlierProjectsAndTheLibrariesInOneSentence)
{
    auto view = open();
    const std::vector<QWidget*> page = pieces(*view, 4);
    QStringList headers;
    int entries = 0;
    QString librarySentence;
    for (QWidget* piece : page) {
        if (piece->objectName() == QLatin1String("sectionHeader"))
            headers << piece->findChild<QLabel*>(QStringLiteral("title"))->text();
        else if (piece->objectName() == QLatin1String("creditEntry"))
            ++entries;
        else if (piece->objectName() == QLatin1String("paragraph") && headers.size() == 3)
            librarySentence = piece->property("markdown").toString();
    }
    EXPECT_EQ(headers, (QStringList{"開発", "参考にしたソフトウェア", "利用ライブラリ", "フィードバック"}));
    EXPECT_EQ(entries, 3) << "the three earlier projects and nothing else";
    for (const char* library : {"Qt", "SQLite", "OpenSSL", "zlib", "libacl"})
        EXPECT_TRUE(librarySentence.contains(QLatin1String(library))) << library;
    // Every heading shows its symbol.
    for (QWidget* piece : page)
        if (piece->objectName() == QLatin1String("sectionHeader")) {
            auto* symbol = piece->findChild<QLabel*>(QStringLiteral("symbol"));
            ASSERT_NE(symbol, nullptr);
            EXPECT_FALSE(symbol->pixmap().isNull());
        }
}

TEST_F(AboutViewTest, WhileExportingTheButtonShowsOnlyASpinnerAtItsOwnSize)
{
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    AboutEnvironment environment;
    environment.exportLogs = [released](double) {
        released.wait_for(std::chrono::seconds(30));
        return std::string("log\n");
    };
    auto view = open(environment);
    view->tabs()->setCurrentIndex(3);
    auto* button = view->findChild<QPushButton*>(QStringLiteral("exportLogs"));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    const QSize before = button->size();
    QSignalSpy finished(view.get(), &AboutView::exportFinished);
    view->exportLogFile();
    EXPECT_FALSE(button->isEnabled());
    EXPECT_TRUE(button->text().isEmpty());
    EXPECT_TRUE(button->icon().isNull());
    EXPECT_EQ(button->size(), before);
    auto* spinner = button->findChild<QWidget*>(QStringLiteral("spinner"));
    ASSERT_NE(spinner, nullptr);
    EXPECT_TRUE(spinner->isVisible());
    EXPECT_TRUE(button->rect().contains(spinner->geometry()));
    for (QWidget* other : view->findChildren<QWidget*>(QStringLiteral("spinner")))
        EXPECT_TRUE(other == spinner || !other->isVisible()) << "one spinner, in the button";
    for (QProgressBar* bar : view->findChildren<QProgressBar*>())
        EXPECT_FALSE(bar->isVisible()) << "no progress bar beside the button";

    release.set_value();
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_FALSE(spinner->isVisible());
    EXPECT_EQ(button->text(), QStringLiteral("ログを書き出し…"));
    EXPECT_FALSE(button->icon().isNull());
    EXPECT_TRUE(button->isEnabled());
}

TEST_F(AboutViewTest, LogExportWritesTheChosenSpanWhereTheUserSaysAndReportsFailuresBelowTheButton)
{
    auto view = open();
    view->tabs()->setCurrentIndex(3);
    EXPECT_EQ(view->exportRange(), AboutView::LogExportRange::lastDay);
    const fs::path destination = dir_ / "exported.txt";
    shell_.saveAnswers.push_back(destination);
    ASSERT_TRUE(exportAndWait(*view));
    EXPECT_EQ(shell_.lastSaveSuggestion, "Kelvane-log-test.txt");
    EXPECT_EQ(kelvane::test::readRawFile(destination),
              std::vector<std::uint8_t>(logText_.begin(), logText_.end()));
    EXPECT_FALSE(view->exportError());

    view->setExportRange(AboutView::LogExportRange::lastHour);
    shell_.saveAnswers.push_back(dir_ / "exported.txt" / "inside-a-file.txt");
    ASSERT_TRUE(exportAndWait(*view));
    ASSERT_TRUE(view->exportError());
    EXPECT_TRUE(view->exportError()->startsWith("ファイル保存に失敗しました: ")) << view->exportError()->toStdString();
    EXPECT_TRUE(view->findChild<QLabel*>(QStringLiteral("exportError"))->isVisible());

    // Cancelling clears the old message and shows none.
    view->setExportRange(AboutView::LogExportRange::lastWeek);
    ASSERT_TRUE(exportAndWait(*view));
    EXPECT_FALSE(view->exportError());
    EXPECT_TRUE(view->findChild<QPushButton*>(QStringLiteral("exportLogs"))->isEnabled());

    // A log that cannot be read asks for no destination.
    logFails_ = true;
    shell_.lastSaveSuggestion.clear();
    ASSERT_TRUE(exportAndWait(*view));
    EXPECT_EQ(view->exportError(), QStringLiteral("ログ取得に失敗しました: log store unavailable"));
    EXPECT_TRUE(shell_.lastSaveSuggestion.isEmpty());
    EXPECT_EQ(askedHours_, (std::vector<double>{24, 1, 168, 168}));

    // With the application's own exporter the file starts with its header.
    AboutEnvironment real;
    real.exportLogs = [](double hours) { return app::exportLogs(hours); };
    auto second = open(real);
    const fs::path exported = dir_ / "real-export.txt";
    shell_.saveAnswers.push_back(exported);
    ASSERT_TRUE(exportAndWait(*second));
    EXPECT_FALSE(second->exportError());
    const auto bytes = kelvane::test::readRawFile(exported);
    const std::string header = "# Kelvane ログエクスポート\n# 生成日時: ";
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + std::min(bytes.size(), header.size())), header);
}

TEST_F(AboutViewTest, TheExplainerHasItsHeadingsSubHeadingsAndParagraphsInOrder)
{
    auto view = open();
    QStringList sections;
    QStringList subsections;
    int dividers = 0, paragraphs = 0, secondary = 0, callout = 0;
    QStringList texts;
    for (QWidget* piece : pieces(*view, 1)) {
        const QString kind = piece->objectName();
        if (kind == "sectionHeader")
            sections << piece->findChild<QLabel*>(QStringLiteral("title"))->text();
        else if (kind == "subsectionHeader")
            subsections << piece->findChild<QLabel*>(QStringLiteral("title"))->text();
        else if (kind == "divider")
            ++dividers;
        else if (kind == "paragraph") {
            ++paragraphs;
            secondary += piece->property("secondary").toBool();
            callout += piece->property("callout").toBool();
            texts << piece->property("markdown").toString();
            EXPECT_FALSE(qobject_cast<QLabel*>(piece)->text().contains("**"));
        } else
            ADD_FAILURE() << "unexpected piece " << kind.toStdString();
    }
    EXPECT_EQ(sections, (QStringList{"透過圧縮ってなに？", "何が嬉しいの？", "何ができないの？", "書き込みで圧縮は剥がれます",
                                     "どんなファイルに効くの？", "読み込み速度は遅くならない？", "クラウド同期フォルダは要注意",
                                     "対象外", "安全性", "技術詳細（しくみの内側）"}));
    EXPECT_EQ(subsections,
              (QStringList{"クラッシュしても壊れない", "圧縮データの整合性検証", "ファイルの属性は完全保持",
                           "使用中ファイルは触らない", "自動再圧縮中は編集中ファイルを 30 分間隔離",
                           "ハードリンク / シンボリックリンクの除外", "大ファイルへの確認 + メモリ消費ガード", "失敗の可視化",
                           "decmpfs の正体", "対応アルゴリズム", "インライン / リソースフォーク切替",
                           "dataless（クラウド退避）の検出"}));
    EXPECT_EQ(dividers, 9);
    // The written ones and the Linux note after each claim that other programs read the files unchanged.
    EXPECT_EQ(paragraphs, 41);
    EXPECT_EQ(secondary, 8);
    EXPECT_EQ(callout, 4);
    EXPECT_EQ(texts[0], "ひとことで言うと「**ファイルを zip にしないまま、内部だけこっそり縮める**」仕組みです。");
    EXPECT_TRUE(texts.contains("xattr の上限（3,802 バイト）に収まるサイズはインライン形式（type 11）、それ以上はリソースフォーク形式"
                               "（type 12、`com.apple.ResourceFork` xattr に 64 KiB チャンクで格納）に振り分けています。"));
    EXPECT_TRUE(texts.last().contains("`DATALESS_CMPFS_TYPE = 0x80000001`"));
    // Nothing sends a Linux user to tools that are not here.
    for (const QString& text : texts) {
        EXPECT_FALSE(text.contains("launchd")) << text.toStdString();
        EXPECT_FALSE(text.contains(u'⌘')) << text.toStdString();
    }

    // The usage guide: nine numbered steps in order, the command line as on Linux.
    QStringList steps;
    for (QWidget* piece : pieces(*view, 2))
        if (piece->objectName() == "usageStep")
            steps << piece->findChild<QLabel*>(QStringLiteral("title"))->text();
    ASSERT_EQ(steps.size(), 9);
    EXPECT_EQ(steps.first(), "ウィザードで一括登録（おすすめ）");
    EXPECT_EQ(steps.last(), "コマンドラインから自動再圧縮（cron / systemd タイマー）");
    const QStringList usageTexts = labelTexts(view->tabs()->widget(2));
    EXPECT_TRUE(usageTexts.join('\n').contains("<code>kelvane --auto-recompress</code>"));
}

// The markdown of every paragraph below `root`, in order.
QStringList paragraphTexts(const QWidget* root)
{
    QStringList texts;
    for (const QLabel* label : root->findChildren<QLabel*>(QStringLiteral("paragraph")))
        texts << label->property("markdown").toString();
    return texts;
}

TEST_F(AboutViewTest, TheTextsAreAsWrittenWordedForLinuxOnlyWhereThisDesktopDiffers)
{
    auto view = open();
    const QString note = "Linux では、Kelvane が登録したフォルダに kelvanefs を自動でマウントするので、圧縮済みファイルはどのアプリからも元のデータとして読めます。"
                         "マウントできない場所では圧縮しません（理由はメイン画面に表示されます）。";

    // The explainer: the note follows both claims that programs see the
    // original data, and nothing else was reworded.
    const QStringList explainer = paragraphTexts(view->tabs()->widget(1));
    ASSERT_EQ(explainer.size(), 41);
    EXPECT_EQ(explainer.count(note), 2);
    const auto after = [&](const QString& startOfParagraph) {
        for (qsizetype i = 0; i + 1 < explainer.size(); ++i)
            if (explainer[i].startsWith(startOfParagraph))
                return explainer[i + 1];
        return QStringLiteral("(no paragraph starts with ") + startOfParagraph + ")";
    };
    EXPECT_EQ(after("データは読み出されるときにだけ macOS が自動で展開する"), note);
    EXPECT_EQ(after("macOS では、以降は読み出しのたびに"), note);
    EXPECT_TRUE(explainer.contains("macOS では、以降は読み出しのたびにカーネル（VFS 層と decmpfs ハンドラ）が中身を展開するので、"
                                   "ユーザー空間のプログラムは圧縮に気付きません。"));
    EXPECT_TRUE(explainer.filter("cron / systemd タイマー から `--auto-recompress` で起動した場合は、直近 30 分以内に"
                                 "更新されたファイルをバックグラウンド圧縮の対象から自動的に外します。")
                    .size()
                == 1);
    EXPECT_TRUE(explainer.filter("透過圧縮は **そのローカルディスク上だけ** で効きます。").size() == 1);
    for (const QString& text : explainer) {
        // The disk is no Mac's (what Apple does with its own Macs stays).
        EXPECT_FALSE(text.contains("の Mac の")) << text.toStdString();
        EXPECT_FALSE(text.contains("Linux では同じ形式")) << text.toStdString();
    }

    // The usage guide, step by step.
    QStringList bodies;
    for (QWidget* piece : pieces(*view, 2))
        if (piece->objectName() == "usageStep")
            bodies << paragraphTexts(piece);
    ASSERT_EQ(bodies.size(), 9);
    EXPECT_EQ(bodies[0], "ツールバーの「ウィザード」ボタンを押すと、`Go ビルドキャッシュ` / `debuginfod キャッシュ` / `.cache` / "
                         "`.local/state` など、容量を取りがちな場所がカード一覧で表示されます。「全部登録」で丸ごと、"
                         "「中身を見る」で配下から大きいファイルを個別に選んで登録できます。");
    EXPECT_EQ(bodies[1], "メイン画面に **ドラッグ&ドロップ** するか、「追加」ボタンでファイル選択ダイアログから選びます。"
                         "フォルダはサブフォルダを含むかどうかを選択できます。");
    EXPECT_EQ(bodies[4], "「検索」ボタンで検索シートを開き、「○年以上前」「最小 10 MB」「テキスト系のみ」などの条件を組み合わせて"
                         "登録対象を発掘できます。スキャン中も結果がリアルタイムで増えていきます。");
    EXPECT_TRUE(bodies[5].startsWith("「更新」ボタン（Ctrl+R）で cache をクリアして全項目を再スキャンします。"));
    EXPECT_EQ(bodies[8], "`kelvane --auto-recompress` で登録済み項目を一括再圧縮して自動終了します。cron / systemd タイマー "
                         "に登録すれば月 1 回などの定期メンテナンスを無人で回せます。直近 30 分以内に更新されたファイルは"
                         "編集中の可能性を考慮して自動的に対象から外れます。詳細はターミナルで `--help` を確認してください。");
    // The places the guide names are the wizard's.
    const auto presets = discovery::WizardPreset::all();
    for (const char* name : {"Go ビルドキャッシュ", ".cache", ".local/state", "debuginfod キャッシュ"})
        EXPECT_TRUE(std::any_of(presets.begin(), presets.end(),
                                [&](const discovery::WizardPreset& p) { return p.title.find(name) != std::string::npos; }))
            << name;

    // The overview.
    const QStringList overview = paragraphTexts(view->tabs()->widget(0));
    EXPECT_TRUE(labelTexts(view->tabs()->widget(0)).contains("透過圧縮で SSD を空ける"));
    EXPECT_TRUE(overview.contains("**SSD 容量を、ファイルを動かさずに空けられます**。"));
    EXPECT_TRUE(overview.contains("特に効果が出やすい例:\n\n・Go のビルドキャッシュやビルド成果物\n・Android エミュレータ / Android SDK\n"
                                  "・GitHub から clone してきた大きなリポジトリ\n・古いログファイル / テキストデータ\n"
                                  "・デバッグ情報や Rust ツールチェーン"));
    EXPECT_TRUE(overview.contains("・SSD 容量を気にしている方\n・ソフトウェア開発者やデータ分析家のように、大きなファイル群を抱える方\n"
                                  "・「ファイルは残したいけど容量だけなんとかしたい」方"));
    const qsizetype mechanism = overview.indexOf(
        "仕組みは macOS が標準で持っている「透過圧縮」を活用します（Apple 自身も macOS 自体に使っている技術です）。"
        "詳しくは「透過圧縮について」タブをご覧ください。");
    ASSERT_GE(mechanism, 0);
    ASSERT_LT(mechanism + 1, overview.size());
    EXPECT_EQ(overview[mechanism + 1], note);
}

TEST_F(AboutViewTest, TheNoticesSheetShowsTheShippedNoticesAndCanBeOpenedAgain)
{
    auto view = open();
    auto* button = view->findChild<QPushButton*>(QStringLiteral("showNotices"));
    for (int round = 0; round < 2; ++round) {
        button->click();
        QPointer<NoticesSheet> sheet = view->noticesSheet();
        ASSERT_TRUE(sheet);
        EXPECT_TRUE(sheet->isVisible());
        ASSERT_TRUE(waitUntil([&] { return sheet->content() != "読み込み中…"; }));
        EXPECT_TRUE(sheet->content().startsWith("Kelvane")) << sheet->content().left(80).toStdString();
        for (const char* library : {"Qt 6", "SQLite", "OpenSSL", "zlib", "libacl", "ICU", "libuuid", "libmount", "GNU LESSER GENERAL PUBLIC LICENSE"})
            EXPECT_TRUE(sheet->content().contains(QString::fromUtf8(library))) << library;
        // The sheet's one action beside closing it.
        QPushButton* copy = nullptr;
        auto* buttons = sheet->findChild<QDialogButtonBox*>();
        ASSERT_NE(buttons, nullptr);
        for (QAbstractButton* candidate : buttons->buttons())
            if (buttons->buttonRole(candidate) == QDialogButtonBox::ActionRole)
                copy = qobject_cast<QPushButton*>(candidate);
        ASSERT_NE(copy, nullptr);
        copy->click();
        EXPECT_EQ(shell_.clipboard, sheet->content());
        QTest::keyClick(sheet, Qt::Key_Escape);
        ASSERT_TRUE(waitUntil([&] { return !sheet; }));
    }
}

TEST_F(AboutViewTest, DamagedMissingOrEmptyNoticesShowWhatHappened)
{
    const fs::path damaged = dir_ / "damaged.txt";
    kelvane::test::writeRawFile(damaged, {'O', 'K', ' ', 0xC3, 0x28, ' ', 0xED, 0xA0, 0x80});
    EXPECT_TRUE(NoticesSheet::loadNotices(QString::fromStdString(damaged.string()))
                    .startsWith("NOTICES.txt の読み込みに失敗しました: "));
    const fs::path overlong = dir_ / "overlong.txt";
    kelvane::test::writeRawFile(overlong, {'a', 0xC0, 0xAF});
    EXPECT_TRUE(NoticesSheet::loadNotices(QString::fromStdString(overlong.string()))
                    .startsWith("NOTICES.txt の読み込みに失敗しました: "));
    EXPECT_EQ(NoticesSheet::loadNotices(QString::fromStdString((dir_ / "none.txt").string())),
              "NOTICES.txt がアプリバンドル内に見つかりません。");
    const fs::path empty = dir_ / "empty.txt";
    kelvane::test::writeRawFile(empty, {});
    EXPECT_EQ(NoticesSheet::loadNotices(QString::fromStdString(empty.string())), "");
    // Text is shown as it is, byte-order mark included.
    const fs::path marked = dir_ / "marked.txt";
    kelvane::test::writeRawFile(marked, {0xEF, 0xBB, 0xBF, 'h', 'i'});
    EXPECT_EQ(NoticesSheet::loadNotices(QString::fromStdString(marked.string())), QStringLiteral("\uFEFFhi"));

    // Through the window, from the credits tab.
    AboutEnvironment environment;
    environment.noticesFile = QString::fromStdString(damaged.string());
    auto view = open(environment);
    view->showNotices();
    QPointer<NoticesSheet> sheet = view->noticesSheet();
    ASSERT_TRUE(waitUntil([&] { return sheet && sheet->content() != "読み込み中…"; }));
    EXPECT_TRUE(sheet->content().startsWith("NOTICES.txt の読み込みに失敗しました: "));
}

}  // namespace
}  // namespace kelvane::ui::test
