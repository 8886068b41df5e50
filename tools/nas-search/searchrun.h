#pragma once

#include <cstdio>

#include "tools/nas-search/searchoptions.h"

// Runs one search session through the device list store: starts the library, sends the
// searches, waits for the window, prints the list to out and stops the library.
// Returns the exit status: 0, or 128 + the signal (SIGINT, SIGTERM) that cut it short.
// Call it while the process has one thread: it blocks those signals for every thread.
int RunSearch(const SearchOptions& options, std::FILE* out);
