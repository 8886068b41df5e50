#pragma once

// The device search library's entry calls. The library is a process-wide singleton:
// InitSearchLib once, SendMessage for every search, ExitSearchLib at the end, all from one thread.

#include <string>
#include <vector>

#include "search/deviceinfo.h"
#include "search/searchrequest.h"

// Receives every device a worker reports, on that worker's receive thread, one call at a time.
// record points at a copy that lives only for the call; handle is the worker's port.
using FindDeviceCallback = int (*)(deviceinfo* record, int handle);

// Inside a FindDeviceCallback: the dotted IPv4 address the report's datagram came from, which
// the record's ip (taken from an SSDP LOCATION) need not be. Valid until the callback returns;
// "" on a thread that is not in a callback.
const char* CurrentReportSender();

// Opens the log (silent unless logSwitch and logLocation), stores the callback and starts the
// broadcast worker (port 67), the SSDP worker (port 1900) and, with interfaceSwitch, one
// worker per local IPv4 address (ports 1530, 1550, ...) and a watcher that gives addresses
// appearing later a worker within a second. Always returns 0.
int InitSearchLib(FindDeviceCallback callback, bool logSwitch, const char* logLocation,
                  bool interfaceSwitch);

// Sends one search through every worker; pdhcp is a SearchRequest, or null for the default one.
// First it follows the network: workers of addresses that went are retired, new addresses get
// one, and workers whose set-up failed are set up again. Always returns 0.
int SendMessage(void* pdhcp);

// Which interfaces get a per-interface worker: shell-style patterns on the interface name. An
// interface is searched from when it matches one of include (or include is empty) and none of
// exclude; the broadcast and the shared SSDP worker serve every interface regardless. Call it
// before InitSearchLib; without it every interface is searched.
void SetSearchInterfaces(const std::vector<std::string>& include,
                         const std::vector<std::string>& exclude);

// Whether include and exclude, as SetSearchInterfaces takes them, choose the interface named
// interfaceName: the one rule for every program that picks interfaces by these patterns.
bool ChoosesSearchInterface(const std::vector<std::string>& include,
                            const std::vector<std::string>& exclude,
                            const std::string& interfaceName);

// Boxes beyond this network: IPv4 addresses (dotted quads, at most 4096; see searchtargets.h
// for turning user text into them) that every later search also probes by unicast, from a
// background sender paced at 4000 datagrams a second: the M-SEARCH to TARGET:1900 and the
// search request to TARGET:68, each from the shared worker made for it or, where that one
// cannot send, from the per-interface worker of the route's source address. A search before
// the sweep has ended takes it up where it stopped; new targets start from their first. Their
// answers are reported like any other. An empty list stops probing. Call it before
// InitSearchLib or between searches.
void SetSearchTargets(const std::vector<std::string>& addresses);

// Stops every worker and the probe sweep and writes the log's closing line. On return every
// socket is closed, every receive thread has ended and no callback runs any more: it waits for
// callbacks in flight however long they take (a receive blocked in the kernel is woken by the
// stop). The one exception is the caller's own thread when a callback calls it: that thread
// ends as soon as its callback returns. A callback may call it while another thread is in
// SendMessage. SendMessage after it starts nothing; a later InitSearchLib starts new workers.
void ExitSearchLib();
