// SPDX-License-Identifier: MIT
#include "operations/sheets/AskAIModel.h"

#include "discovery/PathExtension.h"
#include "display/Formatters.h"
#include "display/VisibleName.h"
#include "operations/threads/ChangeSignal.h"
#include "platform/FileStat.h"
#include "platform/FileSystem.h"
#include "platform/Logger.h"
#include "platform/qt/LanguageModel.h"

#include <QStringList>

#include <chrono>

namespace kelvane::operations {

namespace {

QString unavailableText(platform::LanguageModel::unavailable::Reason reason)
{
    using Reason = platform::LanguageModel::unavailable::Reason;
    switch (reason) {
    case Reason::notConfigured:
        return QStringLiteral("ローカル AI のエンドポイントが設定されていません。");
    case Reason::modelNotConfigured:
        return QStringLiteral("ローカル AI のモデルが設定されていません。");
    case Reason::notLoopback:
    case Reason::invalidEndpoint:
        break;
    }
    return QStringLiteral("ローカル AI が利用できません（理由不明）。");
}

}  // namespace

AskAIModel::AskAIModel(std::filesystem::path url, std::shared_ptr<platform::LanguageModel> languageModel,
                       QObject* parent)
    : QObject(parent), url_(std::move(url)), languageModel_(std::move(languageModel))
{
}

AskAIModel::~AskAIModel() = default;

const QString& AskAIModel::instructions()
{
    static const QString text = QStringLiteral(
        "あなたは macOS のファイルシステム、ファイル形式、開発ツールの成果物に詳しいアシスタントです。"
        "ユーザーの SSD で見つかった謎のファイルが何なのかを推測し、削除や圧縮の判断材料を提供します。"
        "推測には「おそらく」「可能性が高い」など確度を明示し、確信が持てない場合は素直に伝えてください。"
        "日本語で簡潔に答えてください。");
    return text;
}

QString AskAIModel::buildPrompt() const
{
    const std::string name = url_.filename().string();
    QStringList lines{QStringLiteral("このファイルが何なのか、用途と一般的な特徴を教えてください。"), QString(),
                      QStringLiteral("- パス: ") + display::visibleName(url_),
                      QStringLiteral("- ファイル名: ") + display::visibleName(name)};
    const std::string_view extension = discovery::pathExtension(name);
    if (!extension.empty())
        lines << QStringLiteral("- 拡張子: .") + display::visibleName(extension);
    platform::FileStat stat;
    if (platform::lstat(url_, stat) == 0) {
        lines << QStringLiteral("- サイズ: ") + display::formatBytes(stat.size);
        const auto mtime = std::chrono::system_clock::time_point(
            std::chrono::duration_cast<std::chrono::system_clock::duration>(
                std::chrono::seconds(stat.mtime.tv_sec) + std::chrono::nanoseconds(stat.mtime.tv_nsec)));
        lines << QStringLiteral("- 最終更新: ") + display::dateFormatter().string(mtime);
    }
    lines << QString() << QStringLiteral("以下の観点で簡潔に答えてください:")
          << QStringLiteral("1. このファイルは一般的に何のために存在しますか？（フォルダ位置のヒントもあれば）")
          << QStringLiteral("2. 削除しても安全ですか？それとも何かが壊れますか？")
          << QStringLiteral("3. macOS の透過圧縮（decmpfs / LZFSE）で容量を節約できそうですか？");
    return lines.join('\n');
}

void AskAIModel::ask()
{
    const auto availability = languageModel_->availability();
    if (const auto* why = std::get_if<platform::LanguageModel::unavailable>(&availability)) {
        setPhase({Phase::Kind::unavailable, unavailableText(why->reason)});
        return;
    }
    releaseStream();
    setPhase({Phase::Kind::streaming, {}});
    setStreamedAnswer({});
    const std::uint64_t generation = ++generation_;
    stream_ = languageModel_->streamResponse(instructions(), buildPrompt());
    if (!stream_) {
        setPhase({Phase::Kind::failed, QStringLiteral("ローカル AI に接続できません。")});
        return;
    }
    platform::LanguageModelResponse* stream = stream_.get();
    connect(stream, &platform::LanguageModelResponse::snapshot, this, [this, generation](const QString& content) {
        if (generation == generation_)
            setStreamedAnswer(content);
    });
    connect(stream, &platform::LanguageModelResponse::finished, this, [this, generation] {
        if (generation != generation_)
            return;
        releaseStream();
        setPhase({Phase::Kind::done, {}});
    });
    connect(stream, &platform::LanguageModelResponse::failed, this, [this, generation](const QString& description) {
        if (generation != generation_)
            return;
        releaseStream();
        platform::Logger::ui().error("ask: stream failed: %{public}s", description.toStdString());
        setPhase({Phase::Kind::failed, description});
    });
}

void AskAIModel::cancelStream()
{
    if (!stream_)
        return;
    ++generation_;
    releaseStream();
    setPhase({Phase::Kind::done, {}});
}

void AskAIModel::retry()
{
    ++generation_;
    releaseStream();
    setStreamedAnswer({});
    setPhase({Phase::Kind::idle, {}});
    ask();
}

void AskAIModel::setPhase(Phase phase)
{
    assignAndNotify(this, phase_, std::move(phase), &AskAIModel::phaseChanged);
}

void AskAIModel::setStreamedAnswer(const QString& answer)
{
    assignAndNotify(this, streamedAnswer_, answer, &AskAIModel::streamedAnswerChanged);
}

void AskAIModel::releaseStream()
{
    if (!stream_)
        return;
    // It may be emitting right now: cut it off and let it go later.
    stream_->disconnect(this);
    stream_->cancel();
    stream_.release()->deleteLater();
}

}  // namespace kelvane::operations
