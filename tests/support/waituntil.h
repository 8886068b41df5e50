#pragma once

#include <chrono>
#include <functional>

namespace nasfinder::test {

// Polls condition every few milliseconds until it holds or limit has passed; its last answer.
bool WaitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds limit = std::chrono::milliseconds(2000));

}  // namespace nasfinder::test
