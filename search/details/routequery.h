#pragma once

#include "search/details/internal.h"

#include <cstdint>

// Asks the kernel which local address it sends to a remote address from: connecting a UDP
// socket picks the route and its source, and sends nothing. Owns one socket, opened at the
// first question and disconnected after each, because a connected socket keeps the first
// source it was given. One thread at a time (the probe sweep's).
class CRouteQuery {
public:
    CRouteQuery() = default;
    ~CRouteQuery();
    CRouteQuery(const CRouteQuery&) = delete;
    CRouteQuery& operator=(const CRouteQuery&) = delete;

    // 0 with the source address of the route to target (both host order), or the errno that
    // says why there is none (ENETUNREACH without a route).
    int Source(std::uint32_t target, std::uint32_t& source);

private:
    int fd = -1;
};
