#pragma once

#include <gtest/gtest.h>

#include "tests/support/sealednetwork.h"

// First statement of every GoogleTest case that opens a socket.
#define REQUIRE_SEALED_NETWORK()                                                          \
    do {                                                                                  \
        if (!::nasfinder::test::NetworkSealed())                                          \
            GTEST_SKIP() << "socket test skipped: " << ::nasfinder::test::WhyNotSealed(); \
    } while (0)
