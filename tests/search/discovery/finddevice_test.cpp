#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "search/details/finddevice.h"
#include "tests/support/templog.h"

namespace {

using namespace std::chrono_literals;
using nasfinder::test::TempLog;
using testing::ElementsAre;

deviceinfo Device(const char* id) {
    deviceinfo record;
    CopyDeviceField(record.id, id);
    CopyDeviceField(record.ip, "192.168.1.20");
    record.type = 1;
    return record;
}

const deviceinfo* seenAddress = nullptr;
int seenHandle = 0;
std::string seenSender;

int Scribble(deviceinfo* record, int handle) {
    seenAddress = record;
    seenHandle = handle;
    seenSender = CurrentReportSender();
    CopyDeviceField(record->id, "overwritten");
    return 0;
}

TEST(OnFindDevice, HandsACopyWithThePortAndLogsFourLines) {
    TempLog log;
    SetFindDeviceCallback(&Scribble);
    deviceinfo record = Device("0123-abcd");
    // The datagram came from another address than the one its record names.
    OnFindDevice(&record, sizeof record, 1900, "192.168.1.77");
    EXPECT_NE(seenAddress, &record);
    EXPECT_EQ(seenHandle, 1900);
    EXPECT_EQ(seenSender, "192.168.1.77");
    EXPECT_STREQ(CurrentReportSender(), "") << "told only inside the callback";
    EXPECT_STREQ(record.id, "0123-abcd") << "the callback must not reach the worker's record";
    EXPECT_THAT(log.Messages(),
                ElementsAre("Handle 1900 : Search 1900 Thread Find Device and wait for mutex  ",
                            "Handle 1900 : Search 1900 Thread Find Device have Mutex  ",
                            "Handle 1900 : Search 1900 Thread Find Device ID : 0123-abcd, IP : "
                            "192.168.1.20  ",
                            "Handle 1900 : Search 1900 Thread Find Device Success Handle  "));
}

TEST(OnFindDevice, WithoutACallbackLogsAndReportsNothing) {
    TempLog log;
    SetFindDeviceCallback(nullptr);
    deviceinfo record = Device("A1");
    OnFindDevice(&record, sizeof record, 67, "192.168.1.20");
    EXPECT_EQ(log.Messages().size(), 4u);
    EXPECT_EQ(log.Messages().back(), "Handle 67 : Search 67 Thread Find Device Success Handle  ");
}

int Throwing(deviceinfo*, int) {
    throw std::runtime_error("callback failed");
}

TEST(OnFindDevice, ACallbackErrorReleasesTheMutex) {
    SetFindDeviceCallback(&Throwing);
    deviceinfo record = Device("A1");
    EXPECT_THROW(OnFindDevice(&record, sizeof record, 1900, "192.168.1.20"), std::runtime_error);
    EXPECT_STREQ(CurrentReportSender(), "");
    ASSERT_TRUE(findDeviceMutex.try_lock());
    findDeviceMutex.unlock();
}

// Two workers reporting at once: the first holds the mutex inside its callback until the
// second is seen waiting; the second's callback must not start before the first has finished.
std::atomic<int> inside{0};
std::atomic<int> mostInside{0};
std::atomic<bool> releaseFirst{false};

int Slow(deviceinfo*, int handle) {
    int now = ++inside;
    if (now > mostInside) mostInside = now;
    if (handle == 1900) {
        while (!releaseFirst) std::this_thread::sleep_for(1ms);
    }
    --inside;
    return 0;
}

TEST(OnFindDevice, SerialisesWorkersReportingAtOnce) {
    TempLog log;
    SetFindDeviceCallback(&Slow);
    deviceinfo first = Device("first");
    deviceinfo second = Device("second");
    const std::string secondWaits =
        "Handle 1530 : Search 1530 Thread Find Device and wait for mutex  ";

    std::thread one([&] { OnFindDevice(&first, sizeof first, 1900, "192.168.1.20"); });
    while (inside == 0) std::this_thread::sleep_for(1ms);
    std::thread two([&] { OnFindDevice(&second, sizeof second, 1530, "192.168.1.20"); });
    auto deadline = std::chrono::steady_clock::now() + 2s;
    while (log.Contents().find(secondWaits) == std::string::npos &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(1ms);
    }
    releaseFirst = true;
    one.join();
    two.join();

    EXPECT_EQ(mostInside, 1);
    EXPECT_THAT(
        log.Messages(),
        ElementsAre("Handle 1900 : Search 1900 Thread Find Device and wait for mutex  ",
                    "Handle 1900 : Search 1900 Thread Find Device have Mutex  ",
                    "Handle 1900 : Search 1900 Thread Find Device ID : first, IP : 192.168.1.20  ",
                    secondWaits, "Handle 1900 : Search 1900 Thread Find Device Success Handle  ",
                    "Handle 1530 : Search 1530 Thread Find Device have Mutex  ",
                    "Handle 1530 : Search 1530 Thread Find Device ID : second, IP : 192.168.1.20  ",
                    "Handle 1530 : Search 1530 Thread Find Device Success Handle  "));
}

}  // namespace
