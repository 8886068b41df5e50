#pragma once

#include <QStringList>

#include <string>
#include <vector>

// The window's search targets: those of the command line, for this run (--probe, resolved
// already), and those kept in the user's settings, the key search/targets (a list of strings)
// of $XDG_CONFIG_HOME/nasfinder/nasfinder.conf (INI), which an administrator may deploy. Main
// thread.
class SearchTargetList {
public:
    explicit SearchTargetList(std::vector<std::string> launchAddresses = {});

    // The kept targets as written.
    QStringList kept() const;
    void keep(const QStringList& targets);
    // The addresses of both, each once and at most 4096 in all; host names are resolved now.
    // A kept target the parser refuses is left out and logged: the dialog shows why.
    std::vector<std::string> addresses() const;

private:
    std::vector<std::string> launchAddresses;
};
