#pragma once

#include <cstddef>
#include <ctime>
#include <string>
#include <vector>

#include "search/deviceinfo.h"
#include "search/searchhealth.h"
#include "search/searchhints.h"
#include "src/store/devicewatch.h"
#include "src/store/knownboxes.h"

// The texts nas-search prints, kept apart from the sockets so they can be checked alone.

// One JSON Lines object each, without the line end. Text fields are the record's bytes up to
// their terminator; bytes that are not UTF-8 become U+FFFD, and every control character, DEL
// and C1 (U+0080-U+009F) included, is written as a \u escape. interfaceName is the interface of
// the worker that heard the device, empty for the shared workers.
std::string ReportJson(const deviceinfo& record, int handle, const std::string& interfaceName);
std::string DeviceJson(const deviceinfo& record, const std::string& interfaceName);
std::string DoneJson(std::size_t devices);
// A worker as it starts; with counters, as it stands at the end (--diagnose).
std::string WorkerJson(const SearchWorkerHealth& worker, bool counters);
// {"event":"probe","targets":N}: every search also probes N addresses.
std::string ProbeJson(std::size_t targets);
// The code, the text and every fact as a field of its own (numbers as numbers).
std::string HintJson(const SearchHint& hint);
std::string WatchJson(const WatchEvent& event);
// A remembered box with every recorded field ({"event":"known",...}).
std::string KnownJson(const KnownBox& box);
// The magic packet went out: {"event":"wake","target","mac","interface","addresses"}.
std::string WakeJson(const std::string& target, const std::string& mac,
                     const std::string& interfaceName, const std::vector<std::string>& addresses);
// The woken box did not answer within seconds: {"event":"timeout","target","seconds"}.
std::string TimeoutJson(const std::string& target, double seconds);

// One line each in the readable output, without the line end. Here and in the tables below,
// text that came from outside (the network, /proc, a file, the user) shows each control
// character and each byte that is not UTF-8 as '?' (printabletext.h).
std::string ReportText(const deviceinfo& record, int handle);
std::string HintText(const SearchHint& hint);
std::string WatchText(const WatchEvent& event);
// A worker as it starts: DescribeSearchWorker's line.
std::string WorkerText(const SearchWorkerHealth& worker);
// "nas-search: " and message, for standard error; message may echo the user's arguments.
std::string ErrorText(const std::string& message);

// The readable table of the list: host, IP, product, vendor, version; one header line.
std::string DeviceTable(const std::vector<deviceinfo>& devices);
// The readable list of remembered boxes: host, IP, MAC, last seen; a count line.
std::string KnownTable(const std::vector<KnownBox>& book);
// Every worker's state and counters as a table, then the hints (or that there are none).
std::string DiagnosisText(const std::vector<SearchWorkerHealth>& workers,
                          const std::vector<SearchHint>& hints);
