// SPDX-License-Identifier: MIT
#include "platform/FuseTools.h"

#include "platform/ChildProcess.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace kelvane::platform {

namespace {

constexpr std::chrono::seconds kFusermountLimit{10};

}  // namespace

FuseTools FuseTools::fromEnvironment()
{
    FuseTools tools;
    if (const char* device = std::getenv("KELVANE_FUSE_DEVICE"); device && *device)
        tools.device = device;
    if (const char* fusermount = std::getenv("KELVANE_FUSERMOUNT"); fusermount && *fusermount)
        tools.fusermount = fusermount;
    return tools;
}

std::optional<FuseProblem> fuseProblem(const FuseTools& tools)
{
    struct stat st {};
    if (::stat(tools.device.c_str(), &st) != 0 || !S_ISCHR(st.st_mode))
        return FuseProblem{FuseProblem::Kind::deviceMissing, tools.device.string()};
    if (::access(tools.device.c_str(), R_OK | W_OK) != 0)
        return FuseProblem{FuseProblem::Kind::deviceNotUsable, tools.device.string()};
    const ChildResult answer = runChild({tools.fusermount.string(), "-V"}, kFusermountLimit);
    if (!answer.started)
        return FuseProblem{FuseProblem::Kind::fusermountMissing, tools.fusermount.string()};
    if (!answer.succeeded())
        return FuseProblem{FuseProblem::Kind::fusermountFails,
                           tools.fusermount.string() + " -V: " + answer.failureText()};
    return std::nullopt;
}

std::optional<std::string> unmountFuse(const FuseTools& tools, const std::filesystem::path& mountPoint, bool lazily)
{
    std::vector<std::string> arguments = {tools.fusermount.string(), "-u"};
    if (lazily)
        arguments.emplace_back("-z");
    arguments.push_back(mountPoint.string());
    const ChildResult result = runChild(arguments, kFusermountLimit);
    if (result.succeeded())
        return std::nullopt;
    return tools.fusermount.filename().string() + " -u" + (lazily ? " -z " : " ") + mountPoint.string() + ": " +
           result.failureText();
}

}  // namespace kelvane::platform
