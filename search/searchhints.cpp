#include "search/searchhints.h"

#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

#include "search/details/porthelper.h"
#include "search/details/searchfacts.h"
#include "search/details/searchthreadregistry.h"
#include "search/protocol.h"

namespace {

// The English wording of every hint; the window's language files carry the same patterns.
const std::vector<SearchHintWording> kWordings = {
    {"no-ipv4-interface", "No network connection",
     "This computer has no network interface with an IPv4 address, so the search cannot reach "
     "any box. Connect the network cable or join a Wi-Fi network, then search again."},
    {"broadcast-port-denied", "Broadcast search not allowed",
     "The broadcast search could not start: this program may not use UDP port {port} ({error}). "
     "The SSDP search still runs. To allow the broadcast search, run once: {command}"},
    {"port-in-use 1900", "Port {port} is in use",
     "{program} (process {pid}) holds UDP port 1900, so the boxes' announcements do not reach "
     "this program; boxes that answer a search are still found. Close {program} or stop its "
     "discovery service, then search again."},
    {"port-in-use 1900 unknown", "Port {port} is in use",
     "Another program holds UDP port 1900, so the boxes' announcements do not reach this "
     "program; boxes that answer a search are still found. Close that program ({command} names "
     "it), then search again."},
    {"port-in-use 67", "Port {port} is in use",
     "{program} (process {pid}) holds UDP port 67, so the answers to the broadcast search do not "
     "arrive; the SSDP search still runs. Close {program}, then search again."},
    {"port-in-use 67 unknown", "Port {port} is in use",
     "Another program holds UDP port 67, so the answers to the broadcast search do not arrive; "
     "the SSDP search still runs. Close that program ({command} names it), then search again."},
    {"answers-blocked", "Answers are blocked",
     "Boxes announce themselves on the network, but no search got a single answer: the answers "
     "are dropped on their way in, most likely by a firewall. Allow incoming UDP on ports "
     "{ports} on this computer, then search again."},
    {"send-failed", "Searches could not be sent",
     "The search could not be sent from port {port}: {error}. Check that the network "
     "connection works and that no firewall blocks outgoing UDP, then search again."},
    {"nothing-heard", "No box answered",
     "The search went out and nothing answered or announced itself. Check that the box is "
     "switched on and connected to the same network as this computer (its lights, or your "
     "router's list of devices), then search again."},
    {"probe-no-route", "Other network not connected",
     "The search could not be sent to addresses you asked for ({targets}; {count} in all): "
     "there is no route to them ({error}). This computer is not connected to their network "
     "(a VPN that is down, for example). Connect to it, then search again."},
    {"probe-not-sent", "Search not sent to the addresses you asked for",
     "The search could not be sent to addresses you asked for ({targets}; {count} in all): "
     "{error}. Check that no firewall blocks outgoing UDP and that this program may use UDP "
     "port 1900 or 67, then search again."},
    {"probe-unanswered", "No answer from the addresses you asked for",
     "The search went to the addresses you asked for ({targets}; {count} in all) and none "
     "of them answered. Check that the box is switched on and that UDP ports 1900 and 68 reach it "
     "across the router or VPN, then search again."},
};

SearchHintFact Number(const char* name, long long value) {
    return {name, std::to_string(value), true};
}
SearchHintFact Text(const char* name, std::string value) {
    return {name, std::move(value), false};
}

SearchHint MakeHint(const std::string& code, const std::string& variant,
                    std::vector<SearchHintFact> facts) {
    SearchHint hint;
    hint.code = code;
    hint.variant = variant;
    hint.facts = std::move(facts);
    for (const SearchHintWording& wording : kWordings) {
        if (hint.WordingKey() == wording.key) {
            hint.summaryPattern = wording.summary;
            hint.textPattern = wording.text;
        }
    }
    hint.summary = FillHintPattern(hint.summaryPattern, hint.facts);
    hint.text = FillHintPattern(hint.textPattern, hint.facts);
    return hint;
}

bool HasIPv4Interface(const std::vector<LocalInterfaceAddress>& interfaces) {
    return std::any_of(interfaces.begin(), interfaces.end(),
                       [](const LocalInterfaceAddress& entry) { return entry.Searchable(); });
}

std::string UpInterfaces(const std::vector<LocalInterfaceAddress>& interfaces) {
    std::vector<std::string> seen;
    std::string names;
    for (const LocalInterfaceAddress& entry : interfaces) {
        if (!entry.up || std::find(seen.begin(), seen.end(), entry.name) != seen.end()) continue;
        seen.push_back(entry.name);
        names += (names.empty() ? "" : ", ") + entry.name;
    }
    return names;
}

// A per-interface worker whose address left the machine (or is about to be retired for it)
// says nothing about this network; the shared workers serve whatever is there.
bool Serves(const SearchWorkerHealth& worker,
            const std::vector<LocalInterfaceAddress>& interfaces) {
    if (worker.state == SearchWorkerState::Gone) return false;
    if (worker.role != SearchWorkerRole::Interface) return true;
    return std::any_of(interfaces.begin(), interfaces.end(), [&](const LocalInterfaceAddress& e) {
        return e.Searchable() && e.address == worker.address;
    });
}

// The port another program holds from this worker: its first port, where it could not bind
// for that reason (or moved on from it); 0 when none.
int HeldPort(const SearchWorkerHealth& worker) {
    // A per-interface worker that moved on loses nothing: the answers follow it. The shared
    // workers lose what only their first port hears (broadcast answers, announcements).
    const bool shared = worker.role != SearchWorkerRole::Interface;
    return shared && worker.setupError == EADDRINUSE ? worker.firstPort : 0;
}

SearchHint PortInUse(int port, const std::vector<PortHolder>& holders) {
    for (const PortHolder& holder : holders) {
        if (holder.port == port && holder.pid > 0) {
            return MakeHint(
                "port-in-use", std::to_string(port),
                {Number("port", port), Number("pid", holder.pid), Text("program", holder.program)});
        }
    }
    const std::string command = "sudo ss -ulpn 'sport = :" + std::to_string(port) + "'";
    return MakeHint("port-in-use", std::to_string(port) + " unknown",
                    {Number("port", port), Text("command", command)});
}

// The first few addresses and, when there are more, an ellipsis: the count tells how many.
std::string FirstAddresses(const std::vector<const SearchTargetHealth*>& targets) {
    constexpr std::size_t kNamed = 3;
    std::string text;
    for (std::size_t i = 0; i < targets.size() && i < kNamed; ++i) {
        text += (i == 0 ? "" : ", ") + targets[i]->address;
    }
    return targets.size() > kNamed ? text + ", …" : text;
}

// Why no worker could send a probe: each shared worker that does not listen, with its port
// and set-up error ("port 67: Permission denied; port 1900: Address already in use").
std::string NoSenderReason(const std::vector<SearchWorkerHealth>& workers) {
    std::string reason;
    for (const SearchWorkerHealth& worker : workers) {
        if (worker.role == SearchWorkerRole::Interface ||
            worker.state == SearchWorkerState::Listening) {
            continue;
        }
        const std::string why = worker.state == SearchWorkerState::Failed
                                    ? worker.setupErrorText
                                    : SearchWorkerStateName(worker.state);
        reason += (reason.empty() ? "" : "; ") + std::string("port ") +
                  std::to_string(worker.firstPort) + ": " + why;
    }
    return reason;
}

// Targets without a route to them; targets none of whose probes went out, for a failed send or
// for want of a worker that can send; and, when no target answered at all, those probed in
// vain: a range whose box answered gives no hint for its empty addresses.
void AddProbeHints(const std::vector<SearchTargetHealth>& targets,
                   const std::vector<SearchWorkerHealth>& workers, std::vector<SearchHint>& hints) {
    std::vector<const SearchTargetHealth*> noRoute;
    std::vector<const SearchTargetHealth*> notSent;
    std::vector<const SearchTargetHealth*> unanswered;
    int routeError = 0;
    int sendError = 0;
    bool answered = false;
    for (const SearchTargetHealth& target : targets) {
        answered = answered || target.answers > 0;
        if (target.lastSendError == ENETUNREACH || target.lastSendError == EHOSTUNREACH) {
            noRoute.push_back(&target);
            routeError = target.lastSendError;
        } else if (target.probesSent > 0) {
            unanswered.push_back(&target);
        } else if (target.sendErrors > 0 || target.probesUnsent > 0) {
            notSent.push_back(&target);
            if (sendError == 0) sendError = target.lastSendError;
        }
    }
    if (!noRoute.empty()) {
        hints.push_back(
            MakeHint("probe-no-route", "",
                     {Number("count", static_cast<long long>(noRoute.size())),
                      Text("targets", FirstAddresses(noRoute)),
                      Text("error", std::strerror(routeError)), Number("errno", routeError)}));
    }
    if (!notSent.empty()) {
        // A send that failed says most; without one, no worker could send at all.
        std::vector<SearchHintFact> facts{
            Number("count", static_cast<long long>(notSent.size())),
            Text("targets", FirstAddresses(notSent)),
            Text("error", sendError != 0 ? std::strerror(sendError) : NoSenderReason(workers))};
        if (sendError != 0) facts.push_back(Number("errno", sendError));
        hints.push_back(MakeHint("probe-not-sent", "", std::move(facts)));
    }
    if (!unanswered.empty() && !answered) {
        hints.push_back(MakeHint("probe-unanswered", "",
                                 {Number("count", static_cast<long long>(unanswered.size())),
                                  Text("targets", FirstAddresses(unanswered))}));
    }
}

// The chosen interface patterns that match none of these interfaces.
std::vector<std::string> Unmatched(const std::vector<LocalInterfaceAddress>& interfaces) {
    std::vector<std::string> names;
    for (const LocalInterfaceAddress& entry : interfaces) names.push_back(entry.name);
    return CurrentInterfaceChoice().Unmatched(names);
}

}  // namespace

std::string SearchHint::Fact(const std::string& name) const {
    for (const SearchHintFact& fact : facts) {
        if (fact.name == name) return fact.value;
    }
    return {};
}

std::string SearchHint::WordingKey() const {
    return variant.empty() ? code : code + " " + variant;
}

const std::vector<SearchHintWording>& SearchHintWordings() {
    return kWordings;
}

const char* SearchWorkerRoleName(SearchWorkerRole role) {
    switch (role) {
        case SearchWorkerRole::Broadcast:
            return "broadcast";
        case SearchWorkerRole::Ssdp:
            return "ssdp";
        case SearchWorkerRole::Interface:
            return "interface";
    }
    return "";
}

const char* SearchWorkerStateName(SearchWorkerState state) {
    switch (state) {
        case SearchWorkerState::Listening:
            return "listening";
        case SearchWorkerState::Failed:
            return "failed";
        case SearchWorkerState::Stopped:
            return "stopped";
        case SearchWorkerState::Gone:
            return "gone";
    }
    return "";
}

std::string DescribeSearchWorker(const SearchWorkerHealth& worker, bool counters) {
    std::string line = SearchWorkerRoleName(worker.role);
    if (!worker.interfaceName.empty()) {
        line += " " + worker.interfaceName + " (" + worker.address + ")";
    }
    line += ", port " + std::to_string(worker.port) + ": " + SearchWorkerStateName(worker.state);
    if (worker.state == SearchWorkerState::Failed) return line + " (" + worker.setupErrorText + ")";
    for (const SearchGroupMembership& group : worker.groups) {
        if (group.error == 0) continue;
        line += "; group not joined on " + group.interfaceName + " (" + group.address +
                "): " + group.errorText;
    }
    if (!counters) return line;
    line += "; " + std::to_string(worker.searchesSent) + " sent, " +
            std::to_string(worker.sendErrors) + " send errors, " +
            std::to_string(worker.datagramsReceived) + " received, " +
            std::to_string(worker.answersReceived) + " answers, " +
            std::to_string(worker.announcementsHeard) + " announcements";
    if (worker.sendErrors > 0) line += " (" + worker.lastSendErrorText + ")";
    return line;
}

std::string FillHintPattern(const std::string& pattern, const std::vector<SearchHintFact>& facts) {
    std::string text;
    std::size_t at = 0;
    while (at < pattern.size()) {
        const std::size_t open = pattern.find('{', at);
        const std::size_t close =
            open == std::string::npos ? std::string::npos : pattern.find('}', open);
        if (close == std::string::npos) break;
        text.append(pattern, at, open - at);
        const std::string name = pattern.substr(open + 1, close - open - 1);
        bool known = false;
        for (const SearchHintFact& fact : facts) {
            if (fact.name == name) {
                text += fact.value;
                known = true;
                break;
            }
        }
        // A pattern naming a fact the hint lacks keeps the name visible rather than a gap.
        if (!known) text.append(pattern, open, close - open + 1);
        at = close + 1;
    }
    text.append(pattern, at, std::string::npos);
    return text;
}

std::vector<SearchHint> SearchHints(const SearchFacts& facts) {
    std::vector<SearchHint> hints;
    const bool connected = HasIPv4Interface(facts.interfaces);
    if (!connected) {
        hints.push_back(MakeHint("no-ipv4-interface", "",
                                 {Text("interfaces", UpInterfaces(facts.interfaces))}));
    }
    for (const SearchWorkerHealth& worker : facts.workers) {
        if (worker.role == SearchWorkerRole::Broadcast &&
            worker.state == SearchWorkerState::Failed &&
            (worker.setupError == EACCES || worker.setupError == EPERM)) {
            hints.push_back(
                MakeHint("broadcast-port-denied", "",
                         {Number("port", worker.firstPort), Text("error", worker.setupErrorText),
                          Text("command", "sudo setcap cap_net_bind_service=+ep " +
                                              ShellQuotedProgramPath(facts.portHelperPath))}));
        }
        if (const int port = HeldPort(worker)) hints.push_back(PortInUse(port, facts.portHolders));
    }
    // Without a network, whatever was sent or heard says nothing more.
    if (!connected) return hints;

    std::uint64_t sent = 0;
    std::uint64_t answers = 0;
    std::uint64_t announcements = 0;
    bool allListening = true;
    // A failed send of a worker serving an address that is here, and of a shared worker.
    const SearchWorkerHealth* interfaceFailure = nullptr;
    const SearchWorkerHealth* sharedFailure = nullptr;
    std::string ports;
    for (const SearchWorkerHealth& worker : facts.workers) {
        // What a retired worker heard in this window still counts: its answers were answers.
        answers += worker.answersReceived;
        announcements += worker.announcementsHeard;
        if (!Serves(worker, facts.interfaces)) continue;
        if (worker.state != SearchWorkerState::Listening) {
            allListening = false;
            continue;
        }
        sent += worker.searchesSent;
        const SearchWorkerHealth*& failure =
            worker.role == SearchWorkerRole::Interface ? interfaceFailure : sharedFailure;
        if (worker.sendErrors > 0 && failure == nullptr) failure = &worker;
        ports += (ports.empty() ? "" : ", ") + std::to_string(worker.port);
    }
    // Sending is only in question when no search reached any network, or when a worker of an
    // address that is here failed and nothing was found. Without a default route the broadcast
    // and group sends fail while the per-interface searches find the boxes.
    const SearchWorkerHealth* sendFailure =
        sent == 0 ? (interfaceFailure ? interfaceFailure : sharedFailure)
        : facts.devicesFound == 0 && interfaceFailure ? interfaceFailure
                                                      : nullptr;
    if (sendFailure != nullptr) {
        hints.push_back(MakeHint(
            "send-failed", "",
            {Number("port", sendFailure->port), Text("error", sendFailure->lastSendErrorText),
             Number("errno", sendFailure->lastSendError)}));
    }
    if (sent > 0 && announcements > 0 && answers == 0) {
        hints.push_back(MakeHint("answers-blocked", "",
                                 {Text("ports", ports),
                                  Number("announcements", static_cast<long long>(announcements))}));
    }
    AddProbeHints(facts.targets, facts.workers, hints);
    if (hints.empty() && allListening && sent > 0 && answers == 0 && announcements == 0 &&
        facts.devicesFound == 0) {
        hints.push_back(
            MakeHint("nothing-heard", "", {Number("searches", static_cast<long long>(sent))}));
    }
    return hints;
}

std::string ShellQuotedProgramPath(std::string path) {
    static const std::string kDeleted = " (deleted)";
    if (path.size() > kDeleted.size() &&
        path.compare(path.size() - kDeleted.size(), kDeleted.size(), kDeleted) == 0) {
        path.resize(path.size() - kDeleted.size());
    }
    std::string quoted = "'";
    for (const char c : path) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

SearchFacts GatherSearchFacts(std::size_t devicesFound) {
    SearchFacts facts;
    facts.devicesFound = devicesFound;
    facts.workers = GetSearchWorkerHealth();
    facts.targets = GetSearchTargetHealth();
    std::string ignored;
    ListLocalAddresses(facts.interfaces, ignored);
    facts.portHelperPath = PortHelperPath();
    for (const SearchWorkerHealth& worker : facts.workers) {
        if (const int port = HeldPort(worker)) facts.portHolders.push_back(FindPortHolder(port));
    }
    return facts;
}

SearchDiagnosis DiagnoseSearch(std::size_t devicesFound) {
    SearchFacts facts = GatherSearchFacts(devicesFound);
    SearchDiagnosis diagnosis;
    diagnosis.hints = SearchHints(facts);
    diagnosis.unmatchedPatterns = Unmatched(facts.interfaces);
    diagnosis.workers = std::move(facts.workers);
    return diagnosis;
}

std::vector<std::string> UnmatchedInterfacePatterns() {
    std::vector<LocalInterfaceAddress> interfaces;
    std::string ignored;
    ListLocalAddresses(interfaces, ignored);
    return Unmatched(interfaces);
}
