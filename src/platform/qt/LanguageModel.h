// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <memory>
#include <optional>
#include <variant>

class QNetworkAccessManager;
class QNetworkReply;

namespace kelvane::platform {

class LanguageModelResponse;

// The language model that answers questions about files. There is no model on
// the machine itself: answers come from a local model runner that speaks the
// OpenAI-compatible chat-completions protocol, named by KELVANE_AI_ENDPOINT
// (for example "http://127.0.0.1:11434/v1") and KELVANE_AI_MODEL. Prompts carry
// file paths, so only a loopback address is ever contacted; anything else
// reads as unavailable and nothing is sent. Main thread only.
class LanguageModel {
public:
    struct available {
        bool operator==(const available&) const = default;
    };
    struct unavailable {
        // notConfigured: no endpoint; modelNotConfigured: an endpoint but no model.
        enum class Reason { notConfigured, modelNotConfigured, notLoopback, invalidEndpoint };
        Reason reason = Reason::notConfigured;
        bool operator==(const unavailable&) const = default;
    };
    using Availability = std::variant<available, unavailable>;

    // The endpoint and model as configured; empty means not set.
    struct Configuration {
        QString endpoint;
        QString model;
    };

    virtual ~LanguageModel() = default;

    virtual Availability availability() const = 0;

    // Starts one streamed answer. The response reports every snapshot (the
    // whole answer so far), then its end or its failure; deleting it or
    // calling cancel() drops the connection. Never call it while unavailable.
    virtual std::unique_ptr<LanguageModelResponse> streamResponse(const QString& instructions,
                                                                  const QString& prompt) = 0;

    // The model the environment configures (or an unavailable one).
    static std::shared_ptr<LanguageModel> fromEnvironment();
    static std::shared_ptr<LanguageModel> make(const Configuration& configuration);
    static std::shared_ptr<LanguageModel> unavailableModel();

    // The chat-completions URL of an endpoint, or why it cannot be used.
    static std::variant<QUrl, unavailable> chatCompletionsUrl(const QString& endpoint);
};

// One streamed answer.
class LanguageModelResponse : public QObject {
    Q_OBJECT
public:
    LanguageModelResponse(QNetworkAccessManager* network, const QUrl& url, const QByteArray& body);
    ~LanguageModelResponse() override;

    // Drops the connection; no signal follows.
    void cancel();

    const QString& content() const { return content_; }

signals:
    // `content` is the whole answer so far, never only its newest part.
    void snapshot(const QString& content);
    void finished();
    void failed(const QString& description);

private:
    void readAvailable();
    void handleLine(const QByteArray& line);
    void handleEvent();
    void handleEnd();
    void fail(const QString& description);

    QPointer<QNetworkReply> reply_;
    QByteArray lineBuffer_;
    QByteArray eventData_;
    QByteArray errorBody_;
    QString content_;
    bool ended_ = false;
};

}  // namespace kelvane::platform
