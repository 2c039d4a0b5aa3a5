// SPDX-License-Identifier: MIT
#pragma once

// Header-only: a desktop stand-in for window tests. Pickers answer from the
// queued answers (or cancel when none is queued); everything else is recorded.

#include "ui/common/Shell.h"

#include <deque>
#include <optional>

namespace kelvane::test {

class FakeShell final : public ui::Shell {
public:
    std::deque<Paths> pickAnswers;
    std::deque<std::filesystem::path> folderAnswers;
    std::deque<std::filesystem::path> saveAnswers;

    int pickCount = 0;
    QString lastSaveSuggestion;
    QString clipboard;
    std::vector<QUrl> openedUrls;
    std::vector<std::filesystem::path> openedFiles;
    std::vector<Paths> shownInFileManager;
    bool openSucceeds = true;

    void pickFilesAndFolders(QWidget*, const QString&, std::function<void(Paths)> done) override
    {
        ++pickCount;
        Paths answer;
        if (!pickAnswers.empty()) {
            answer = std::move(pickAnswers.front());
            pickAnswers.pop_front();
        }
        done(std::move(answer));
    }

    void pickFolder(QWidget*, const QString&, std::function<void(std::filesystem::path)> done) override
    {
        ++pickCount;
        std::filesystem::path answer;
        if (!folderAnswers.empty()) {
            answer = std::move(folderAnswers.front());
            folderAnswers.pop_front();
        }
        done(std::move(answer));
    }

    void pickSaveFile(QWidget*, const QString&, const std::filesystem::path&, const QString& suggestedName,
                      std::function<void(std::filesystem::path)> done) override
    {
        lastSaveSuggestion = suggestedName;
        std::filesystem::path answer;
        if (!saveAnswers.empty()) {
            answer = std::move(saveAnswers.front());
            saveAnswers.pop_front();
        }
        done(std::move(answer));
    }

    void setClipboardText(const QString& text) override { clipboard = text; }
    QString clipboardText() const override { return clipboard; }

    bool openUrl(const QUrl& url) override
    {
        openedUrls.push_back(url);
        return openSucceeds;
    }
    bool openFile(const std::filesystem::path& file) override
    {
        openedFiles.push_back(file);
        return openSucceeds;
    }
    void showInFileManager(const Paths& items) override { shownInFileManager.push_back(items); }
};

}  // namespace kelvane::test
