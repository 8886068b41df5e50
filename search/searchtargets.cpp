#include "search/searchtargets.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <utility>

namespace {

constexpr std::size_t kMaxHostName = 253;
constexpr std::size_t kMaxLabel = 63;
constexpr const char* kNeitherOne = "not an address, a range such as 10.78.3.0/24 or a host name";

std::string Trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

std::string Dotted(std::uint32_t address) {
    in_addr raw{htonl(address)};
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &raw, text, sizeof text);
    return text;
}

// Strict dotted quad only: the resolver would also take "10.1" or "0x0a.1.2.3". inet_pton stops
// at a zero byte, so a text holding one is refused rather than read up to it.
bool ParseAddress(const std::string& text, std::uint32_t& address) {
    if (text.find('\0') != std::string::npos) return false;
    in_addr raw{};
    if (::inet_pton(AF_INET, text.c_str(), &raw) != 1) return false;
    address = ntohl(raw.s_addr);
    return true;
}

// A range's prefix: one or two digits up to 32, without sign or blank.
bool ParsePrefix(const std::string& text, int& prefix) {
    if (text.empty() || text.size() > 2) return false;
    prefix = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
        prefix = prefix * 10 + (c - '0');
    }
    return prefix <= 32;
}

// A probe goes to one box: never to "this network" (0/8), a group or the broadcast address.
bool Unicast(std::uint32_t address) {
    const std::uint32_t first = address >> 24;
    return first != 0 && first < 224;
}

bool Numeric(const std::string& text) {
    for (const char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c)) && c != '.') return false;
    }
    return true;
}

bool HostNameCharacters(const std::string& text) {
    for (const char c : text) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-' && c != '_') {
            return false;
        }
    }
    return true;
}

std::string Quoted(const std::string& text, const std::string& reason) {
    return text + ": " + reason;
}

SearchTargetText Refused(const std::string& text, const std::string& reason) {
    SearchTargetText target;
    target.error = Quoted(text, reason);
    return target;
}

SearchTargetText Addresses(std::vector<std::string> addresses) {
    SearchTargetText target;
    target.kind = SearchTargetText::Kind::Addresses;
    target.addresses = std::move(addresses);
    return target;
}

SearchTargetText ReadRange(const std::string& text, const std::string& trimmed, std::size_t slash) {
    std::uint32_t base = 0;
    int prefix = 0;
    if (!ParseAddress(trimmed.substr(0, slash), base) ||
        !ParsePrefix(trimmed.substr(slash + 1), prefix)) {
        return Refused(text, "not a range such as 10.78.3.0/24");
    }
    if (prefix < kWidestTargetPrefix) {
        return Refused(text, "a range may hold at most " + std::to_string(kMaxSearchTargets) +
                                 " addresses (/" + std::to_string(kWidestTargetPrefix) + ")");
    }
    const std::uint32_t size = std::uint32_t{1} << (32 - prefix);
    base &= ~(size - 1);
    if (!Unicast(base)) return Refused(text, "not a range of unicast addresses");
    // Up to /30 the first and last address are the network's own; /31 (RFC 3021) and /32 have
    // hosts only.
    const std::uint32_t skip = size > 2 ? 1 : 0;
    std::vector<std::string> addresses;
    for (std::uint32_t offset = skip; offset < size - skip; ++offset) {
        addresses.push_back(Dotted(base + offset));
    }
    return Addresses(std::move(addresses));
}

// Refused here, not by the resolver, so that the window can tell at once and nothing asks DNS
// about a name that cannot exist.
SearchTargetText ReadHostName(const std::string& text, const std::string& trimmed) {
    if (!HostNameCharacters(trimmed)) return Refused(text, kNeitherOne);
    // A final dot only marks the name as complete.
    const std::size_t length = trimmed.size() - (trimmed.back() == '.' ? 1 : 0);
    if (length > kMaxHostName) {
        return Refused(
            text, "a host name may be at most " + std::to_string(kMaxHostName) + " characters");
    }
    for (std::size_t start = 0; start <= length;) {
        const std::size_t dot = std::min(trimmed.find('.', start), length);
        if (dot == start) return Refused(text, kNeitherOne);
        if (dot - start > kMaxLabel) {
            return Refused(text, "each part of a host name may be at most " +
                                     std::to_string(kMaxLabel) + " characters");
        }
        start = dot + 1;
    }
    SearchTargetText target;
    target.kind = SearchTargetText::Kind::HostName;
    target.hostName = trimmed;
    return target;
}

bool Resolve(const std::string& text, const std::string& name, std::vector<std::string>& addresses,
             std::string& error) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    const int status = ::getaddrinfo(name.c_str(), nullptr, &hints, &found);
    if (status != 0) {
        error = Quoted(text, std::string("the name does not resolve to an IPv4 address (") +
                                 ::gai_strerror(status) + ")");
        return false;
    }
    std::set<std::uint32_t> seen;
    std::vector<std::string> resolved;
    for (const addrinfo* entry = found; entry != nullptr; entry = entry->ai_next) {
        const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ai_addr);
        const std::uint32_t value = ntohl(address->sin_addr.s_addr);
        if (Unicast(value) && seen.insert(value).second) resolved.push_back(Dotted(value));
    }
    ::freeaddrinfo(found);
    if (resolved.empty()) {
        error = Quoted(text, "the name has no unicast IPv4 address");
        return false;
    }
    addresses.insert(addresses.end(), resolved.begin(), resolved.end());
    return true;
}

}  // namespace

SearchTargetText ReadSearchTarget(const std::string& text) {
    const std::string trimmed = Trimmed(text);
    if (trimmed.empty()) return Refused(text, "an empty target");
    const std::size_t slash = trimmed.find('/');
    if (slash != std::string::npos) return ReadRange(text, trimmed, slash);
    if (!Numeric(trimmed)) return ReadHostName(text, trimmed);
    std::uint32_t address = 0;
    if (!ParseAddress(trimmed, address)) return Refused(text, "not an IPv4 address");
    if (!Unicast(address)) return Refused(text, "not a unicast address");
    return Addresses({Dotted(address)});
}

bool ResolveSearchTarget(const SearchTargetText& target, const std::string& text,
                         std::vector<std::string>& addresses, std::string& error) {
    switch (target.kind) {
        case SearchTargetText::Kind::Addresses:
            addresses.insert(addresses.end(), target.addresses.begin(), target.addresses.end());
            return true;
        case SearchTargetText::Kind::HostName:
            return Resolve(text, target.hostName, addresses, error);
        case SearchTargetText::Kind::Refused:
            break;
    }
    error = target.error;
    return false;
}

bool ParseSearchTarget(const std::string& text, std::vector<std::string>& addresses,
                       std::string& error) {
    return ResolveSearchTarget(ReadSearchTarget(text), text, addresses, error);
}

bool ParseSearchTargets(const std::vector<std::string>& texts, std::vector<std::string>& addresses,
                        std::string& error, std::string& failedText) {
    std::vector<std::string> all;
    std::set<std::string> seen;
    for (const std::string& text : texts) {
        std::vector<std::string> parsed;
        if (!ParseSearchTarget(text, parsed, error)) {
            failedText = text;
            return false;
        }
        for (std::string& address : parsed) {
            if (seen.insert(address).second) all.push_back(std::move(address));
        }
        if (all.size() > kMaxSearchTargets) {
            failedText = text;
            error = text + ": the targets would hold " + std::to_string(all.size()) +
                    " addresses, at most " + std::to_string(kMaxSearchTargets);
            return false;
        }
    }
    addresses = std::move(all);
    return true;
}
