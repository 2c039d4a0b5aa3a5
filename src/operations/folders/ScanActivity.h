// SPDX-License-Identifier: MIT
#pragma once

#include "operations/threads/ChangeSignal.h"
#include "operations/threads/TaskHandle.h"

#include <QObject>

#include <chrono>
#include <optional>
#include <string>
#include <variant>

namespace kelvane::operations {

// The live progress of one run of the folder loading, shown as the scan bar.
// Main thread only; each setter announces only a real change.
class ScanActivity final : public QObject {
    Q_OBJECT
    Q_PROPERTY(std::string folderName READ folderName NOTIFY folderNameChanged)
    Q_PROPERTY(long long folderIndex READ folderIndex NOTIFY folderIndexChanged)
    Q_PROPERTY(long long folderTotal READ folderTotal NOTIFY folderTotalChanged)
    Q_PROPERTY(Phase phase READ phase NOTIFY phaseChanged)
    Q_PROPERTY(OptionalTask task READ task NOTIFY taskChanged)
    Q_PROPERTY(bool wasCancelled READ wasCancelled NOTIFY wasCancelledChanged)
public:
    struct Enumerating {
        long long found = 0;  // entries the search has scanned so far
        bool operator==(const Enumerating&) const = default;
    };
    struct Inspecting {
        long long done = 0;
        long long total = 0;
        bool operator==(const Inspecting&) const = default;
    };
    using Phase = std::variant<Enumerating, Inspecting>;
    using Clock = std::chrono::system_clock;
    using OptionalTask = std::optional<TaskHandle>;
    using Self = ScanActivity;

    explicit ScanActivity(QObject* parent = nullptr);

    const std::string& folderName() const { return folderName_; }
    long long folderIndex() const { return folderIndex_; }
    long long folderTotal() const { return folderTotal_; }
    const Phase& phase() const { return phase_; }
    Clock::time_point startedAt() const { return startedAt_; }
    const std::optional<TaskHandle>& task() const { return task_; }
    bool wasCancelled() const { return wasCancelled_; }

    void setFolderName(const std::string& value)
    {
        assignAndNotify(this, folderName_, value, &Self::folderNameChanged);
    }
    void setFolderIndex(long long value) { assignAndNotify(this, folderIndex_, value, &Self::folderIndexChanged); }
    void setFolderTotal(long long value) { assignAndNotify(this, folderTotal_, value, &Self::folderTotalChanged); }
    void setPhase(const Phase& value) { assignAndNotify(this, phase_, value, &Self::phaseChanged); }
    void setTask(const OptionalTask& value) { assignAndNotify(this, task_, value, &Self::taskChanged); }
    void setWasCancelled(bool value) { assignAndNotify(this, wasCancelled_, value, &Self::wasCancelledChanged); }

    // Marks the activity cancelled and cancels its task; harmless twice.
    void cancel();

signals:
    void folderNameChanged();
    void folderIndexChanged();
    void folderTotalChanged();
    void phaseChanged();
    void taskChanged();
    void wasCancelledChanged();

private:
    std::string folderName_;
    long long folderIndex_ = 0;
    long long folderTotal_ = 0;
    Phase phase_ = Enumerating{0};
    Clock::time_point startedAt_;
    std::optional<TaskHandle> task_;
    bool wasCancelled_ = false;
};

}  // namespace kelvane::operations
