// SPDX-License-Identifier: MIT
#pragma once

#include "discovery/WizardPreset.h"
#include "operations/sheets/SheetSearch.h"
#include "operations/threads/TaskHandle.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <stop_token>
#include <string>
#include <vector>

namespace kelvane::store {
class ModelContext;
}

namespace kelvane::operations {

using WizardPreset = discovery::WizardPreset;

// The state of the space-freeing wizard: the preset folders with their
// measured sizes, the presets registered whole while the sheet is open, the
// one-line message at the top of the list, and the detail page on show.
// Main thread; the folder walks run on the worker pool.
class WizardSheetModel final : public QObject {
    Q_OBJECT
public:
    struct Toast {
        enum class Style { success, failure };
        std::uint64_t id = 0;  // new for every message
        QString message;
        Style style = Style::success;
        bool operator==(const Toast&) const = default;
    };
    // What a detail page's registration came to.
    using DetailRegistration = FileRegistrationOutcome;

    // `context` is the store's main context and outlives the model.
    explicit WizardSheetModel(store::ModelContext& context, QObject* parent = nullptr);
    ~WizardSheetModel() override;

    store::ModelContext& context() const { return context_; }
    const std::vector<discovery::WizardPreset>& presets() const { return presets_; }
    const std::map<std::string, std::int64_t>& presetSizes() const { return presetSizes_; }
    std::optional<std::int64_t> sizeOf(const std::string& presetID) const;
    const std::set<std::string>& registeredIDs() const { return registeredIDs_; }
    const std::optional<Toast>& toast() const { return toast_; }
    // The detail pages pushed over the list (at most one in practice).
    const std::vector<discovery::WizardPreset>& navigationPath() const { return navigationPath_; }

    // A folder that exists and is a directory.
    static bool isPresent(const discovery::WizardPreset& preset);

    // Walks every present preset folder at once; each size arrives as soon
    // as its own walk ends.
    void measurePresetSizes();
    // Sum of the logical sizes of the regular, non-hidden files below the
    // folder, not entering hidden folders nor packages other than allowed
    // ones. Unreadable entries count nothing. Stops early (with what it has)
    // once `stop` is requested.
    static std::int64_t folderTotalSize(const std::filesystem::path& folder, std::stop_token stop = {});

    void registerAllPreset(const discovery::WizardPreset& preset);
    void inspect(const discovery::WizardPreset& preset);
    void popDetail();
    // The detail page of `preset` registered files: tell, and go back.
    void announceRegistered(const DetailRegistration& outcome, const discovery::WizardPreset& preset);

signals:
    void presetSizesChanged();
    void registeredIDsChanged();
    void toastChanged();
    void navigationPathChanged();

private:
    void showToast(QString message, Toast::Style style);

    store::ModelContext& context_;
    std::vector<discovery::WizardPreset> presets_;
    std::map<std::string, std::int64_t> presetSizes_;
    std::set<std::string> registeredIDs_;
    std::optional<Toast> toast_;
    std::uint64_t toastCounter_ = 0;
    std::vector<discovery::WizardPreset> navigationPath_;
    std::vector<TaskHandle> measurements_;
};

}  // namespace kelvane::operations
