#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// The wake-on-LAN facts, written once for nas-search, the window and the simulated boxes: the
// MAC address's text and the magic packet a sleeping box wakes on.

using MacAddress = std::array<unsigned char, 6>;

// The magic packet goes as UDP to this port; boxes also listen on the echo port.
constexpr unsigned short kWakePort = 9;
constexpr unsigned short kWakeEchoPort = 7;
// 6 bytes of 0xFF, then the MAC 16 times.
constexpr std::size_t kMagicPacketSize = 6 + 16 * 6;
using MagicPacket = std::array<unsigned char, kMagicPacketSize>;

// "aa:bb:cc:dd:ee:ff" in either letter case, with ':' or '-' between the six pairs (one
// separator throughout); nothing else.
std::optional<MacAddress> ParseMac(std::string_view text);
// Lower case with ':'.
std::string MacText(const MacAddress& mac);

MagicPacket MakeMagicPacket(const MacAddress& mac);
// Whether size bytes at data are exactly the magic packet for mac.
bool IsMagicPacketFor(const void* data, std::size_t size, const MacAddress& mac);
