#pragma once

#include "search/details/internal.h"

#include <string>
#include <vector>

// Which interfaces get a per-interface worker: shell-style patterns on the interface name.
// An interface is chosen when it matches one of include (or include is empty) and none of
// exclude. An alias label ("eth0:1", as the system lists a labelled address) is the interface
// it belongs to ("eth0"). Plain data; the registry keeps one.
struct InterfaceChoice {
    std::vector<std::string> include;
    std::vector<std::string> exclude;

    bool Chooses(const std::string& interfaceName) const;
    // The patterns, include first, that match none of these interface names.
    std::vector<std::string> Unmatched(const std::vector<std::string>& interfaceNames) const;
};
