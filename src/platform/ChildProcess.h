// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace kelvane::platform {

// How a program run by runChild ended.
struct ChildResult {
    bool started = false;   // false: the program could not be run (startError says why)
    int startError = 0;
    bool timedOut = false;  // killed after the limit
    int exitStatus = -1;    // the exit code, or -1 when it ended by a signal
    std::string output;     // its standard output and error, interleaved

    bool succeeded() const { return started && !timedOut && exitStatus == 0; }
    // "exit 1: <output>", "did not end within 20 s", "cannot run: <error>".
    std::string failureText() const;
};

// Runs `arguments` (the program first; a bare name is looked up on PATH)
// with standard input from /dev/null and no descriptor of ours but its
// output pipe, and waits until its output ends and it exits, or `limit`
// passes: then it is killed. A daemon that detaches and closes its output
// counts as ended once the process started here exits.
ChildResult runChild(const std::vector<std::string>& arguments, std::chrono::milliseconds limit);

}  // namespace kelvane::platform
