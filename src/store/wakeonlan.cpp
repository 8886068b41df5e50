#include "src/store/wakeonlan.h"

#include <charconv>
#include <cstring>

std::optional<MacAddress> ParseMac(std::string_view text) {
    constexpr std::size_t kLength = 17;
    if (text.size() != kLength) return std::nullopt;
    const char separator = text[2];
    if (separator != ':' && separator != '-') return std::nullopt;
    MacAddress mac{};
    for (std::size_t i = 0; i < mac.size(); ++i) {
        const char* at = text.data() + i * 3;
        unsigned value = 0;
        // Two hex digits exactly: from_chars takes no sign and no "0x".
        if (std::from_chars(at, at + 2, value, 16).ptr != at + 2) return std::nullopt;
        if (i + 1 < mac.size() && at[2] != separator) return std::nullopt;
        mac[i] = static_cast<unsigned char>(value);
    }
    return mac;
}

std::string MacText(const MacAddress& mac) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    for (std::size_t i = 0; i < mac.size(); ++i) {
        if (i > 0) text += ':';
        text += kDigits[mac[i] >> 4];
        text += kDigits[mac[i] & 0x0F];
    }
    return text;
}

MagicPacket MakeMagicPacket(const MacAddress& mac) {
    MagicPacket packet{};
    for (std::size_t i = 0; i < 6; ++i) packet[i] = 0xFF;
    for (std::size_t copy = 0; copy < 16; ++copy) {
        std::memcpy(packet.data() + 6 + copy * mac.size(), mac.data(), mac.size());
    }
    return packet;
}

bool IsMagicPacketFor(const void* data, std::size_t size, const MacAddress& mac) {
    const MagicPacket expected = MakeMagicPacket(mac);
    return size == expected.size() && std::memcmp(data, expected.data(), size) == 0;
}
