#pragma once

#include <string>
#include <vector>

#include "tools/nas-sim/boxconfig.h"

// What a nas-sim run plays, as its command line asks.
struct SimOptions {
    std::vector<BoxConfig> boxes;
    double aliveInterval = 5;  // seconds between ssdp:alive rounds; 0: only at start
    int answerSpreadMs = 0;    // answers to one search spread evenly over this; 0: one burst
    bool quiet = false;        // no line per search received
    // Boxes that sleep until a magic packet wakes them: their ids, or "" for every box.
    std::vector<std::string> asleep;
    double bootSeconds = 2;  // from the magic packet to the box's first announcement
};

// Whether box sleeps at start.
bool StartsAsleep(const SimOptions& options, const BoxConfig& box);

enum class SimParseOutcome { Run, Help, Version, Invalid };

// Parses the arguments after the program name; box files are read here. Invalid leaves the
// reason in message.
SimParseOutcome ParseSimOptions(const std::vector<std::string>& args, SimOptions& options,
                                std::string& message);

std::string SimUsage();

// "nas-sim VERSION" and a line end, VERSION being the project's.
std::string SimVersion();
