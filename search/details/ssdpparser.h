#pragma once

#include "search/details/internal.h"

#include "search/deviceinfo.h"

// Turns one SSDP datagram into a device record. text is the datagram as NUL-terminated text
// (nothing after its first zero byte is seen); fromIp is the sender's dotted address, used when
// the datagram has no LOCATION header. record is cleared first; on return it holds the fields
// found and the message kind in type (1 answer, 2 alive, 4 byebye, 0 other announcement).
// Returns false when the datagram is dropped: no brand, no usable identifier, a LOCATION
// without "//" or a later ':', or neither an answer nor a root-device announcement with NTS.
// Matching is case-sensitive; every field is cut to 31 characters, the device token to 63.
bool ParseSsdpDatagram(const char* text, const char* fromIp, deviceinfo& record);
