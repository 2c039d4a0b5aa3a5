// SPDX-License-Identifier: MIT
#pragma once

#include <QDBusConnection>

#include <filesystem>
#include <optional>
#include <string>

namespace kelvane::platform {

// The user's systemd manager, over its D-Bus API on the session bus
// (org.freedesktop.systemd1). Every call blocks for the manager's answer
// (a few seconds at most) and may be made from any thread.
class SystemdUserUnits {
public:
    SystemdUserUnits();  // the session bus
    explicit SystemdUserUnits(QDBusConnection bus);

    // A user manager answers on the bus.
    bool available() const;

    // The file a unit (an instance of a template included) is loaded from,
    // or nothing when the manager cannot load it.
    std::optional<std::filesystem::path> unitFile(const std::string& unit) const;
    // "enabled", "disabled", ..., or nothing when the manager does not say.
    std::optional<std::string> unitFileState(const std::string& unit) const;
    // "active", "activating", "failed", ...
    std::optional<std::string> activeState(const std::string& unit) const;

    // Enables the unit for every login and starts it now; what went wrong,
    // or nothing. The start is queued: the caller waits for its effect.
    std::optional<std::string> enableAndStart(const std::string& unit) const;
    // Stops the unit and disables it; what went wrong, or nothing.
    std::optional<std::string> stopAndDisable(const std::string& unit) const;

    // The program the first ExecStart= line of a unit file runs (its
    // systemd prefixes "-@:+!" dropped), or nothing.
    static std::optional<std::filesystem::path> execStartProgram(const std::filesystem::path& unitFile);

private:
    QDBusConnection bus_;
};

}  // namespace kelvane::platform
