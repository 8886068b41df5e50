#pragma once

#include <cstdio>

#include "tools/nas-search/searchoptions.h"

// nas-search's runs on the book of known boxes, on the program's main thread.

// Whether options ask for --wake, --known or --forget.
bool BookRun(const SearchOptions& options);

// Runs --known, --forget or --wake and returns the exit status:
// --known: 0 (1 when the book cannot be read);
// --forget: 0, or 2 for a box not in the book;
// --wake: 0 once the box answers (its device line printed), 1 when it did not answer within
// --wait, 2 before anything is sent for a box neither remembered nor a MAC address, or
// remembered without a MAC; 128 + the signal that cut it short.
int RunBook(const SearchOptions& options, std::FILE* out);

// Records the device list store's boxes in the book, each as last heard, unless --no-remember;
// what the user must hear about the book goes to standard error, each thing once per process.
void RememberStoreList(const SearchOptions& options);
