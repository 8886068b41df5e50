#pragma once

#include <gtest/gtest.h>

#include "search/details/searchdevicethread.h"

namespace nasfinder::test {

// Stops a worker that a test set up and waits for its receive thread, which has to end before
// the worker goes away.
inline void StopAndJoin(CSearchDeviceThread& worker) {
    worker.ExitWorkThread();
    EXPECT_TRUE(worker.JoinWorkThread()) << "worker " << worker.Port() << " still runs";
}

}  // namespace nasfinder::test
