#include <gtest/gtest.h>

#include "tests/support/sealednetwork.h"

// Test main of binaries whose tests open sockets: seal the network before any test runs,
// while the process still has a single thread.
int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    nasfinder::test::SealNetwork();
    return RUN_ALL_TESTS();
}
