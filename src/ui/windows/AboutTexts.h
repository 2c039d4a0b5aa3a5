// SPDX-License-Identifier: MIT
#pragma once

#include "ui/common/PageParts.h"

#include <QString>

#include <vector>

namespace kelvane::ui::about {

using page::TextStyle;

// One piece of the explainer page, in page order.
struct ExplainerBlock {
    enum Kind { section, subsection, paragraph, divider };
    Kind kind;
    QString text;
    QString symbol;
    TextStyle style = TextStyle::body;
};
const std::vector<ExplainerBlock>& explainerBlocks();

struct UsageStep {
    int number;
    QString symbol;
    QString title;
    QString body;
};
const std::vector<UsageStep>& usageSteps();

// What other programs see of a compressed file on Linux; said once on the
// overview and once on the explainer.
QString linuxReadingNote();

}  // namespace kelvane::ui::about
