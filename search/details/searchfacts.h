#pragma once

#include "search/details/internal.h"

#include <cstddef>
#include <string>
#include <vector>

#include "search/details/localiplist.h"
#include "search/details/portholder.h"
#include "search/searchhints.h"
#include "search/searchtargets.h"

// Everything the hints rest on.
struct SearchFacts {
    std::vector<SearchWorkerHealth> workers;
    std::vector<LocalInterfaceAddress> interfaces;
    std::size_t devicesFound = 0;
    // The port helper this program runs, for the command that lets it bind the broadcast port.
    std::string portHelperPath;
    // Holders of the ports that workers could not have.
    std::vector<PortHolder> portHolders;
    // The probed targets beyond this network, with their counters.
    std::vector<SearchTargetHealth> targets;
};

// The hints for these facts, most pressing first. A healthy search that finds boxes gets none.
// Pure: the tests feed it situations.
std::vector<SearchHint> SearchHints(const SearchFacts& facts);

// The facts of the running library now: its workers, the interfaces, the holders of the ports
// it could not have, this program's port helper; devicesFound is the application's to tell.
SearchFacts GatherSearchFacts(std::size_t devicesFound);

// A program's path as a command line takes it: quoted for the shell, without the " (deleted)"
// that /proc/self/exe shows once the file was replaced (a package upgrade).
std::string ShellQuotedProgramPath(std::string path);
