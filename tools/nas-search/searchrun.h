#pragma once

#include <cstdio>

#include "tools/nas-search/searchoptions.h"

// The two ways nas-search runs, each through one search session. Call them while the process
// has one thread: they block SIGINT and SIGTERM for every thread and wait for them.

// Sends the searches, waits for the window, prints the list (and the hints, or with
// --diagnose the whole diagnosis) to out and stops the library. Returns the exit status: 0, or
// 128 + the signal (SIGINT, SIGTERM) that cut it short.
int RunSearch(const SearchOptions& options, std::FILE* out);

// Searches at once and every options.every seconds, printing the boxes that appear, change and
// go, until SIGINT or SIGTERM; then prints how many are present and returns 0.
int RunWatch(const SearchOptions& options, std::FILE* out);
