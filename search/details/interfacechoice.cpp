#include "search/details/interfacechoice.h"

#include <fnmatch.h>

namespace {

bool MatchesAny(const std::vector<std::string>& patterns, const std::string& name) {
    for (const std::string& pattern : patterns) {
        if (::fnmatch(pattern.c_str(), name.c_str(), 0) == 0) return true;
    }
    return false;
}

}  // namespace

bool InterfaceChoice::Chooses(const std::string& interfaceName) const {
    return (include.empty() || MatchesAny(include, interfaceName)) &&
           !MatchesAny(exclude, interfaceName);
}
