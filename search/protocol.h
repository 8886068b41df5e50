#pragma once

// The wire facts of the storage box search, written once for the workers, the device list store
// and the simulated boxes: where searches go, which ports listen, what the boxes answer.

#include <cstdint>

// SSDP: the group the boxes announce to and the M-SEARCH goes to (not the usual SSDP group).
constexpr const char kSsdpGroup[] = "239.143.255.250";
constexpr unsigned short kSsdpPort = 1900;

// Broadcast search: the request goes to 255.255.255.255 on the boxes' port, from our port.
constexpr unsigned short kBroadcastPort = 67;
constexpr unsigned short kBroadcastRequestPort = 68;

// The port helper (nasfinder-port-helper) binds kBroadcastPort for a program that may not, and
// answers on the Unix socket that program gave it with one message of this record: the errno of
// the step that failed, or 0 with the bound socket attached (SCM_RIGHTS).
struct PortHelperAnswer {
    std::int32_t error;
};

// Per-interface SSDP workers get 1530, 1550, ...: each worker may move up to 20 ports on.
constexpr int kFirstInterfacePort = 1530;
constexpr int kInterfacePortStep = 20;

// The device type searched for, and the brand every box's SERVER header carries.
constexpr const char kDeviceType[] = "urn:schemas-upnp-org:device:HomeNasDevice:1";
constexpr const char kBrandToken[] = "KIVO";

// Sent byte for byte, without a terminating zero; the boxes answer only this exact search.
constexpr const char kMSearch[] =
    "M-SEARCH * HTTP/1.1\r\n"
    "HOST: 239.143.255.250:1900\r\n"
    "ST: urn:schemas-upnp-org:device:HomeNasDevice:1\r\n"
    "MAN: \"ssdp:discover\"\r\n"
    "MX: 3\r\n"
    "\r\n";
constexpr unsigned kMSearchLength = sizeof kMSearch - 1;
static_assert(kMSearchLength == 129, "the M-SEARCH datagram is 129 bytes");

// What a device record's type says about the message it came from. A broadcast answer carries
// its own byte here, which the application reads with the same meanings.
enum DeviceMessageType : std::int32_t {
    kDeviceAnswer = 1,  // answer to a search
    kDeviceAlive = 2,   // ssdp:alive announcement
    kDeviceByebye = 4,  // ssdp:byebye announcement: the device leaves
};
