// SPDX-License-Identifier: MIT
#include "FakeChatServer.h"
#include "SheetsTestSupport.h"

#include "operations/sheets/AskAIModel.h"
#include "platform/qt/LanguageModel.h"
#include "ui/common/ElidedLabel.h"
#include "ui/sheets/AskAISheet.h"

#include <QPushButton>
#include <QTest>

#include <fstream>

namespace kelvane::ui::sheets::test {
namespace {

using operations::AskAIModel;
using platform::LanguageModel;
using Kind = AskAIModel::Phase::Kind;

class AskAISheetTest : public HomeFixture {
protected:
    void SetUp() override
    {
        HomeFixture::SetUp();
        file_ = home_.path() / "cache.db";
        std::ofstream(file_) << std::string(5000, 'x');
    }

    AskAISheet* openSheet(std::shared_ptr<LanguageModel> model, const std::filesystem::path& file)
    {
        window_ = std::make_unique<QWidget>();
        window_->show();
        auto* sheet = new AskAISheet(std::make_unique<AskAIModel>(file, std::move(model)), window_.get());
        sheet->open();
        return sheet;
    }
    std::shared_ptr<LanguageModel> modelFor(const FakeChatServer& server)
    {
        return LanguageModel::make({server.endpoint(), "test-model"});
    }
    static QString answerText(const AskAISheet* sheet)
    {
        auto* answer = child<QLabel>(sheet, "answer");
        return answer->isVisibleTo(sheet) ? answer->text() : QString("<hidden>");
    }
    static bool waiting(const AskAISheet* sheet) { return child(sheet, "progressRow")->isVisibleTo(sheet); }

    // A sheet on file_ whose question reached `server` and whose answer
    // shows `firstPart`, streamed; null (and a failure) when either did not come.
    AskAISheet* openStreaming(FakeChatServer& server, const QString& firstPart)
    {
        AskAISheet* sheet = openSheet(modelFor(server), file_);
        if (!waitUntil([&] { return server.requests.size() == 1; })) {
            ADD_FAILURE() << "the question never reached the server";
            return nullptr;
        }
        server.sendFragment(firstPart);
        if (!waitUntil([&] { return answerText(sheet) == firstPart; })) {
            ADD_FAILURE() << "the answer shows " << answerText(sheet).toStdString();
            return nullptr;
        }
        return sheet;
    }

    std::filesystem::path file_;
    std::unique_ptr<QWidget> window_;
};

TEST_F(AskAISheetTest, WithoutUsableEndpointShowsUnavailableAndSendsNothing)
{
    FakeChatServer server;
    // Not configured, a host elsewhere, a name that only starts like a
    // loopback one: none of them may be asked.
    const QString endpoints[] = {"", "http://192.0.2.7:" + QString::number(server.port()) + "/v1",
                                 "http://127.0.0.1.example.com:" + QString::number(server.port()),
                                 "http://localhost.example.com/v1", "ftp://127.0.0.1/v1"};
    for (const QString& endpoint : endpoints) {
        SCOPED_TRACE(endpoint.toStdString());
        auto model = LanguageModel::make({endpoint, "m"});
        // Stops here, before anything could be sent.
        ASSERT_TRUE(std::holds_alternative<LanguageModel::unavailable>(model->availability()));
        ASSERT_EQ(model->streamResponse("i", "p"), nullptr);
        AskAISheet* sheet = openSheet(model, file_);
        EXPECT_EQ(sheet->model().phase().kind, Kind::unavailable);
        EXPECT_TRUE(showsLabel(sheet, "⚠ ローカル AI が利用できません"));
        EXPECT_TRUE(showsLabel(sheet, endpoint.isEmpty() ? "ローカル AI のエンドポイントが設定されていません。"
                                                         : "ローカル AI が利用できません（理由不明）。"));
        EXPECT_EQ(button(sheet, "cancelButton"), nullptr);
        EXPECT_EQ(button(sheet, "retryButton"), nullptr);
        EXPECT_NE(button(sheet, "closeButton"), nullptr);
        EXPECT_FALSE(waiting(sheet));
    }
    QTest::qWait(0);
    EXPECT_EQ(server.connections, 0);

    // The environment is what the application reads.
    qputenv("KELVANE_AI_ENDPOINT", server.endpoint().toUtf8());
    qunsetenv("KELVANE_AI_MODEL");
    EXPECT_TRUE(std::holds_alternative<LanguageModel::unavailable>(LanguageModel::fromEnvironment()->availability()));
    qputenv("KELVANE_AI_MODEL", "m");
    EXPECT_TRUE(std::holds_alternative<LanguageModel::available>(LanguageModel::fromEnvironment()->availability()));
    qunsetenv("KELVANE_AI_ENDPOINT");
    qunsetenv("KELVANE_AI_MODEL");
}

TEST_F(AskAISheetTest, AnEndpointWithoutAModelNamesTheMissingModelNotTheEndpoint)
{
    FakeChatServer server;
    for (const QString& model : {QString(), QStringLiteral("  ")}) {
        AskAISheet* sheet = openSheet(LanguageModel::make({server.endpoint(), model}), file_);
        EXPECT_EQ(sheet->model().phase().kind, Kind::unavailable);
        EXPECT_TRUE(showsLabel(sheet, "ローカル AI のモデルが設定されていません。"));
        EXPECT_FALSE(showsLabel(sheet, "ローカル AI のエンドポイントが設定されていません。"));
        EXPECT_FALSE(waiting(sheet));
    }
    // The same from the environment the application reads.
    qputenv("KELVANE_AI_ENDPOINT", server.endpoint().toUtf8());
    qunsetenv("KELVANE_AI_MODEL");
    AskAISheet* sheet = openSheet(LanguageModel::fromEnvironment(), file_);
    EXPECT_TRUE(showsLabel(sheet, "ローカル AI のモデルが設定されていません。"));
    qunsetenv("KELVANE_AI_ENDPOINT");
    QTest::qWait(0);
    EXPECT_EQ(server.connections, 0);
}

TEST_F(AskAISheetTest, AFileWhoseNameMisleadsIsNamedAsItIs)
{
    const std::filesystem::path odd = home_.path() / "dir\u200B\n" / "song\u202E3pm.exe";
    std::filesystem::create_directories(odd.parent_path());
    std::ofstream(odd) << "x";
    AskAISheet* sheet = openSheet(LanguageModel::unavailableModel(), odd);
    EXPECT_EQ(child<ElidedLabel>(sheet, "fileName")->text(), "song\\u202E3pm.exe");
    EXPECT_EQ(child<ElidedLabel>(sheet, "fileFolder")->text(),
              QString::fromStdString(home_.path().string()) + "/dir\\u200B\\n");
    // The question box, which is also what the local AI is sent, names it
    // the same way: no line of it reads "3pm.exe" backwards.
    const QString question = child<QLabel>(sheet, "prompt")->text();
    const QString folder = QString::fromStdString(home_.path().string()) + "/dir\\u200B\\n";
    EXPECT_TRUE(question.contains("\n- パス: " + folder + "/song\\u202E3pm.exe\n")) << question.toStdString();
    EXPECT_TRUE(question.contains("\n- ファイル名: song\\u202E3pm.exe\n")) << question.toStdString();
    EXPECT_TRUE(question.contains("\n- 拡張子: .exe\n")) << question.toStdString();
    EXPECT_FALSE(question.contains(QChar(0x202E)));
    EXPECT_FALSE(question.contains(QChar(0x200B)));
    EXPECT_EQ(question, sheet->model().buildPrompt());
}

TEST_F(AskAISheetTest, LoopbackEndpointsBecomeChatCompletionsUrls)
{
    auto url = [](const char* endpoint) {
        auto result = LanguageModel::chatCompletionsUrl(endpoint);
        return std::holds_alternative<QUrl>(result) ? std::get<QUrl>(result).toString() : QString("unavailable");
    };
    EXPECT_EQ(url("http://localhost:11434/v1"), "http://127.0.0.1:11434/v1/chat/completions");
    EXPECT_EQ(url("http://127.0.0.1:8080/v1/"), "http://127.0.0.1:8080/v1/chat/completions");
    EXPECT_EQ(url("http://127.8.9.10:8080/v1/chat/completions"), "http://127.8.9.10:8080/v1/chat/completions");
    EXPECT_EQ(url("http://[::1]:8080"), "http://[::1]:8080/chat/completions");
    EXPECT_EQ(url("http://10.0.0.1:8080/v1"), "unavailable");
    EXPECT_EQ(url("http://[::2]:8080/v1"), "unavailable");
    EXPECT_EQ(url("not a url"), "unavailable");
}

TEST_F(AskAISheetTest, AnswerStreamsInReplacingTheTextAndEnds)
{
    FakeChatServer server;
    AskAISheet* sheet = openSheet(modelFor(server), file_);
    EXPECT_TRUE(waiting(sheet));
    ASSERT_TRUE(waitUntil([&] { return server.requests.size() == 1; }));

    const QJsonObject body = server.requests[0].body;
    EXPECT_TRUE(server.requests[0].head.startsWith("POST /v1/chat/completions "));
    EXPECT_EQ(body["model"].toString(), "test-model");
    EXPECT_TRUE(body["stream"].toBool());
    const QJsonArray messages = body["messages"].toArray();
    ASSERT_EQ(messages.size(), 2);
    EXPECT_EQ(messages[0]["content"].toString(), AskAIModel::instructions());
    const QString prompt = messages[1]["content"].toString();
    EXPECT_EQ(prompt, child<QLabel>(sheet, "prompt")->text());
    EXPECT_TRUE(prompt.contains("\n- パス: " + QString::fromStdString(file_.string()) + "\n- ファイル名: cache.db\n"
                                "- 拡張子: .db\n- サイズ: 5 KB\n- 最終更新: "));

    server.sendFragment("こん");
    ASSERT_TRUE(waitUntil([&] { return answerText(sheet) == "こん"; }));
    EXPECT_FALSE(waiting(sheet));
    EXPECT_NE(button(sheet, "cancelButton"), nullptr);
    // A fragment split across packets, with CR LF line ends and a comment line.
    server.sendRaw(": keep-alive\r\n\r\ndata: {\"choices\":[{\"delta\":{\"con");
    QTest::qWait(20);
    server.sendRaw("tent\":\"にちは <b>x</b>\"}}]}\r\n\r");
    QTest::qWait(20);
    EXPECT_EQ(answerText(sheet), "こん");
    server.sendRaw("\n");
    ASSERT_TRUE(waitUntil([&] { return answerText(sheet) == "こんにちは <b>x</b>"; }));
    EXPECT_EQ(child<QLabel>(sheet, "answer")->textFormat(), Qt::PlainText);

    server.finish();
    ASSERT_TRUE(waitUntil([&] { return sheet->model().phase().kind == Kind::done; }));
    EXPECT_EQ(answerText(sheet), "こんにちは <b>x</b>");
    EXPECT_EQ(button(sheet, "cancelButton"), nullptr);
    EXPECT_NE(button(sheet, "retryButton"), nullptr);
}

TEST_F(AskAISheetTest, CancelKeepsThePartialAnswerAndRetryAsksAfresh)
{
    FakeChatServer server;
    AskAISheet* sheet = openStreaming(server, "途中まで");
    ASSERT_NE(sheet, nullptr);

    QTest::mouseClick(button(sheet, "cancelButton"), Qt::LeftButton);
    EXPECT_EQ(sheet->model().phase().kind, Kind::done);
    EXPECT_EQ(answerText(sheet), "途中まで");
    ASSERT_TRUE(waitUntil([&] { return server.disconnects == 1; }));
    // Whatever the dropped stream still had in flight changes nothing.
    server.sendFragment("その続き");
    QTest::qWait(50);
    EXPECT_EQ(answerText(sheet), "途中まで");

    QTest::mouseClick(button(sheet, "retryButton"), Qt::LeftButton);
    EXPECT_TRUE(waiting(sheet));
    ASSERT_TRUE(waitUntil([&] { return server.requests.size() == 2; }));
    server.sendFragment("新しい回答");
    ASSERT_TRUE(waitUntil([&] { return answerText(sheet) == "新しい回答"; }));
}

TEST_F(AskAISheetTest, RetryDuringAStreamNeverMixesTwoAnswers)
{
    FakeChatServer server;
    AskAISheet* sheet = openStreaming(server, "古い");
    ASSERT_NE(sheet, nullptr);

    sheet->model().retry();
    EXPECT_EQ(sheet->model().streamedAnswer(), "");
    EXPECT_EQ(sheet->model().phase().kind, Kind::streaming);
    // The old stream ends (and more of it arrives) while the new one runs.
    server.sendFragment("古い続き");
    server.finish();
    ASSERT_TRUE(waitUntil([&] { return server.requests.size() == 2; }));
    QTest::qWait(50);
    EXPECT_EQ(sheet->model().phase().kind, Kind::streaming);
    EXPECT_TRUE(sheet->model().hasStream());
    EXPECT_TRUE(waiting(sheet));

    server.sendFragment("新");
    ASSERT_TRUE(waitUntil([&] { return answerText(sheet) == "新"; }));
    server.finish();
    ASSERT_TRUE(waitUntil([&] { return sheet->model().phase().kind == Kind::done; }));
    EXPECT_EQ(answerText(sheet), "新");
}

TEST_F(AskAISheetTest, ClosingTheSheetDropsTheConnection)
{
    FakeChatServer server;
    AskAISheet* sheet = openStreaming(server, "a");
    ASSERT_NE(sheet, nullptr);

    QTest::keyClick(sheet, Qt::Key_Escape);
    EXPECT_FALSE(sheet->isVisible());
    ASSERT_TRUE(waitUntil([&] { return server.disconnects == 1; }));
    EXPECT_FALSE(sheet->model().hasStream());
    EXPECT_EQ(sheet->model().phase().kind, Kind::done);
}

TEST_F(AskAISheetTest, MinimisingAndRestoringLeavesTheAnswerStreaming)
{
    FakeChatServer server;
    AskAISheet* sheet = openStreaming(server, "前半");
    ASSERT_NE(sheet, nullptr);

    bool hidden = false;
    sheet->installEventFilter(new EventWatch(sheet, QEvent::Hide, hidden));
    minimiseAndRestore(sheet);
    ASSERT_TRUE(hidden);  // the system did hide it
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_EQ(sheet->model().phase().kind, Kind::streaming);
    server.sendFragment("と後半");
    ASSERT_TRUE(waitUntil([&] { return answerText(sheet) == "前半と後半"; }));
    EXPECT_EQ(server.disconnects, 0);
    EXPECT_EQ(server.requests.size(), 1);  // asked once
    EXPECT_EQ(server.connections, 1);
}

TEST_F(AskAISheetTest, FailuresShowTheErrorAndNeverFollowARedirect)
{
    FakeChatServer server;
    server.responseHead = "HTTP/1.1 500 Internal Server Error\r\nContent-Type: application/json\r\n"
                          "Connection: close\r\n\r\n{\"error\":{\"message\":\"model not loaded\"}}";
    AskAISheet* sheet = openSheet(modelFor(server), file_);
    ASSERT_TRUE(waitUntil([&] { return server.requests.size() == 1; }));
    server.hangUp();
    ASSERT_TRUE(waitUntil([&] { return sheet->model().phase().kind == Kind::failed; }));
    EXPECT_TRUE(showsLabel(sheet, "⚠ 回答取得に失敗"));
    EXPECT_TRUE(showsLabel(sheet, "HTTP 500: model not loaded"));
    EXPECT_EQ(button(sheet, "retryButton"), nullptr);
    sheet->reject();

    // A loopback server may not send the question on to another place.
    FakeChatServer elsewhere;
    server.responseHead = "HTTP/1.1 307 Temporary Redirect\r\nLocation: " +
                          elsewhere.endpoint("/v1/chat/completions").toUtf8() +
                          "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
    AskAISheet* second = openSheet(modelFor(server), file_);
    ASSERT_TRUE(waitUntil([&] { return server.requests.size() == 2; }));
    server.hangUp();
    ASSERT_TRUE(waitUntil([&] { return second->model().phase().kind == Kind::failed; }));
    EXPECT_EQ(second->model().phase().text, "HTTP 307");
    EXPECT_EQ(elsewhere.connections, 0);
}

TEST_F(AskAISheetTest, AStreamThatBreaksOffOrTalksNonsenseEndsCleanly)
{
    // Without its closing mark the stream still ends with what came.
    FakeChatServer server;
    AskAISheet* sheet = openSheet(modelFor(server), file_);
    ASSERT_TRUE(waitUntil([&] { return server.requests.size() == 1; }));
    server.sendFragment("ここまで");
    server.hangUp();
    ASSERT_TRUE(waitUntil([&] { return sheet->model().phase().kind == Kind::done; }));
    EXPECT_EQ(answerText(sheet), "ここまで");

    // A line that is not an answer fails the request; the part before it
    // is not shown.
    QTest::mouseClick(button(sheet, "retryButton"), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return server.requests.size() == 2; }));
    server.sendFragment("a");
    server.sendRaw("data: {not json\n\n");
    ASSERT_TRUE(waitUntil([&] { return sheet->model().phase().kind == Kind::failed; }));
    EXPECT_TRUE(sheet->model().phase().text.startsWith("ローカル AI の応答を読めません: "));
    EXPECT_EQ(answerText(sheet), "<hidden>");
    ASSERT_TRUE(waitUntil([&] { return server.disconnects == 2; }));

    // An error event in the stream says what went wrong.
    sheet->reject();
    AskAISheet* second = openSheet(modelFor(server), file_);
    ASSERT_TRUE(waitUntil([&] { return server.requests.size() == 3; }));
    server.sendRaw("data: {\"error\":{\"message\":\"context too long\"}}\n\n");
    ASSERT_TRUE(waitUntil([&] { return second->model().phase().kind == Kind::failed; }));
    EXPECT_EQ(second->model().phase().text, "context too long");
}

TEST_F(AskAISheetTest, PromptLeavesOutWhatTheFileDoesNotHave)
{
    auto model = LanguageModel::unavailableModel();
    const QString gone = AskAIModel(home_.path() / "gone" / "Makefile", model).buildPrompt();
    EXPECT_EQ(gone, "このファイルが何なのか、用途と一般的な特徴を教えてください。\n\n- パス: " +
                        QString::fromStdString((home_.path() / "gone/Makefile").string()) +
                        "\n- ファイル名: Makefile\n\n以下の観点で簡潔に答えてください:\n"
                        "1. このファイルは一般的に何のために存在しますか？（フォルダ位置のヒントもあれば）\n"
                        "2. 削除しても安全ですか？それとも何かが壊れますか？\n"
                        "3. macOS の透過圧縮（decmpfs / LZFSE）で容量を節約できそうですか？");
    // A leading dot is not an extension; the size is read from the file.
    std::ofstream(home_.path() / ".profile") << "abc";
    const QString hidden = AskAIModel(home_.path() / ".profile", model).buildPrompt();
    EXPECT_FALSE(hidden.contains("- 拡張子:"));
    EXPECT_TRUE(hidden.contains("\n- サイズ: 3 B\n- 最終更新: "));
}

}  // namespace
}  // namespace kelvane::ui::sheets::test
