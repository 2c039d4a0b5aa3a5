// SPDX-License-Identifier: MIT
// The ask sheet's model driven as the sheet drives it, with no window: what
// it says when no model can answer, and how a request is asked, cancelled,
// retried and failed.
#include "OperationsTestSupport.h"

#include "operations/sheets/AskAIModel.h"
#include "platform/qt/LanguageModel.h"

#include <QString>

#include <fstream>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kelvane::operations::test {
namespace {

using Kind = AskAIModel::Phase::Kind;

// A loopback port that takes connections into its backlog and never answers,
// so a request stays under way until it is dropped.
class SilentPort {
public:
    SilentPort()
    {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(fd_, 8) != 0 || ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            return;
        port_ = ntohs(address.sin_port);
    }
    ~SilentPort() { close(); }
    SilentPort(const SilentPort&) = delete;
    SilentPort& operator=(const SilentPort&) = delete;

    // Nothing listens there any more: a connection is refused.
    void close()
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }
    int port() const { return port_; }
    QString endpoint() const { return QStringLiteral("http://127.0.0.1:%1/v1").arg(port_); }

private:
    int fd_ = -1;
    int port_ = 0;
};

class AskAIModelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        application();
        file_ = dir_.path() / "mystery.dat";
        std::ofstream(file_) << "0123456789";
    }

    std::unique_ptr<AskAIModel> model(const QString& endpoint, const QString& modelName = QStringLiteral("m"))
    {
        return std::make_unique<AskAIModel>(file_, platform::LanguageModel::make({endpoint, modelName}));
    }

    kelvane::test::TempDir dir_;
    std::filesystem::path file_;
};

TEST_F(AskAIModelTest, WithoutAUsableModelItSaysWhyAndAsksNothing)
{
    const struct {
        QString endpoint;
        QString modelName;
        QString text;
    } cases[] = {
        {QString(), QStringLiteral("m"), QStringLiteral("ローカル AI のエンドポイントが設定されていません。")},
        {QStringLiteral("http://127.0.0.1:9/v1"), QString(), QStringLiteral("ローカル AI のモデルが設定されていません。")},
        {QStringLiteral("http://192.0.2.1:9/v1"), QStringLiteral("m"), QStringLiteral("ローカル AI が利用できません（理由不明）。")},
    };
    for (const auto& c : cases) {
        auto ask = model(c.endpoint, c.modelName);
        ask->ask();
        EXPECT_EQ(ask->phase(), (AskAIModel::Phase{Kind::unavailable, c.text})) << c.endpoint.toStdString();
        EXPECT_FALSE(ask->hasStream());
    }
}

TEST_F(AskAIModelTest, ThePromptNamesTheFileAndItsFacts)
{
    const QString prompt = model(QString())->buildPrompt();
    EXPECT_TRUE(prompt.contains(QStringLiteral("- パス: ") + QString::fromStdString(file_.string())));
    EXPECT_TRUE(prompt.contains(QStringLiteral("- ファイル名: mystery.dat")));
    EXPECT_TRUE(prompt.contains(QStringLiteral("- 拡張子: .dat")));
    EXPECT_TRUE(prompt.contains(QStringLiteral("- サイズ: ")));

    // A file that is gone has no size or date to tell.
    const QString gone = AskAIModel(dir_.path() / "gone", platform::LanguageModel::unavailableModel()).buildPrompt();
    EXPECT_FALSE(gone.contains(QStringLiteral("- サイズ: ")));
    EXPECT_FALSE(gone.contains(QStringLiteral("- 最終更新: ")));
}

TEST_F(AskAIModelTest, CancellingEndsTheRequestAndRetryAsksAfresh)
{
    SilentPort port;
    ASSERT_NE(port.port(), 0);
    auto ask = model(port.endpoint());
    int phases = 0;
    QObject::connect(ask.get(), &AskAIModel::phaseChanged, [&] { ++phases; });
    ask->ask();
    EXPECT_EQ(ask->phase().kind, Kind::streaming);
    EXPECT_TRUE(ask->hasStream());
    EXPECT_TRUE(ask->streamedAnswer().isEmpty());

    ask->cancelStream();
    EXPECT_EQ(ask->phase().kind, Kind::done);
    EXPECT_FALSE(ask->hasStream());
    const int afterCancel = phases;
    ask->cancelStream();  // nothing runs: nothing changes
    EXPECT_EQ(phases, afterCancel);

    ask->retry();
    EXPECT_EQ(ask->phase().kind, Kind::streaming);
    EXPECT_TRUE(ask->hasStream());
    ask->cancelStream();
}

TEST_F(AskAIModelTest, ARefusedConnectionFailsWithItsReason)
{
    SilentPort port;
    ASSERT_NE(port.port(), 0);
    port.close();
    auto ask = model(port.endpoint());
    ask->ask();
    ASSERT_TRUE(waitUntil([&] { return ask->phase().kind != Kind::streaming; }, std::chrono::seconds(30)));
    EXPECT_EQ(ask->phase().kind, Kind::failed);
    EXPECT_FALSE(ask->phase().text.isEmpty());
    EXPECT_FALSE(ask->hasStream());
}

}  // namespace
}  // namespace kelvane::operations::test
