#pragma once

#include <optional>
#include <string>
#include <vector>

#include "search/searchrequest.h"

// What a nas-search run does, as its command line asks.
struct SearchOptions {
    double seconds = 11;  // window, from the first search to the printed list
    int searches = 1;
    double interval = 2;  // seconds between searches
    bool interfaceSearch = true;
    std::optional<std::string> logDir;     // directory prefix; the log is on exactly when given
    std::optional<SearchRequest> request;  // null request (library default) when absent
    bool json = false;
    bool diagnose = false;  // a report of every worker and the hints after the list
    // Shell patterns on interface names: which get a per-interface worker.
    std::vector<std::string> interfaces;
    std::vector<std::string> excludeInterfaces;
    bool watch = false;  // search every `every` seconds until stopped; print changes
    double every = 30;
    // --probe texts as given, and the addresses they came to (names resolved while parsing).
    std::vector<std::string> probes;
    std::vector<std::string> targets;
    // The book of known boxes (bookoptions.h, wakerun.h).
    std::optional<std::string> wake;  // TARGET: a remembered box or a MAC address
    double wait = 60;                 // seconds for a woken box to answer
    bool known = false;
    std::optional<std::string> forget;  // TARGET or "all"
    bool remember = true;               // false: --no-remember
};

// Refused: the arguments are well formed but a --probe target is not; message is one line.
enum class ParseOutcome { Run, Help, Version, Invalid, Refused };

// Parses the arguments after the program name. Invalid and Refused leave the reason in message.
ParseOutcome ParseSearchOptions(const std::vector<std::string>& args, SearchOptions& options,
                                std::string& message);

// Reads 296 hex digits (either case) into the 148-byte request; false on any other text.
bool ParseRequestHex(const std::string& hex, SearchRequest& request);

std::string SearchUsage();

// "nas-search VERSION" and a line end, VERSION being the project's.
std::string SearchVersion();
