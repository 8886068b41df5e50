#pragma once

#include <cstddef>
#include <string>

#include "search/searchrequest.h"
#include "tools/nas-sim/boxconfig.h"

// What a box says on the wire.

// The 148-byte answer to a broadcast search: code 12, kind 1, id/host/vendor/product pairs.
SearchRequest BroadcastAnswer(const BoxConfig& box);

// The unicast answer to an M-SEARCH: status line, LOCATION (the box's location address),
// SERVER with the brand and the device token vendor/host/product[/extra], USN with the box's id.
std::string SsdpAnswer(const BoxConfig& box);

// The announcement to the SSDP group: ssdp:alive when alive, else ssdp:byebye.
std::string SsdpNotify(const BoxConfig& box, bool alive);

// A broadcast search request: 148 bytes with code 11.
bool IsBroadcastSearch(const char* data, std::size_t length);

// An M-SEARCH for the storage device type (or for everything).
bool IsSsdpSearch(const char* data, std::size_t length);
