#pragma once

// Search targets: boxes beyond this network, probed by unicast because multicast and the
// limited broadcast never cross a router. One parser turns what a user typed into IPv4
// addresses for both programs; the health query tells how each target's probes went.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// At most this many targets in all, so that a sweep stays short (about a second).
constexpr std::size_t kMaxSearchTargets = 4096;
// The widest range taken: /20 holds 4096 addresses.
constexpr int kWidestTargetPrefix = 20;

// What one text names, read without asking the resolver.
struct SearchTargetText {
    enum class Kind { Addresses, HostName, Refused };
    Kind kind = Kind::Refused;
    std::vector<std::string> addresses;  // Addresses: the dotted quads, in order
    std::string hostName;                // HostName: the name to resolve (trimmed)
    std::string error;                   // Refused: the one-line error that quotes the text
};

// Reads one text, whatever its bytes, and never throws on it: an IPv4 address ("10.78.3.5"),
// a range of /20 or longer ("10.78.3.0/24": its host addresses, without the network and
// broadcast address up to /30; /31 both, /32 the one), or a host name (letters, digits, '-',
// '_' and '.', at most 253 characters, parts of at most 63), left for ResolveSearchTarget.
// Anything else is refused with an error that quotes text as given, as in
// "10.0.0.0/8: a range may hold at most 4096 addresses (/20)". Any thread; no socket.
SearchTargetText ReadSearchTarget(const std::string& text);

// Appends what target names to addresses: its addresses, or a HostName resolved now (IPv4
// only; this may block on the system's resolver, so not on a thread that must stay
// responsive). False with target's error, or with the resolver's refusal quoting text;
// addresses are then left as they were.
bool ResolveSearchTarget(const SearchTargetText& target, const std::string& text,
                         std::vector<std::string>& addresses, std::string& error);

// ReadSearchTarget, then ResolveSearchTarget: a host name is resolved now.
bool ParseSearchTarget(const std::string& text, std::vector<std::string>& addresses,
                       std::string& error);

// Every text in turn, each address once, and the total held to kMaxSearchTargets. On a refusal
// false, with the error of the first text refused and that text in failedText.
bool ParseSearchTargets(const std::vector<std::string>& texts, std::vector<std::string>& addresses,
                        std::string& error, std::string& failedText);

// How the probes to one target went in the current search window (see StartSearchWindow).
struct SearchTargetHealth {
    std::string address;
    std::uint32_t probesSent = 0;
    std::uint32_t sendErrors = 0;
    int lastSendError = 0;  // errno of the last failed send; 0 when none failed
    std::uint32_t answers = 0;  // answers that came from this address
    // Probes that found no search socket to leave from (no worker that can send serves the
    // route to this address).
    std::uint32_t probesUnsent = 0;
};

// The targets set with SetSearchTargets (searchlib.h), in address order, with their counters.
// Empty without targets. Any thread.
std::vector<SearchTargetHealth> GetSearchTargetHealth();
