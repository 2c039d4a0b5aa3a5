// SPDX-License-Identifier: MIT
// The tests compress files in temporary folders that no kelvanefs mount
// serves. The rule that refuses that is tested on its own, with it turned on
// again (EligibilityTest, MountRuleTest).

#include "engine/Eligibility.h"

namespace {

const bool mountRuleOff = [] {
    kelvane::engine::Eligibility::enforceMountRule(false);
    return true;
}();

}  // namespace
