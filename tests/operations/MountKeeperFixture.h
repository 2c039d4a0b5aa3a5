// SPDX-License-Identifier: MIT
#pragma once

// The mount keeper's tests over real kelvanefs mounts: the Qt application the
// keeper hands work back through, HOME inside the test's folder, and
// settings that start the kelvanefs of this build.

#include "fs/MountFixture.h"

#include "operations/mounts/MountKeeper.h"
#include "operations/OperationsTestSupport.h"
#include "support/ScopedEnvironment.h"

#include <filesystem>
#include <optional>

namespace kelvane::operations::test {

class MountKeeperFixture : public fs::test::MountTest {
protected:
    void SetUp() override
    {
        MountTest::SetUp();
        if (IsSkipped())
            return;
        // Before any object hands work back to the main thread: without the
        // application a result posted there is dropped.
        application();
        std::filesystem::create_directories(temp_.path() / "home");
        home_.emplace("HOME", (temp_.path() / "home").string());
        settings_.kelvanefs = fs::test::kKelvanefs;
    }

    void TearDown() override
    {
        home_.reset();
        MountTest::TearDown();
    }

    MountKeeperSettings settings_;
    std::optional<kelvane::test::ScopedEnvironment> home_;
};

}  // namespace kelvane::operations::test
