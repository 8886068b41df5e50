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
    // send-failed, nothing-heard, probe-no-route, probe-not-sent, probe-unanswered.
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

// Why the current search window found what it found: every worker (as GetSearchWorkerHealth
// lists them), the hints, and the interface patterns (SetSearchInterfaces) that match no
// interface of the machine.
struct SearchDiagnosis {
    std::vector<SearchWorkerHealth> workers;
    std::vector<SearchHint> hints;
    std::vector<std::string> unmatchedPatterns;
};

// The diagnosis now, devicesFound being the boxes the application has listed. It reads the
// interface list and, when a port is taken, /proc: call it off a window's event thread. Any
// thread, while the library runs.
SearchDiagnosis DiagnoseSearch(std::size_t devicesFound);

// The interface patterns given to SetSearchInterfaces, include first, that match none of the
// machine's interfaces now (an alias such as "eth0:1" counting as "eth0"). Any thread.
std::vector<std::string> UnmatchedInterfacePatterns();

// A text with its facts filled in, in one pass: each {name} in pattern becomes the value of the
// fact of that name; a value's own braces stay as they are, and a name without a fact stays as
// written. Every text with placeholders is filled by it, the window's captions too.
std::string FillHintPattern(const std::string& pattern, const std::vector<SearchHintFact>& facts);
