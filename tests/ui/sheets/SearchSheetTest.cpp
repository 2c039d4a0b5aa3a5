// SPDX-License-Identifier: MIT
#include "SheetsTestSupport.h"
#include "support/FakeShell.h"

#include "discovery/SecurityScopedBookmark.h"
#include "operations/sheets/AskAIModel.h"
#include "operations/sheets/ExtensionSet.h"
#include "operations/threads/MainThread.h"
#include "operations/sheets/SearchSheetModel.h"
#include "platform/qt/LanguageModel.h"
#include "store/RegisteredItem.h"
#include "support/SearchFolder.h"
#include "ui/common/TextStyles.h"
#include "ui/sheets/SearchResultsTableModel.h"
#include "ui/sheets/SearchSheet.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QPointer>
#include <QTableView>
#include <QTest>
#include <QThreadPool>

#include <fstream>
#include <set>

namespace kelvane::ui::sheets::test {
namespace {

using operations::SearchSheetModel;
namespace fs = std::filesystem;

void writeFile(const fs::path& path, std::size_t size)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << std::string(size, 'a');
}

class SearchSheetTest : public HomeFixture {
protected:
    void SetUp() override
    {
        HomeFixture::SetUp();
        root_ = kelvane::test::writeSearchFolder(home_.path() / "work");
        writeFile(root_ / "sub/deeper/readme.md", 5000);
        writeFile(root_ / "Makefile", 100);
    }

    SearchSheet* openSheet()
    {
        window_ = std::make_unique<QWidget>();
        window_->show();
        auto model = std::make_unique<SearchSheetModel>(container_->mainContext(),
                                                        platform::LanguageModel::unavailableModel());
        model->setRootURL(root_);
        auto* sheet = new SearchSheet(std::move(model), shell_, window_.get());
        sheet->open();
        return sheet;
    }
    static void setField(SearchSheet* sheet, const char* name, const QString& text)
    {
        auto* field = child<QLineEdit>(sheet, name);
        field->selectAll();
        QTest::keyClicks(field, text);
    }
    static void choose(SearchSheet* sheet, const char* name, const QString& label)
    {
        auto* combo = child<QComboBox>(sheet, name);
        const int index = combo->findText(label);
        ASSERT_GE(index, 0);
        combo->setCurrentIndex(index);
        emit combo->activated(index);
    }
    static void search(SearchSheet* sheet)
    {
        QTest::mouseClick(button(sheet, "searchButton"), Qt::LeftButton);
        ASSERT_TRUE(waitUntil([&] { return !sheet->model().isSearching(); }));
    }
    static QStringList names(SearchSheet* sheet)
    {
        QStringList result;
        for (int row = 0; row < sheet->resultsModel()->rowCount(); ++row)
            result << sheet->resultsModel()->index(row, SearchResultsTableModel::name).data().toString();
        return result;
    }
    // The register button, which tells how many files are picked.
    static QAbstractButton* registerButton(SearchSheet* sheet, int picked)
    {
        QAbstractButton* found = button(sheet, "registerButton");
        EXPECT_EQ(found->text(), QStringLiteral("選択を登録 (%1)").arg(picked));
        return found;
    }
    static int page(SearchSheet* sheet) { return child<QStackedWidget>(sheet, "resultArea")->currentIndex(); }

    fs::path root_;
    kelvane::test::FakeShell shell_;
    std::unique_ptr<QWidget> window_;
};

TEST_F(SearchSheetTest, SizeAndDateFieldsBecomeLimits)
{
    using Model = SearchSheetModel;
    EXPECT_EQ(Model::parseMegabytes("10"), 10'000'000u);
    EXPECT_EQ(Model::parseMegabytes(" \t10 "), 10'000'000u);
    EXPECT_EQ(Model::parseMegabytes("0.5"), 500'000u);
    EXPECT_EQ(Model::parseMegabytes("1.2345678"), 1'234'567u);
    EXPECT_EQ(Model::parseMegabytes("1e3"), 1'000'000'000u);
    EXPECT_EQ(Model::parseMegabytes("0x1p4"), 16'000'000u);
    EXPECT_EQ(Model::parseMegabytes("0"), 0u);
    EXPECT_EQ(Model::parseMegabytes("0.0000005"), 0u);
    EXPECT_GT(Model::parseMegabytes("18446744073709.5").value_or(0), 18'446'744'073'709'000'000u);
    // Bad text, negative values and values that do not fit: no limit.
    for (const char* text : {"", "  ", "10MB", "-1", "abc", "1,5", "1 0", "10\n", "nan", "inf", "-inf", "1e300",
                             "18446744073709.552", "1e400"})
        EXPECT_EQ(Model::parseMegabytes(text), std::nullopt) << text;

    Model model(container_->mainContext(), platform::LanguageModel::unavailableModel());
    EXPECT_EQ(model.rootURL(), home_.path());
    model.setDateValue(5);
    model.setDateUnit(Model::DateUnit::month);
    EXPECT_EQ(model.modifiedBefore(), std::nullopt);
    model.setDateMode(Model::DateMode::olderThan);
    const auto fiveMonths = std::chrono::system_clock::now() - *model.modifiedBefore();
    EXPECT_GT(fiveMonths, std::chrono::days(140));
    EXPECT_LT(fiveMonths, std::chrono::days(160));
    model.setDateValue(0);
    EXPECT_LT(std::chrono::system_clock::now() - *model.modifiedBefore(), std::chrono::minutes(1));
    // Beyond what the clock can hold: no limit, never an overflow.
    for (std::int64_t huge : {std::int64_t(400) * 12, std::int64_t(1) << 40, std::numeric_limits<std::int64_t>::min(),
                              -(std::int64_t(1) << 40)}) {
        model.setDateValue(huge);
        EXPECT_EQ(model.modifiedBefore(), std::nullopt) << huge;
    }
    model.setDateUnit(Model::DateUnit::year);
    model.setDateValue(std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(model.modifiedBefore(), std::nullopt);

    EXPECT_EQ(model.extensionFilter(), std::nullopt);
    model.setExtPreset(Model::ExtPreset::binary);
    EXPECT_EQ(model.extensionFilter(),
              discovery::ExtensionFilter(discovery::ExtensionFilter::includeOnly{{"app", "dylib", "framework"}}));
    EXPECT_EQ(operations::extensionSet({"..TXT", "txt", "", "...", ".Tar.GZ", " md"}),
              (std::set<std::string>{"txt", "tar.gz", " md"}));
    // Rows are one per file, whatever else differs.
    const discovery::FileCandidate small{root_ / "a", 1, {}, false, false};
    const discovery::FileCandidate large{root_ / "a", 2, {}, true, false};
    EXPECT_EQ(operations::FileCandidateRow{small}, operations::FileCandidateRow{large});
    EXPECT_EQ(std::hash<operations::FileCandidateRow>()({small}), std::hash<operations::FileCandidateRow>()({large}));
    EXPECT_EQ(Model::extPresetFromRawValue("sourceCode"), Model::ExtPreset::sourceCode);
    EXPECT_EQ(Model::extPresetFromRawValue("Text"), std::nullopt);
    EXPECT_EQ(Model::extPresetFromRawValue(" text"), std::nullopt);
}

TEST_F(SearchSheetTest, SearchShowsProgressThenRowsSortedBySize)
{
    SearchSheet* sheet = openSheet();
    QAbstractItemModelTester tester(sheet->resultsModel(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    EXPECT_EQ(child<QLabel>(sheet, "counts")->text(), " ");
    EXPECT_FALSE(registerButton(sheet, 0)->isEnabled());
    EXPECT_TRUE(showsLabel(sheet, "検索結果なし"));

    setField(sheet, "minSize", "0");
    choose(sheet, "extPreset", "テキスト系のみ");
    QTest::mouseClick(button(sheet, "searchButton"), Qt::LeftButton);
    EXPECT_TRUE(sheet->model().isSearching());
    EXPECT_FALSE(button(sheet, "searchButton")->isEnabled());
    EXPECT_TRUE(showsLabel(sheet, "0 ファイルをスキャン中… (一致 0 件)"));
    ASSERT_TRUE(waitUntil([&] { return !sheet->model().isSearching(); }));

    EXPECT_EQ(names(sheet), QStringList({"data.json", "readme.md", "notes.txt"}));
    EXPECT_EQ(sheet->resultsModel()->index(0, SearchResultsTableModel::size).data().toString(), "9 KB");
    EXPECT_EQ(sheet->resultsModel()->index(0, SearchResultsTableModel::stars).data().toString(), "★★★★★");
    EXPECT_EQ(sheet->resultsModel()->index(0, SearchResultsTableModel::path).data().toString(),
              QString::fromStdString((root_ / "sub").string()));
    EXPECT_EQ(child<QLabel>(sheet, "counts")->text(), "結果: 3 件 / 選択: 0 件");

    // No extension filter, no minimum: the file without an extension is there.
    choose(sheet, "extPreset", "全て");
    search(sheet);
    EXPECT_EQ(names(sheet), QStringList({"image.png", "data.json", "readme.md", "notes.txt", "Makefile"}));
    const QModelIndex makefileStars = sheet->resultsModel()->index(4, SearchResultsTableModel::stars);
    EXPECT_EQ(makefileStars.data().toString(), "☆☆☆☆☆");
    EXPECT_EQ(makefileStars.data(Qt::ToolTipRole).toString(), "不明 — 圧縮率は不明");

    // Sorting by name is plain code-point order.
    sheet->resultsView()->sortByColumn(SearchResultsTableModel::name, Qt::AscendingOrder);
    EXPECT_EQ(names(sheet), QStringList({"Makefile", "data.json", "image.png", "notes.txt", "readme.md"}));
}

TEST_F(SearchSheetTest, SizeFieldsThatDoNotFitMeanNoLimit)
{
    SearchSheet* sheet = openSheet();
    setField(sheet, "minSize", "1e300");
    setField(sheet, "maxSize", "inf");
    search(sheet);
    EXPECT_EQ(sheet->model().results().size(), 5u);
    setField(sheet, "minSize", "0.005");
    setField(sheet, "maxSize", "0.01");
    search(sheet);
    EXPECT_EQ(names(sheet), QStringList({"data.json", "readme.md"}));
}

TEST_F(SearchSheetTest, RegisteringCountsAndClosesTheSheet)
{
    registerItem(root_ / "notes.txt", false);
    SearchSheet* sheet = openSheet();
    setField(sheet, "minSize", "0");
    choose(sheet, "extPreset", "テキスト系のみ");
    search(sheet);
    sheet->resultsView()->selectAll();
    EXPECT_EQ(child<QLabel>(sheet, "counts")->text(), "結果: 3 件 / 選択: 3 件");
    QSignalSpy closed(sheet, &QDialog::finished);
    QTest::mouseClick(registerButton(sheet, 3), Qt::LeftButton);
    ASSERT_NE(sheet->registrationAlert(), nullptr);
    EXPECT_EQ(sheet->registrationAlert()->text(), "登録: 2 件、スキップ: 1 件");
    EXPECT_EQ(sheet->registrationAlert()->textFormat(), Qt::PlainText);
    ASSERT_TRUE(closed.wait(5000));
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_EQ(container_->mainContext().fetch<store::RegisteredItem>().size(), 3u);
}

TEST_F(SearchSheetTest, NamesThatMisleadAreShownAsTheyAreAndRegisteredAsTheyAre)
{
    const fs::path odd = root_ / "odd\u202Ebus\n";
    writeFile(odd / "abc\u202Etxt.exe", 7000);
    writeFile(odd / "zero\u200Bwidth\t.txt", 6000);
    writeFile(odd / "bad\xff.txt", 5000);
    SearchSheet* sheet = openSheet();
    setField(sheet, "minSize", "0.004");
    search(sheet);
    EXPECT_EQ(names(sheet), QStringList({"image.png", "data.json", "abc\\u202Etxt.exe", "zero\\u200Bwidth\\t.txt",
                                         "readme.md", "bad\\xFF.txt"}));
    const QString folder = QString::fromStdString(root_.string()) + "/odd\\u202Ebus\\n";
    EXPECT_EQ(sheet->resultsModel()->index(2, SearchResultsTableModel::path).data().toString(), folder);
    EXPECT_EQ(sheet->resultsModel()->index(2, SearchResultsTableModel::path).data(Qt::ToolTipRole).toString(),
              folder + "/abc\\u202Etxt.exe");

    // Registered under their real names.
    sheet->resultsView()->selectAll();
    QSignalSpy closed(sheet, &QDialog::finished);
    QTest::mouseClick(registerButton(sheet, 6), Qt::LeftButton);
    ASSERT_TRUE(closed.wait(5000));
    std::set<std::string> stored;
    for (const auto& item : container_->mainContext().fetch<store::RegisteredItem>())
        stored.insert(item->displayName());
    for (const char* name : {"abc\u202Etxt.exe", "zero\u200Bwidth\t.txt", "bad\xff.txt"})
        EXPECT_TRUE(stored.contains(name)) << name;
}

TEST_F(SearchSheetTest, FailedRegistrationIsShownAndTheSheetStays)
{
    SearchSheet* sheet = openSheet();
    setField(sheet, "minSize", "0");
    choose(sheet, "extPreset", "テキスト系のみ");
    search(sheet);
    sheet->resultsView()->selectAll();
    fs::remove(root_ / "sub/data.json");
    QSignalSpy closeRequested(&sheet->model(), &SearchSheetModel::closeRequested);
    QTest::mouseClick(registerButton(sheet, 3), Qt::LeftButton);
    const QString text = sheet->registrationAlert()->text();
    EXPECT_TRUE(text.startsWith("登録: 2 件、スキップ: 0 件、失敗: 1 件\n")) << text.toStdString();
    EXPECT_TRUE(text.contains("data.json"));
    EXPECT_FALSE(closeRequested.wait(1000));
    EXPECT_TRUE(sheet->isVisible());

    // Everything already registered: nothing new, and the sheet stays too.
    sheet->registrationAlert()->button(QMessageBox::Ok)->click();
    EXPECT_EQ(sheet->model().registrationSummary(), std::nullopt);
    sheet->model().setSelection({root_ / "notes.txt"});
    QTest::mouseClick(registerButton(sheet, 1), Qt::LeftButton);
    EXPECT_EQ(sheet->registrationAlert()->text(), "登録: 0 件、スキップ: 1 件");
    EXPECT_FALSE(closeRequested.wait(1000));
}

// The failure names the path with its control and direction characters
// written out; the summary's own line break stays a line break.
TEST_F(SearchSheetTest, AFailedRegistrationShowsThePathVisibly)
{
    const fs::path odd = root_ / "gone\u202Etxt\n.json";
    writeFile(odd, 7000);
    SearchSheet* sheet = openSheet();
    setField(sheet, "minSize", "0");
    choose(sheet, "extPreset", "テキスト系のみ");
    search(sheet);
    sheet->model().setSelection({odd});
    fs::remove(odd);
    QTest::mouseClick(registerButton(sheet, 1), Qt::LeftButton);
    ASSERT_NE(sheet->registrationAlert(), nullptr);
    const QString text = sheet->registrationAlert()->text();
    const QString head = QStringLiteral("登録: 0 件、スキップ: 0 件、失敗: 1 件\n");
    ASSERT_TRUE(text.startsWith(head)) << text.toStdString();
    const QString detail = text.mid(head.size());
    EXPECT_TRUE(detail.contains(QStringLiteral("gone\\u202Etxt\\n.json"))) << detail.toStdString();
    EXPECT_FALSE(detail.contains(QChar(0x202E))) << detail.toStdString();
    EXPECT_FALSE(detail.contains(u'\n')) << detail.toStdString();
}

TEST_F(SearchSheetTest, FailuresCancellationAndAClosedSheet)
{
    SearchSheet* sheet = openSheet();
    // A plain file as the root: the search runs and fails.
    sheet->model().setRootURL(root_ / "notes.txt");
    ASSERT_TRUE(button(sheet, "searchButton")->isEnabled());
    search(sheet);
    EXPECT_EQ(page(sheet), 1);
    EXPECT_TRUE(child<QLabel>(sheet, "searchError")->text().startsWith("検索失敗: "));
    // A root that is gone cannot be searched.
    sheet->model().setRootURL(root_ / "missing");
    EXPECT_FALSE(button(sheet, "searchButton")->isEnabled());

    // Cancelling keeps what was found, without a message.
    const fs::path many = home_.path() / "many";
    for (int index = 0; index < 4000; ++index)
        writeFile(many / ("d" + std::to_string(index % 40)) / ("f" + std::to_string(index) + ".txt"), 1);
    sheet->model().setRootURL(many);
    setField(sheet, "minSize", "0");
    QTest::mouseClick(button(sheet, "searchButton"), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return !sheet->model().results().empty(); }));
    QTest::mouseClick(button(sheet, "cancelSearchButton"), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return !sheet->model().isSearching(); }));
    const std::size_t found = sheet->model().results().size();
    EXPECT_GE(found, 1u);
    EXPECT_EQ(sheet->model().searchError(), std::nullopt);
    EXPECT_EQ(page(sheet), 3);
    EXPECT_EQ(sheet->resultsModel()->rowCount(), static_cast<int>(found));

    // A sheet closed while its search runs is never written into.
    QTest::mouseClick(button(sheet, "searchButton"), Qt::LeftButton);
    QTest::keyClick(sheet, Qt::Key_Escape);
    delete sheet;
    operations::workerPool().waitForDone(60000);
    QTest::qWait(20);
}

TEST_F(SearchSheetTest, MinimisingAndRestoringLeavesTheSearchAndTheAskSheetAlone)
{
    const fs::path many = home_.path() / "many";
    for (int index = 0; index < 1000; ++index)
        writeFile(many / ("d" + std::to_string(index % 30)) / ("f" + std::to_string(index) + ".txt"), 1);
    SearchSheet* sheet = openSheet();
    sheet->model().setRootURL(many);
    setField(sheet, "minSize", "0");
    QTest::mouseClick(button(sheet, "searchButton"), Qt::LeftButton);
    ASSERT_TRUE(sheet->model().isSearching());
    minimiseAndRestore(sheet);
    ASSERT_TRUE(waitUntil([&] { return !sheet->model().isSearching(); }));
    EXPECT_EQ(sheet->model().results().size(), 1000u);  // not cut short

    sheet->askAI(many / "d0" / "f0.txt");
    QPointer<QDialog> ask = sheet->askSheet();
    ASSERT_NE(ask, nullptr);
    minimiseAndRestore(sheet);
    ASSERT_FALSE(ask.isNull());
    EXPECT_TRUE(ask->isVisible());
    EXPECT_TRUE(sheet->isVisible());

    // Closing is what takes them away.
    QTest::keyClick(sheet, Qt::Key_Escape);
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_TRUE(ask.isNull() || !ask->isVisible());
}

TEST_F(SearchSheetTest, ResultActionsRevealAndAsk)
{
    SearchSheet* sheet = openSheet();
    setField(sheet, "minSize", "0");
    search(sheet);
    sheet->model().setSelection({root_ / "notes.txt", root_ / "image.png"});
    EXPECT_EQ(sheet->resultsView()->selectionModel()->selectedRows().size(), 2);

    sheet->askAI(root_ / "notes.txt");
    QDialog* ask = sheet->askSheet();
    ASSERT_NE(ask, nullptr);
    EXPECT_EQ(ask->parent(), sheet);
    EXPECT_TRUE(ask->isVisible());
    EXPECT_TRUE(showsLabel(ask, "ローカル AI のエンドポイントが設定されていません。"));
    sheet->reject();
    EXPECT_FALSE(ask->isVisible());

    // The folder chooser replaces the root only when a folder was chosen.
    shell_.folderAnswers = {home_.path() / "chosen", {}};
    fs::create_directories(home_.path() / "chosen");
    SearchSheet* second = openSheet();
    QTest::mouseClick(button(second, "chooseRootButton"), Qt::LeftButton);
    EXPECT_EQ(second->model().rootURL(), home_.path() / "chosen");
    QTest::mouseClick(button(second, "chooseRootButton"), Qt::LeftButton);
    EXPECT_EQ(second->model().rootURL(), home_.path() / "chosen");
}

TEST_F(SearchSheetTest, ResultColumnsKeepTheirBoundsAndFiguresKeepTheTableTypeface)
{
    SearchSheet* sheet = openSheet();
    setField(sheet, "minSize", "0");
    search(sheet);
    QTableView* view = sheet->resultsView();
    ASSERT_GT(view->model()->rowCount(), 0);
    EXPECT_FALSE(view->model()->index(0, SearchResultsTableModel::name).data(Qt::DecorationRole).value<QIcon>().isNull())
        << "the document symbol beside the name";
    // Figures are in the table's own typeface, with digits of one width.
    for (const int column : {int(SearchResultsTableModel::size), int(SearchResultsTableModel::modified)}) {
        const QVariant font = view->model()->index(0, column).data(Qt::FontRole);
        ASSERT_TRUE(font.canConvert<QFont>());
        EXPECT_EQ(font.value<QFont>().family(), QApplication::font().family());
        EXPECT_TRUE(hasMonospacedDigits(font.value<QFont>()));
    }
    // The sheet at its smallest and at a wide size: every column within its
    // bounds and inside the view; the bounded last column never stretches.
    const int bounds[][2] = {{160, 0}, {160, 0}, {80, 130}, {100, 150}, {80, 140}};
    for (const int width : {600, 1400}) {
        sheet->resize(width, 560);
        ASSERT_TRUE(waitUntil([&] { return sheet->width() == width; }));
        QCoreApplication::processEvents();
        auto* header = view->horizontalHeader();
        for (int column = 0; column < 5; ++column) {
            SCOPED_TRACE(testing::Message() << "width " << width << ", column " << column);
            EXPECT_GE(header->sectionSize(column), bounds[column][0]);
            if (bounds[column][1] > 0) {
                EXPECT_LE(header->sectionSize(column), bounds[column][1]);
            }
            if (width > 1000) {
                EXPECT_LE(header->sectionViewportPosition(column) + header->sectionSize(column),
                          view->viewport()->width());
            }
        }
    }
}

}  // namespace
}  // namespace kelvane::ui::sheets::test
