// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QString>

#include <cstdint>
#include <filesystem>
#include <memory>

namespace kelvane::platform {
class LanguageModel;
class LanguageModelResponse;
}  // namespace kelvane::platform

namespace kelvane::operations {

// The state of the ask sheet: one question about one file to the language
// model, and its answer as it streams in. Main thread.
//
// Each request carries a generation; a response whose generation is no
// longer current (cancelled, or replaced by a retry) changes nothing, so two
// answers never mix and a finished old stream never clears the new one.
class AskAIModel final : public QObject {
    Q_OBJECT
public:
    struct Phase {
        enum class Kind { unavailable, failed, idle, streaming, done };
        Kind kind = Kind::idle;
        QString text;  // the reason (unavailable) or the error (failed)

        bool operator==(const Phase&) const = default;
    };

    AskAIModel(std::filesystem::path url, std::shared_ptr<platform::LanguageModel> languageModel,
               QObject* parent = nullptr);
    ~AskAIModel() override;

    const std::filesystem::path& url() const { return url_; }
    const Phase& phase() const { return phase_; }
    const QString& streamedAnswer() const { return streamedAnswer_; }
    // A request is running.
    bool hasStream() const { return stream_ != nullptr; }

    // The question as sent, built afresh from the file's current facts.
    QString buildPrompt() const;
    static const QString& instructions();

    // Asks (when shown): unavailable, or streaming until done or failed.
    void ask();
    // Drops the running request; the phase becomes done with what came so far.
    void cancelStream();
    // Empties the answer and asks again.
    void retry();

signals:
    void phaseChanged();
    void streamedAnswerChanged();

private:
    void setPhase(Phase phase);
    void setStreamedAnswer(const QString& answer);
    void releaseStream();

    std::filesystem::path url_;
    std::shared_ptr<platform::LanguageModel> languageModel_;
    Phase phase_;
    QString streamedAnswer_;
    std::unique_ptr<platform::LanguageModelResponse> stream_;
    std::uint64_t generation_ = 0;
};

}  // namespace kelvane::operations
