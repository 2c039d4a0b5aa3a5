// SPDX-License-Identifier: MIT
#include "platform/qt/LanguageModel.h"

#include "platform/Logger.h"

#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace kelvane::platform {

namespace {

// A model runner streams short lines; anything longer is not a sound reply.
constexpr qsizetype kMaxLineBytes = 1 << 20;
constexpr qsizetype kMaxErrorBodyBytes = 64 << 10;
constexpr qsizetype kMaxAnswerChars = 4 << 20;

class UnavailableLanguageModel final : public LanguageModel {
public:
    explicit UnavailableLanguageModel(unavailable why) : why_(why) {}

    Availability availability() const override { return why_; }
    std::unique_ptr<LanguageModelResponse> streamResponse(const QString&, const QString&) override { return nullptr; }

private:
    unavailable why_;
};

class ChatCompletionsLanguageModel final : public LanguageModel {
public:
    ChatCompletionsLanguageModel(QUrl url, QString model) : url_(std::move(url)), model_(std::move(model))
    {
        // A proxy or a redirect would carry the prompt off this machine.
        network_.setProxy(QNetworkProxy::NoProxy);
        network_.setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
    }

    Availability availability() const override { return available{}; }

    std::unique_ptr<LanguageModelResponse> streamResponse(const QString& instructions, const QString& prompt) override
    {
        const QJsonObject system{{"role", "system"}, {"content", instructions}};
        const QJsonObject user{{"role", "user"}, {"content", prompt}};
        const QJsonObject body{{"model", model_}, {"stream", true}, {"messages", QJsonArray{system, user}}};
        return std::make_unique<LanguageModelResponse>(&network_, url_,
                                                       QJsonDocument(body).toJson(QJsonDocument::Compact));
    }

private:
    QNetworkAccessManager network_;
    QUrl url_;
    QString model_;
};

bool isLoopbackHost(const QString& host)
{
    if (host.compare("localhost", Qt::CaseInsensitive) == 0)
        return true;
    QHostAddress address;
    return address.setAddress(host) && address.isLoopback();
}

QString errorMessageOf(const QByteArray& json)
{
    const QJsonObject object = QJsonDocument::fromJson(json).object();
    const QJsonValue error = object.value("error");
    if (error.isObject())
        return error.toObject().value("message").toString();
    return error.toString();
}

}  // namespace

std::variant<QUrl, LanguageModel::unavailable> LanguageModel::chatCompletionsUrl(const QString& endpoint)
{
    using Reason = unavailable::Reason;
    QUrl url(endpoint.trimmed(), QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() || (url.scheme() != "http" && url.scheme() != "https"))
        return unavailable{Reason::invalidEndpoint};
    if (!isLoopbackHost(url.host()))
        return unavailable{Reason::notLoopback};
    // The name is never looked up: the resolver could send it anywhere.
    if (url.host().compare("localhost", Qt::CaseInsensitive) == 0)
        url.setHost("127.0.0.1");
    QString path = url.path();
    if (!path.endsWith("/chat/completions")) {
        while (path.endsWith('/'))
            path.chop(1);
        url.setPath(path + "/chat/completions");
    }
    return url;
}

std::shared_ptr<LanguageModel> LanguageModel::make(const Configuration& configuration)
{
    if (configuration.endpoint.trimmed().isEmpty())
        return unavailableModel();
    if (configuration.model.trimmed().isEmpty())
        return std::make_shared<UnavailableLanguageModel>(unavailable{unavailable::Reason::modelNotConfigured});
    auto url = chatCompletionsUrl(configuration.endpoint);
    if (auto* why = std::get_if<unavailable>(&url)) {
        Logger::ui().error("language model endpoint refused: %{private}s", configuration.endpoint.toStdString());
        return std::make_shared<UnavailableLanguageModel>(*why);
    }
    return std::make_shared<ChatCompletionsLanguageModel>(std::get<QUrl>(url), configuration.model.trimmed());
}

std::shared_ptr<LanguageModel> LanguageModel::unavailableModel()
{
    return std::make_shared<UnavailableLanguageModel>(unavailable{unavailable::Reason::notConfigured});
}

std::shared_ptr<LanguageModel> LanguageModel::fromEnvironment()
{
    return make({qEnvironmentVariable("KELVANE_AI_ENDPOINT"), qEnvironmentVariable("KELVANE_AI_MODEL")});
}

// --- LanguageModelResponse ----------------------------------------------------

LanguageModelResponse::LanguageModelResponse(QNetworkAccessManager* network, const QUrl& url, const QByteArray& body)
{
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
    request.setRawHeader("Accept", "text/event-stream");
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    reply_ = network->post(request, body);
    connect(reply_, &QNetworkReply::readyRead, this, &LanguageModelResponse::readAvailable);
    connect(reply_, &QNetworkReply::finished, this, &LanguageModelResponse::handleEnd);
}

LanguageModelResponse::~LanguageModelResponse()
{
    cancel();
}

void LanguageModelResponse::cancel()
{
    ended_ = true;
    if (reply_) {
        reply_->disconnect(this);
        reply_->abort();
        reply_->deleteLater();
        reply_ = nullptr;
    }
}

void LanguageModelResponse::readAvailable()
{
    if (ended_ || !reply_)
        return;
    const int status = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status < 200 || status > 299) {
        // Kept for the failure's text once the reply has ended.
        errorBody_ += reply_->read(kMaxErrorBodyBytes - errorBody_.size());
        reply_->readAll();
        return;
    }
    lineBuffer_ += reply_->readAll();
    qsizetype start = 0;
    for (qsizetype end = lineBuffer_.indexOf('\n'); end >= 0 && !ended_; end = lineBuffer_.indexOf('\n', start)) {
        QByteArray line = lineBuffer_.mid(start, end - start);
        start = end + 1;
        if (line.endsWith('\r'))
            line.chop(1);
        handleLine(line);
    }
    lineBuffer_.remove(0, start);
    if (!ended_ && lineBuffer_.size() > kMaxLineBytes)
        fail(QStringLiteral("ローカル AI の応答が長すぎる行を含んでいます。"));
}

void LanguageModelResponse::handleLine(const QByteArray& line)
{
    if (line.isEmpty()) {
        handleEvent();
        return;
    }
    if (!line.startsWith("data:"))
        return;  // comments, "event:", "id:" and "retry:" say nothing about the answer
    QByteArray value = line.mid(5);
    if (value.startsWith(' '))
        value.remove(0, 1);
    if (!eventData_.isEmpty())
        eventData_ += '\n';
    eventData_ += value;
    if (eventData_.size() > kMaxLineBytes)
        fail(QStringLiteral("ローカル AI の応答が長すぎる行を含んでいます。"));
}

void LanguageModelResponse::handleEvent()
{
    const QByteArray data = std::exchange(eventData_, {});
    if (data.isEmpty())
        return;
    if (data.trimmed() == "[DONE]") {
        ended_ = true;
        if (reply_) {
            reply_->disconnect(this);
            reply_->deleteLater();
            reply_ = nullptr;
        }
        emit finished();
        return;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(data, &parseError);
    if (!document.isObject()) {
        fail(QStringLiteral("ローカル AI の応答を読めません: ") + parseError.errorString());
        return;
    }
    const QJsonObject object = document.object();
    if (object.contains("error")) {
        fail(errorMessageOf(data));
        return;
    }
    const QJsonObject choice = object.value("choices").toArray().at(0).toObject();
    const QString fragment = choice.value("delta").toObject().value("content").toString();
    if (fragment.isEmpty())
        return;
    if (content_.size() + fragment.size() > kMaxAnswerChars) {
        fail(QStringLiteral("ローカル AI の回答が長すぎます。"));
        return;
    }
    content_ += fragment;
    emit snapshot(content_);
}

void LanguageModelResponse::handleEnd()
{
    if (ended_ || !reply_)
        return;
    QNetworkReply* reply = reply_;
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() != QNetworkReply::NoError && status == 0) {
        fail(reply->errorString());
        return;
    }
    if (status < 200 || status > 299) {
        errorBody_ += reply->read(kMaxErrorBodyBytes - errorBody_.size());
        const QString message = errorMessageOf(errorBody_);
        fail(QStringLiteral("HTTP %1").arg(status) + (message.isEmpty() ? QString() : ": " + message));
        return;
    }
    readAvailable();
    if (ended_)
        return;
    // A stream that stops without its closing mark still ends with what came.
    if (!lineBuffer_.isEmpty())
        handleLine(std::exchange(lineBuffer_, {}));
    if (!ended_)
        handleEvent();
    if (ended_)
        return;
    if (reply->error() != QNetworkReply::NoError) {
        fail(reply->errorString());
        return;
    }
    ended_ = true;
    reply_->disconnect(this);
    reply_->deleteLater();
    reply_ = nullptr;
    emit finished();
}

void LanguageModelResponse::fail(const QString& description)
{
    cancel();
    emit failed(description.isEmpty() ? QStringLiteral("ローカル AI が失敗を返しました。") : description);
}

}  // namespace kelvane::platform
