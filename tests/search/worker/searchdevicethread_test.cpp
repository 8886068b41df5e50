#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <boost/asio.hpp>

#include "search/details/searchdevicethread.h"
#include "tests/support/gtestsealed.h"
#include "tests/support/stopworker.h"
#include "tests/support/templog.h"
#include "tests/support/waituntil.h"

namespace {

namespace asio = boost::asio;
using asio::ip::udp;
using namespace std::chrono_literals;
using nasfinder::test::StopAndJoin;
using nasfinder::test::TempLog;
using nasfinder::test::WaitUntil;
using testing::Contains;
using testing::ElementsAre;

constexpr int kPort = 40600;

// A worker whose handler records what the receive loop hands it.
class RecordingWorker : public CSearchDeviceThread {
public:
    SearchWorkerRole Role() const override { return SearchWorkerRole::Interface; }
    struct Datagram {
        std::string bytes;
        bool zeroBehind;
        std::string fromIp;
    };

    void HandleReceive(char* data, int length, std::string& fromIp) override {
        std::lock_guard<std::mutex> lock(mutex);
        received.push_back(
            {std::string(data, static_cast<std::size_t>(length)), data[length] == '\0', fromIp});
        changed.notify_all();
        if (failInHandler) throw std::runtime_error("handler failed");
    }

    std::vector<Datagram> WaitFor(std::size_t count) {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait_for(lock, 2s, [&] { return received.size() >= count; });
        return received;
    }

    bool failInHandler = false;

private:
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<Datagram> received;
};

void Send(const std::string& bytes, int port = kPort) {
    asio::io_context io;
    udp::socket sender(io, udp::v4());
    sender.send_to(asio::buffer(bytes), udp::endpoint(asio::ip::address_v4::loopback(), port));
}

bool PortIsFree(int port) {
    asio::io_context io;
    udp::socket probe(io, udp::v4());
    boost::system::error_code error;
    probe.bind(udp::endpoint(asio::ip::address_v4::any(), port), error);
    return !error;
}

TEST(SearchDeviceThread, HandsOverUpTo1024BytesWithAZeroBehind) {
    REQUIRE_SEALED_NETWORK();
    RecordingWorker worker;
    worker.InitThreadValue(nullptr, kPort, false);
    ASSERT_TRUE(worker.WorkThreadRunning());

    std::string exact(1024, 'a');
    std::string longer(1500, 'b');
    longer[1023] = 'c';
    Send("");
    Send(exact);
    Send(longer);

    auto received = worker.WaitFor(2);
    StopAndJoin(worker);
    ASSERT_EQ(received.size(), 2u) << "the empty datagram must not reach the handler";
    EXPECT_EQ(received[0].bytes, exact);
    EXPECT_EQ(received[1].bytes, longer.substr(0, 1024));
    for (const auto& datagram : received) {
        EXPECT_TRUE(datagram.zeroBehind);
        EXPECT_EQ(datagram.fromIp, "127.0.0.1");
    }
}

TEST(SearchDeviceThread, LogsSetUpAndEveryPassOfTheReceiveLoop) {
    REQUIRE_SEALED_NETWORK();
    TempLog log;
    RecordingWorker worker;
    EXPECT_EQ(worker.Port(), 1530);
    worker.InitThreadValue(nullptr, kPort, false);
    Send("hello");
    worker.WaitFor(1);
    StopAndJoin(worker);

    auto messages = log.Messages();
    ASSERT_GE(messages.size(), 7u);
    EXPECT_THAT(std::vector<std::string>(messages.begin(), messages.begin() + 2),
                ElementsAre("SendThread 40600 : Init Search Device Work Thread Value, strIP : , "
                            "nPort : 40600  ",
                            "SendThread 40600 : Create Search Device Work Thread   "));
    EXPECT_THAT(messages, Contains("SendThread 40600 : Begin Search Device Work Thread  "));
    EXPECT_THAT(messages, Contains("SendThread 40600 : Wait Reciver Socket Protocol Info  "));
    EXPECT_THAT(messages, Contains("SendThread 40600 : Reciver Socket Protocol Info  "));
    EXPECT_THAT(messages,
                Contains("SendThread 40600 : Recive Socket Protocol IP : 127.0.0.1, nLen : 5  "));
    EXPECT_THAT(messages,
                Contains("SendThread 40600 : Exit Search Device Tread , bExitSock : 1  "));
}

TEST(SearchDeviceThread, BindFailureLogsTheErrorStartsNoThreadAndCanStillBeStopped) {
    REQUIRE_SEALED_NETWORK();
    asio::io_context io;
    udp::socket holder(io, udp::endpoint(asio::ip::address_v4::any(), kPort));
    TempLog log;
    RecordingWorker worker;
    worker.InitThreadValue("127.0.0.1", kPort, false);
    EXPECT_FALSE(worker.WorkThreadRunning());
    worker.ExitWorkThread();
    EXPECT_TRUE(worker.ExitRequested());

    EXPECT_THAT(log.Messages(),
                ElementsAre("SendThread 40600 : Init Search Device Work Thread Value, strIP : "
                            "127.0.0.1, nPort : 40600  ",
                            "SendThread 40600 : Create Search Device Work Thread   ",
                            "SendThread 40600 : Create Search Device Work Thread Error : "
                            "bind: Address already in use   ",
                            "SendThread 40600 : Exit Search Device Tread , bExitSock : 1  "));
}

TEST(SearchDeviceThread, ExitWakesABlockedReceiveAndReturnsWithThePortFree) {
    REQUIRE_SEALED_NETWORK();
    RecordingWorker worker;
    worker.InitThreadValue(nullptr, kPort, false);
    std::this_thread::sleep_for(50ms);  // let the thread block in its receive

    auto before = std::chrono::steady_clock::now();
    worker.ExitWorkThread();
    EXPECT_LT(std::chrono::steady_clock::now() - before, CSearchDeviceThread::kLeaveLimit)
        << "the woken receive must return at once";
    EXPECT_TRUE(PortIsFree(kPort)) << "the socket is closed when ExitWorkThread returns";
    EXPECT_TRUE(worker.JoinWorkThread()) << "no datagram arrived, yet the receive thread ends";
    EXPECT_FALSE(worker.WorkThreadRunning());
    EXPECT_TRUE(worker.WaitFor(0).empty());
}

TEST(SearchDeviceThread, HandlerErrorEndsTheLoopButKeepsTheSocketUntilExit) {
    REQUIRE_SEALED_NETWORK();
    TempLog log;
    RecordingWorker worker;
    worker.failInHandler = true;
    worker.InitThreadValue(nullptr, kPort, false);
    Send("boom");
    ASSERT_TRUE(WaitUntil([&] { return !worker.WorkThreadRunning(); }));
    EXPECT_THAT(log.Messages(),
                Contains("SendThread 40600 : Create Socket Protocolt Server Error : handler "
                         "failed  "));
    EXPECT_FALSE(PortIsFree(kPort));

    worker.ExitWorkThread();
    EXPECT_TRUE(PortIsFree(kPort));
}

}  // namespace
