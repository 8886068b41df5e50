#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

// The 148-byte record of the broadcast search: sent as the request, and the shape of the
// devices' answers. Single bytes and byte arrays only, so it has no byte-order question.
struct SearchRequest {
    std::uint8_t cmd;   // 11 in a request, 12 in a device's answer
    std::uint8_t type;  // message kind; in an answer it becomes deviceinfo::type
    std::uint8_t reserved1;
    std::uint8_t reserved2;
    std::uint8_t param0[4];
    std::uint8_t param1[4];
    std::uint8_t param2[4];
    std::uint8_t param3[4];
    char info[128];  // key=value pairs joined by '&' in an answer; empty in a request
};

static_assert(sizeof(SearchRequest) == 148, "SearchRequest is 148 bytes on the wire");
static_assert(std::is_trivially_copyable<SearchRequest>::value, "SearchRequest is sent bytewise");
static_assert(offsetof(SearchRequest, param0) == 4 && offsetof(SearchRequest, info) == 20,
              "SearchRequest field offsets are fixed by the wire format");

constexpr std::uint8_t kSearchRequestCmd = 11;
constexpr std::uint8_t kSearchAnswerCmd = 12;

// The library's default request: 0B 01 00 00 FF FF FF FF and 140 zero bytes.
inline SearchRequest DefaultSearchRequest() {
    SearchRequest request{};
    request.cmd = kSearchRequestCmd;
    request.type = 1;
    for (auto& byte : request.param0) byte = 0xFF;
    return request;
}
