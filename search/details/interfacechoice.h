#pragma once

#include "search/details/internal.h"

#include <string>
#include <vector>

// Which interfaces get a per-interface worker: shell-style patterns on the interface name.
// An interface is chosen when it matches one of include (or include is empty) and none of
// exclude. Plain data; the registry keeps one.
struct InterfaceChoice {
    std::vector<std::string> include;
    std::vector<std::string> exclude;

    bool Chooses(const std::string& interfaceName) const;
};
