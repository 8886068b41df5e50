#pragma once

#include "search/details/internal.h"

#include <chrono>
#include <string>

// The broadcast port for a program that may not bind it: the port helper
// (nasfinder-port-helper), the one program with cap_net_bind_service, binds it and hands the
// socket over (PortHelperAnswer in search/protocol.h). The broadcast worker's set-up runs it on
// the caller's thread; the hints name it. Nothing here throws.

// How long the helper may take: it answers within milliseconds, and a hung one must not hold
// the search up for longer than this.
constexpr std::chrono::milliseconds kPortHelperLimit{2000};

// The helper a program at programPath (an absolute path) runs: the one beside it, as in a build
// tree, else the one of the installed tree the program is part of, else the one at the
// installed path, which may be missing. Only a file of root's or of this user's is taken, as
// anybody may put files into some folders (/tmp).
std::string PortHelperPathFor(const std::string& programPath);
// The helper this program (/proc/self/exe) runs.
std::string PortHelperPath();

struct PortHelperResult {
    int descriptor = -1;  // UDP socket bound to 0.0.0.0:67, close-on-exec; -1 when none came
    int error = 0;        // errno of the helper's step that failed, when it told one
    std::string failure;  // why no socket came, for the log; empty when one did
};

// Runs the helper at path with an empty environment and nothing open but /dev/null and its end
// of a Unix socket, reads its answer, and reaps it; kills it once limit has passed.
PortHelperResult RunPortHelper(const std::string& path,
                               std::chrono::milliseconds limit = kPortHelperLimit);
