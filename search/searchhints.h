#pragma once

// Why a search found nothing, in plain words: hints with stable codes, built by one pure
// function from what the library knows about its workers and the machine.

#include <cstddef>
#include <string>
#include <vector>

#include "search/searchhealth.h"
#include "search/searchtargets.h"

// One fact a hint rests on: a port, a process id, a program, an error text.
struct SearchHintFact {
    std::string name;
    std::string value;
    bool number = false;  // value is a decimal integer
};

struct SearchHint {
    // Stable: no-ipv4-interface, broadcast-port-denied, port-in-use, answers-blocked,
    // send-failed, nothing-heard, probe-no-route, probe-unanswered.
    std::string code;
    // Which wording of the code fits ("1900", "67 unknown", ...); empty when there is one.
    std::string variant;
    std::string summary;  // a few words
    std::string text;     // what happened and what to do
    std::vector<SearchHintFact> facts;
    // The English wording before the facts were filled in: a translation stands in for these.
    std::string summaryPattern;
    std::string textPattern;

    // The fact's value, or "" when the hint has no such fact.
    std::string Fact(const std::string& name) const;
    // The code, and the variant after a blank when there is one: what a translation of the
    // text is keyed by (its summary is keyed by the code alone).
    std::string WordingKey() const;
};

// Every wording a hint can take, in English, keyed as SearchHint::WordingKey.
struct SearchHintWording {
    const char* key;
    const char* summary;  // the same for every variant of a code
    const char* text;
};
const std::vector<SearchHintWording>& SearchHintWordings();

// The process that holds a UDP port, as /proc shows it; pid 0 when it could not be told.
struct PortHolder {
    int port = 0;
    int pid = 0;
    std::string program;
};

// Everything the hints rest on.
struct SearchFacts {
    std::vector<SearchWorkerHealth> workers;
    std::vector<LocalInterfaceAddress> interfaces;
    std::size_t devicesFound = 0;
    // This program's path, for the command that lets it use the broadcast port.
    std::string executablePath;
    // Holders of the ports that workers could not have.
    std::vector<PortHolder> portHolders;
    // The probed targets beyond this network, with their counters.
    std::vector<SearchTargetHealth> targets;
};

// The hints for these facts, most pressing first. A healthy search that finds boxes gets none.
std::vector<SearchHint> SearchHints(const SearchFacts& facts);

// The facts of the running library now: its workers, the interfaces, the holders of the ports
// it could not have, this program's path; devicesFound is the application's to tell.
SearchFacts GatherSearchFacts(std::size_t devicesFound);

// The English wording of a hint with its facts filled in: each {name} in pattern becomes the
// value of the fact of that name. The window fills translated patterns the same way.
std::string FillHintPattern(const std::string& pattern, const std::vector<SearchHintFact>& facts);
