#include "tests/support/sealednetwork.h"

#include <cstdio>

#include <sched.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace nasfinder::test {
namespace {

bool sealed = false;
std::string whyNot = "the test binary did not try to make a network namespace";

// Loopback up with multicast, and the group range and the limited broadcast routed through it,
// so multicast and broadcast sends reach listeners in the same namespace and nowhere else.
// The source address makes looped-back datagrams come from 127.0.0.1 rather than 0.0.0.0.
constexpr const char* kSetUpLoopback =
    "ip link set lo up && ip link set lo multicast on && "
    "ip route add 224.0.0.0/4 dev lo src 127.0.0.1 && "
    "{ ip route add 255.255.255.255/32 dev lo src 127.0.0.1 2>/dev/null || true; }";

}  // namespace

bool SealNetwork() {
    if (sealed) return true;
    if (geteuid() != 0) {
        whyNot = "making a network namespace needs root (the suite never uses the host network)";
        return false;
    }
    if (unshare(CLONE_NEWNET) != 0) {
        whyNot = std::string("unshare(CLONE_NEWNET) failed: ") + std::strerror(errno);
        return false;
    }
    // From here on the process is in its own namespace; a failed set-up leaves it sealed but
    // useless, which must fail loudly rather than skip.
    if (std::system(kSetUpLoopback) != 0) {
        std::fprintf(stderr, "sealed network: setting up loopback with iproute2 failed\n");
        std::exit(1);
    }
    sealed = true;
    return true;
}

bool NetworkSealed() {
    return sealed;
}
const std::string& WhyNotSealed() {
    return whyNot;
}

}  // namespace nasfinder::test
