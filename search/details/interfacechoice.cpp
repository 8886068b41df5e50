#include "search/details/interfacechoice.h"

#include <fnmatch.h>

namespace {

std::string WithoutAlias(const std::string& name) {
    return name.substr(0, name.find(':'));
}

bool Matches(const std::string& pattern, const std::string& name) {
    return ::fnmatch(pattern.c_str(), WithoutAlias(name).c_str(), 0) == 0;
}

bool MatchesAny(const std::vector<std::string>& patterns, const std::string& name) {
    for (const std::string& pattern : patterns) {
        if (Matches(pattern, name)) return true;
    }
    return false;
}

}  // namespace

bool InterfaceChoice::Chooses(const std::string& interfaceName) const {
    return (include.empty() || MatchesAny(include, interfaceName)) &&
           !MatchesAny(exclude, interfaceName);
}

std::vector<std::string> InterfaceChoice::Unmatched(
    const std::vector<std::string>& interfaceNames) const {
    std::vector<std::string> unmatched;
    for (const std::vector<std::string>* patterns : {&include, &exclude}) {
        for (const std::string& pattern : *patterns) {
            bool any = false;
            for (const std::string& name : interfaceNames) any = any || Matches(pattern, name);
            if (!any) unmatched.push_back(pattern);
        }
    }
    return unmatched;
}
