#include "search/searchtargets.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cctype>
#include <set>

namespace {

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

// Strict dotted quad only: the resolver would also take "10.1" or "0x0a.1.2.3".
bool ParseAddress(const std::string& text, std::uint32_t& address) {
    in_addr raw{};
    if (::inet_pton(AF_INET, text.c_str(), &raw) != 1) return false;
    address = ntohl(raw.s_addr);
    return true;
}

// A probe goes to one box: never to "this network" (0/8), a group or the broadcast address.
bool Unicast(std::uint32_t address) {
    const std::uint32_t first = address >> 24;
    return first != 0 && first < 224;
}

bool Numeric(const std::string& text) {
    for (const char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c)) && c != '.' && c != '/') return false;
    }
    return true;
}

bool HostName(const std::string& text) {
    for (const char c : text) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-' && c != '_') {
            return false;
        }
    }
    return true;
}

bool Refuse(const std::string& text, const std::string& reason, std::string& error) {
    error = text + ": " + reason;
    return false;
}

bool ParseRange(const std::string& text, const std::string& trimmed, std::size_t slash,
                std::vector<std::string>& addresses, std::string& error) {
    std::uint32_t base = 0;
    const std::string prefixText = trimmed.substr(slash + 1);
    if (!ParseAddress(trimmed.substr(0, slash), base) || prefixText.empty() ||
        prefixText.size() > 2 || !Numeric(prefixText) || prefixText.find('.') != std::string::npos ||
        std::stoi(prefixText) > 32) {
        return Refuse(text, "not a range such as 10.78.3.0/24", error);
    }
    const int prefix = std::stoi(prefixText);
    if (prefix < kWidestTargetPrefix) {
        return Refuse(text,
                      "a range may hold at most " + std::to_string(kMaxSearchTargets) +
                          " addresses (/" + std::to_string(kWidestTargetPrefix) + ")",
                      error);
    }
    const std::uint32_t size = std::uint32_t{1} << (32 - prefix);
    base &= ~(size - 1);
    if (!Unicast(base)) return Refuse(text, "not a range of unicast addresses", error);
    // Up to /30 the first and last address are the network's own; /31 (RFC 3021) and /32 have
    // hosts only.
    const std::uint32_t skip = size > 2 ? 1 : 0;
    for (std::uint32_t offset = skip; offset < size - skip; ++offset) {
        addresses.push_back(Dotted(base + offset));
    }
    return true;
}

bool Resolve(const std::string& text, const std::string& name, std::vector<std::string>& addresses,
             std::string& error) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    const int status = ::getaddrinfo(name.c_str(), nullptr, &hints, &found);
    if (status != 0) {
        return Refuse(text,
                      std::string("the name does not resolve to an IPv4 address (") +
                          ::gai_strerror(status) + ")",
                      error);
    }
    std::set<std::uint32_t> seen;
    for (const addrinfo* entry = found; entry != nullptr; entry = entry->ai_next) {
        const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ai_addr);
        const std::uint32_t value = ntohl(address->sin_addr.s_addr);
        if (Unicast(value) && seen.insert(value).second) addresses.push_back(Dotted(value));
    }
    ::freeaddrinfo(found);
    if (seen.empty()) return Refuse(text, "the name has no unicast IPv4 address", error);
    return true;
}

}  // namespace

bool ParseSearchTarget(const std::string& text, std::vector<std::string>& addresses,
                       std::string& error) {
    const std::string trimmed = Trimmed(text);
    if (trimmed.empty()) return Refuse(text, "an empty target", error);
    std::vector<std::string> parsed;
    const std::size_t slash = trimmed.find('/');
    if (slash != std::string::npos) {
        if (!ParseRange(text, trimmed, slash, parsed, error)) return false;
    } else if (Numeric(trimmed)) {
        std::uint32_t address = 0;
        if (!ParseAddress(trimmed, address)) return Refuse(text, "not an IPv4 address", error);
        if (!Unicast(address)) return Refuse(text, "not a unicast address", error);
        parsed.push_back(Dotted(address));
    } else if (!HostName(trimmed)) {
        return Refuse(text, "not an address, a range such as 10.78.3.0/24 or a host name", error);
    } else if (!Resolve(text, trimmed, parsed, error)) {
        return false;
    }
    addresses.insert(addresses.end(), parsed.begin(), parsed.end());
    return true;
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
