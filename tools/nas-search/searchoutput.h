#pragma once

#include <cstddef>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "search/deviceinfo.h"
#include "search/searchhealth.h"
#include "search/searchhints.h"
#include "src/store/devicewatch.h"

// Everything a nas-search run prints, one whole line at a time and flushed, from any thread:
// JSON Lines on the output stream with --json; otherwise readable text, the list and the
// watch's changes on the output stream and the running commentary (reports, workers, hints)
// on standard error. Remembers the interface each worker serves, so reports and devices say
// which interface heard them.
class CSearchOutput {
public:
    CSearchOutput(std::FILE* out, bool json);

    // A worker as it starts.
    void Worker(const SearchWorkerHealth& worker);
    // How many addresses every search also probes: a probe line, or words on standard error.
    void Probe(std::size_t targets);
    // A report the library handed over; dropped once CloseReports was called.
    void Report(const deviceinfo& record, int handle);
    void Watch(const WatchEvent& event);
    // No report is printed after this, so the list is the last thing in the output.
    void CloseReports();
    // The list: device lines, or the table.
    void Devices(const std::vector<deviceinfo>& devices);
    // The hints: hint lines, or plain words on standard error.
    void Hints(const std::vector<SearchHint>& hints);
    // Every worker with its counters, then the hints: worker and hint lines, or a report on
    // the output stream.
    void Diagnosis(const std::vector<SearchWorkerHealth>& workers,
                   const std::vector<SearchHint>& hints);
    // The closing line: {"event":"done",...}, or the number of boxes present after a watch.
    void Done(std::size_t devices, bool watched);

    // The interface of the worker on port; empty for the shared workers.
    std::string InterfaceOfPort(int port) const;

private:
    void Line(std::FILE* stream, const std::string& text);

    mutable std::mutex mutex;
    std::FILE* out;
    bool json;
    bool reportsClosed = false;
    std::map<int, std::string> interfaceByPort;
    // The interface of a per-interface worker that heard each address.
    std::map<std::string, std::string> interfaceByIp;
};
