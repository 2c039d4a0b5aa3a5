// SPDX-License-Identifier: MIT
#include "operations/bulk/HeadlessAutoRecompressRunner.h"

#include "discovery/FileSystemSearcher.h"
#include "discovery/SecurityScopedBookmark.h"
#include "display/Formatters.h"
#include "engine/CandidateRule.h"
#include "engine/FileCompressionError.h"
#include "engine/FileCompressor.h"
#include "operations/bulk/FailureInWords.h"
#include "operations/rows/FileAttributes.h"
#include "operations/rows/RegisteredItemKind.h"
#include "operations/bulk/PublicFailureText.h"
#include "platform/Bookmark.h"
#include "platform/Logger.h"
#include "store/ModelContainer.h"
#include "store/RegisteredItem.h"

#include <algorithm>
#include <filesystem>

namespace kelvane::operations {

namespace {

using platform::Logger;
using engine::FileCompressionError;

enum class Outcome { alreadyCompressedSkip, didNotShrinkSkip, failure };

Outcome classify(const std::exception& error)
{
    const auto* typed = dynamic_cast<const FileCompressionError*>(&error);
    if (!typed)
        return Outcome::failure;
    switch (typed->kind()) {
        case FileCompressionError::Kind::fileNotFound:
        case FileCompressionError::Kind::notARegularFile:
        case FileCompressionError::Kind::symbolicLink:
        case FileCompressionError::Kind::hardLinked:
        case FileCompressionError::Kind::alreadyCompressed:
        case FileCompressionError::Kind::fileInUse:
        case FileCompressionError::Kind::fileChangedDuringOperation: return Outcome::alreadyCompressedSkip;
        case FileCompressionError::Kind::compressionDidNotReduceSize:
        case FileCompressionError::Kind::hasResourceFork: return Outcome::didNotShrinkSkip;
        default: return Outcome::failure;
    }
}

void writeLine(std::FILE* stream, const std::string& line)
{
    std::fwrite(line.data(), 1, line.size(), stream);
    std::fflush(stream);
}

}  // namespace

HeadlessAutoRecompressRunner::HeadlessAutoRecompressRunner(std::shared_ptr<store::ModelContainer> container,
                                                           std::FILE* out, std::FILE* err, ServeItem serve)
    : container_(std::move(container)), out_(out), err_(err), serve_(std::move(serve))
{
    if (!serve_)
        serve_ = [keeper = std::make_shared<const MountKeeper>()](const std::filesystem::path& item,
                                                                  discovery::ItemKind kind) {
            return keeper->ensureServed(item, kind);
        };
}

std::string HeadlessAutoRecompressRunner::startLine(std::size_t itemCount)
{
    return "[Kelvane] --auto-recompress: 登録項目 " + std::to_string(itemCount) + " 件を走査します\n";
}

std::string HeadlessAutoRecompressRunner::failureLine(const std::filesystem::path& file, const std::string& reason)
{
    const auto escaped = [](const std::string& text) {
        std::string out;
        for (const char c : text) {
            const auto byte = static_cast<unsigned char>(c);
            if (c == '\\')
                out += "\\\\";
            else if (c == '\n')
                out += "\\n";
            else if (c == '\t')
                out += "\\t";
            else if (byte < 0x20 || byte == 0x7f) {
                char code[5];
                std::snprintf(code, sizeof code, "\\x%02x", byte);
                out += code;
            } else
                out.push_back(c);
        }
        return out;
    };
    return "[Kelvane] 失敗: " + escaped(file.string()) + ": " + escaped(reason) + "\n";
}

std::string HeadlessAutoRecompressRunner::summaryLine(const Tally& t, double elapsedSeconds)
{
    char elapsed[64];
    std::snprintf(elapsed, sizeof elapsed, "%.1f", elapsedSeconds);
    return "[Kelvane] --auto-recompress 完了: 走査 " + std::to_string(t.candidates) + " 件 / 成功 " +
           std::to_string(t.succeeded) + " / 失敗 " + std::to_string(t.failed) + " / 既圧縮スキップ " +
           std::to_string(t.alreadyCompressedSkips) + " / 縮まずスキップ " + std::to_string(t.didNotShrinkSkips) +
           " / 削減 " + display::formatBytes(t.savedBytes).toStdString() + " / 所要 " + elapsed + " 秒\n";
}

int HeadlessAutoRecompressRunner::run()
{
    Logger::cli().info("--auto-recompress start");
    std::vector<std::shared_ptr<store::RegisteredItem>> items;
    try {
        auto context = container_->makeContext(store::ModelContext::Access::readOnly);
        items = context->fetch(store::FetchDescriptor<store::RegisteredItem>());
    } catch (const std::exception& error) {
        writeLine(err_, std::string("ERROR: 登録項目の読み込みに失敗しました: ") + error.what() + "\n");
        Logger::cli().error("auto-recompress fetch failed: %{public}s", error.what());
        return 1;
    }
    writeLine(out_, startLine(items.size()));

    const auto cutoff = std::chrono::system_clock::now() - recentModificationWindow;
    const auto start = std::chrono::steady_clock::now();
    Tally tally;
    // One file is encoded at a time; their commits are grouped, and made
    // while the next files are encoded.
    engine::SwapBatch batch(engine::SwapBatch::Limits{}, engine::SwapBatch::Committing::behind);

    for (const auto& item : items) {
        const std::optional<RegisteredPath> resolved = servedPlace(*item, tally);
        if (!resolved)
            continue;
        const bool accessing = platform::startAccessingSecurityScopedResource(resolved->path);

        std::vector<std::filesystem::path> files;
        if (itemKindOf(*item) == ItemKind::folder) {
            discovery::SearchCriteria criteria;
            criteria.rootURL = resolved->path;
            criteria.recursive = item->includeSubfolders();
            criteria.modifiedBefore = cutoff;
            criteria.excludeAlreadyCompressed = true;
            criteria.excludeHidden = true;
            try {
                for (auto& candidate : discovery::FileSystemSearcher().search(criteria))
                    files.push_back(std::move(candidate.url));
            } catch (const std::exception& error) {
                Logger::cli().notice("search failed for %{private}s: %{public}s", item->displayName(),
                                     publicFailureText(error.what(), {resolved->path}));
            }
        } else {
            files.push_back(resolved->path);
        }
        for (const auto& url : files)
            processFile(url, cutoff, tally, batch);
        // Committed before access to the item ends.
        batch.commit();

        if (accessing)
            platform::stopAccessingSecurityScopedResource(resolved->path);
    }

    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    writeLine(out_, summaryLine(tally, elapsed));
    Logger::cli().info("--auto-recompress done: candidates=%ld succeeded=%ld failed=%ld saved=%lld",
                       static_cast<long>(tally.candidates), static_cast<long>(tally.succeeded),
                       static_cast<long>(tally.failed), static_cast<long long>(tally.savedBytes));
    return tally.failed > 0 ? 1 : 0;
}

std::optional<RegisteredPath> HeadlessAutoRecompressRunner::servedPlace(const store::RegisteredItem& item,
                                                                        Tally& tally)
{
    std::optional<RegisteredPath> place = registeredPathOf(item);
    if (!place) {
        Logger::cli().notice("bookmark resolve failed for %{private}s", item.displayName());
        return std::nullopt;
    }
    const MountOutcome outcome = serve_(place->path, place->kind);
    const auto* refusal = std::get_if<MountRefusal>(&outcome);
    if (!refusal)
        return place;
    if (refusal->kind == MountRefusal::Kind::folderMissing) {
        // Moved or deleted since it was registered: nothing to do there, as
        // for an item whose bookmark no longer resolves.
        Logger::cli().notice("registered item not found: %{private}s", place->path.string());
        return std::nullopt;
    }
    const std::lock_guard lock(heard_);
    ++tally.failed;
    writeLine(err_, failureLine(place->path, refusal->text()));
    Logger::cli().error("not compressed, no kelvanefs mount serves %{private}s: %{public}s", place->path.string(),
                        refusal->text());
    return std::nullopt;
}

void HeadlessAutoRecompressRunner::processFile(const std::filesystem::path& url,
                                               std::chrono::system_clock::time_point cutoff, Tally& tally,
                                               engine::SwapBatch& batch)
{
    const FileAttributes attributes = readFileAttributes(url, true);
    if (attributes.modificationDate && *attributes.modificationDate > cutoff) {
        Logger::cli().debug("skip recently modified: %{private}s", url.string());
        return;
    }
    if (attributes.size && engine::CandidateRule::isOversized(*attributes.size)) {
        Logger::cli().debug("skip oversized: %{private}s", url.string());
        return;
    }
    ++tally.candidates;
    // Failures found before anything changed come at once; the rest when
    // the batch commits.
    try {
        engine::FileCompressor{}.compressFile(url, engine::FileCompressor::streamingThreshold, batch,
                                              [this, url, &tally](engine::SwapBatch::Outcome outcome) {
                                                  const std::lock_guard lock(heard_);
                                                  if (outcome.result)
                                                      countSuccess(*outcome.result, tally);
                                                  else
                                                      countFailure(url, outcome.failure, tally);
                                              });
    } catch (const std::exception&) {
        const std::lock_guard lock(heard_);
        countFailure(url, std::current_exception(), tally);
    }
}

void HeadlessAutoRecompressRunner::countSuccess(const engine::CompressionResult& result, Tally& tally)
{
    ++tally.succeeded;
    tally.savedBytes += std::max<std::int64_t>(result.bytesBefore - result.bytesAfter, 0);
}

void HeadlessAutoRecompressRunner::countFailure(const std::filesystem::path& url, const std::exception_ptr& failure,
                                                Tally& tally)
{
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception& error) {
        switch (classify(error)) {
            case Outcome::alreadyCompressedSkip: ++tally.alreadyCompressedSkips; break;
            case Outcome::didNotShrinkSkip: ++tally.didNotShrinkSkips; break;
            case Outcome::failure:
                ++tally.failed;
                // The journal of a timer run shows which file and why; the log keeps the path private.
                writeLine(err_, failureLine(url, failureInWords(error)));
                Logger::cli().error("compress failed: %{private}s — %{public}s", url.string(),
                                    publicFailureText(error.what(), {url, url.parent_path()}));
                break;
        }
    }
}

}  // namespace kelvane::operations
