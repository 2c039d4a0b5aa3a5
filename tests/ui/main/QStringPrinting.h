// SPDX-License-Identifier: MIT
#pragma once

// Test failures show Qt strings as text rather than as bytes.

#include <QString>

#include <ostream>

inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }
