// The target parser's reading step on any bytes: whatever a user types, pastes or keeps in the
// settings file gives addresses, a host name or a refusal that quotes it, never an exception
// (libFuzzer reports one as a crash). Names are never resolved here: CI fuzzes on its host's
// network.

#include <arpa/inet.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "search/searchtargets.h"

struct addrinfo;

// Reading must not ask the resolver, and resolving anything but a host name must not either:
// were either to, the run stops here instead of sending a DNS query.
extern "C" int getaddrinfo(const char*, const char*, const addrinfo*, addrinfo**) {
    std::abort();
}

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

void CheckAddresses(const SearchTargetText& target) {
    Check(!target.addresses.empty() && target.addresses.size() <= kMaxSearchTargets);
    for (const std::string& address : target.addresses) {
        in_addr raw{};
        Check(::inet_pton(AF_INET, address.c_str(), &raw) == 1);
        const std::uint32_t first = ntohl(raw.s_addr) >> 24;
        Check(first != 0 && first < 224);
    }
    Check(target.hostName.empty() && target.error.empty());
}

void CheckHostName(const SearchTargetText& target, const std::string& text) {
    static const char kNameCharacters[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.-_";
    Check(!target.hostName.empty() && target.hostName.size() <= 254);
    Check(target.hostName.find_first_not_of(kNameCharacters) == std::string::npos);
    Check(text.find(target.hostName) != std::string::npos);
    Check(target.addresses.empty() && target.error.empty());
}

void CheckRefused(const SearchTargetText& target, const std::string& text) {
    Check(target.error.size() > text.size() + 2);
    Check(target.error.compare(0, text.size() + 2, text + ": ") == 0);
    // The reason after the quote is one line.
    Check(target.error.find('\n', text.size()) == std::string::npos);
    Check(target.addresses.empty() && target.hostName.empty());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const SearchTargetText target = ReadSearchTarget(text);
    switch (target.kind) {
        case SearchTargetText::Kind::Addresses:
            CheckAddresses(target);
            break;
        case SearchTargetText::Kind::HostName:
            CheckHostName(target, text);
            return 0;
        case SearchTargetText::Kind::Refused:
            CheckRefused(target, text);
            break;
    }
    // Addresses and refusals answer from what was read.
    std::vector<std::string> addresses;
    std::string error;
    const bool accepted = ResolveSearchTarget(target, text, addresses, error);
    Check(accepted == (target.kind == SearchTargetText::Kind::Addresses));
    Check(addresses == target.addresses);
    Check(accepted || error == target.error);
    return 0;
}
