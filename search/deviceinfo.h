#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <type_traits>

// One found device, as the search library reports it and the application keeps it.
// Plain data copied whole (240 bytes); every text field holds at most 31 characters and a zero.
struct deviceinfo {
    char id[32];
    char ip[32];
    char host[32];
    char product[32];
    char extra[32];
    char osversion[32];
    char factory[32];
    // 1 answer, 2 alive, 4 byebye, 0 another announcement; any byte from the broadcast search.
    std::int32_t type;
    // Seconds the entry lives; 60 in every new record.
    std::int64_t lifetime;

    deviceinfo() { clear(); }

    // Empties every field: 32 zero bytes each, type 0, lifetime 60.
    void clear();

    // Same device in the same state: the seven texts (up to their zero) and type; never lifetime.
    bool compare(deviceinfo other) const;
};

static_assert(sizeof(deviceinfo) == 240, "deviceinfo crosses the library boundary as 240 bytes");
static_assert(std::is_trivially_copyable<deviceinfo>::value, "deviceinfo is copied bytewise");
static_assert(std::is_standard_layout<deviceinfo>::value, "deviceinfo has a fixed layout");
static_assert(offsetof(deviceinfo, ip) == 32 && offsetof(deviceinfo, factory) == 192 &&
                  offsetof(deviceinfo, type) == 224 && offsetof(deviceinfo, lifetime) == 232,
              "deviceinfo field offsets are part of the record's layout");

constexpr std::size_t kDeviceFieldSize = sizeof deviceinfo::id;

// Copies at most 31 characters of text into a 32-byte field, zero-filling the rest.
void CopyDeviceField(char (&field)[32], const char* text);

// The text of a 32-byte field up to its zero, never past the field: a record handed in from
// outside the library need not carry one.
inline std::string_view DeviceFieldText(const char* field) {
    return std::string_view(field, strnlen(field, kDeviceFieldSize));
}
