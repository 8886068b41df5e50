#pragma once

#include <string>

// Socket tests run in a network namespace of their own, made by the test binary's main before
// any test starts: only loopback, with multicast and the limited broadcast routed through it.
// Where no namespace can be made (not root), such tests skip; they never use the host network.
namespace nasfinder::test {

// Moves the process into a fresh network namespace; false (see WhyNotSealed) when it cannot.
// Call it first thing in main, while the process has a single thread.
bool SealNetwork();
bool NetworkSealed();
const std::string& WhyNotSealed();

}  // namespace nasfinder::test
