#pragma once

#include <cstddef>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "search/deviceinfo.h"

// A change in the boxes present, as --watch prints it.
struct WatchEvent {
    enum class Kind { Appeared, Changed, Gone };
    Kind kind = Kind::Appeared;
    deviceinfo device;          // as now known; for Gone, as last known
    std::string interfaceName;  // the interface that heard it; empty for the shared workers
    std::string reason;         // Gone: "byebye" or "silent"
    std::time_t seen = 0;       // when it was heard
};

// The boxes present during a watch, one per address, fed the store's reports as they come and
// told when a search round ends: nas-search --watch and the window's tray. Plain logic; the caller
// serialises the calls.
class CDeviceWatch {
public:
    // A box goes silently after silentRounds rounds in a row without a word from it.
    explicit CDeviceWatch(long silentRounds = 2) : silentRounds(silentRounds) {}

    // A report from the library. An accepted box heard for the first time appears, a known one
    // whose host name, product, version or extra text now reads otherwise changes (a report
    // that does not carry a field leaves it as it is), and a byebye makes it go at once.
    std::optional<WatchEvent> OnReport(const deviceinfo& record, const std::string& interfaceName,
                                       std::time_t now);
    // The round that began with the latest search ends: boxes not heard in it nor in the rounds
    // before it, silentRounds in all, are gone, silently.
    std::vector<WatchEvent> EndRound(std::time_t now);
    std::size_t Present() const { return known.size(); }

private:
    struct Known {
        deviceinfo device;
        std::string interfaceName;
        long lastRound;
    };

    std::vector<Known>::iterator Find(const deviceinfo& record, bool byId);

    long silentRounds;
    std::vector<Known> known;
    long round = 0;
};
