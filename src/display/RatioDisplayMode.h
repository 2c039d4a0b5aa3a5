// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <array>
#include <optional>

namespace kelvane::platform {
class Settings;
}

namespace kelvane::display {

// How a ratio (physical size / logical size) is worded; a user setting,
// stored under "ratioDisplayMode" as its raw value.
class RatioDisplayMode {
public:
    enum Value { remaining, reduction };

    static constexpr std::array<Value, 2> allCases{remaining, reduction};

    constexpr RatioDisplayMode(Value value = remaining) : value_(value) {}
    constexpr operator Value() const { return value_; }

    // "remaining" or "reduction"; any other text gives no mode.
    static std::optional<RatioDisplayMode> fromRawValue(const QString& rawValue);
    // The user's choice; an unknown stored value reads as `remaining`.
    static RatioDisplayMode fromSettings(const platform::Settings& settings);
    QString rawValue() const;

    QString label() const;
    QString explanation() const;

    // The ratio clamped into 0...1 (NaN counts as 1), as "原本の 25%" or
    // "75% 削減"; percentages rounded, halves away from zero.
    QString format(double ratio) const;

private:
    Value value_;
};

}  // namespace kelvane::display
