#include "search/details/searchdevicemulticastthread.h"

#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <exception>

#include <boost/asio/ip/multicast.hpp>
#include <boost/system/system_error.hpp>

#include "log/searchlog.h"
#include "search/details/probetargets.h"
#include "search/details/receivebuffer.h"
#include "search/details/ssdpparser.h"
#include "search/protocol.h"

namespace asio = boost::asio;
using asio::ip::udp;

namespace {

constexpr int kRetryLimit = 20;

}  // namespace

void CSearchDeviceMulticastThread::CreateWorkThread() {
    WriteSearchLog("SendThread %d : Create Search Device Work Thread   ", nPort);
    ForgetGroups();
    try {
        udpSocket.open(udp::v4());
        AlterMulticastGroup(true);
        udpSocket.bind(
            udp::endpoint(asio::ip::address_v4::any(), static_cast<unsigned short>(nPort)));
        // A whole LAN answering one search at once would overflow the default buffer.
        EnlargeReceiveBuffer(udpSocket);
        StartWorkThread();
    } catch (const std::exception& e) {
        FailCreateWorkThread(e);
        ForgetGroups();
        if (bTestPort) HandleCreateWorkThreadError();
    }
}

void CSearchDeviceMulticastThread::HandleCreateWorkThreadError() {
    WriteSearchLog("SendThread %d : Handle Create Search Device Work Thread Error  ", nPort);
    if (testCount >= kRetryLimit) return;
    ++testCount;
    ++nPort;
    WriteSearchLog(
        "SendThread %d : Test Create Search Device Work Thread, testCount = %d, port = %d  ", nPort,
        testCount, nPort);
    // Runs inside the failed attempt's error handling, so retries nest at most 20 deep.
    CreateWorkThread();
}

bool CSearchDeviceMulticastThread::CanJoin(const LocalInterfaceAddress& address) {
    return address.family == AF_INET && address.up && address.running && address.multicast;
}

void CSearchDeviceMulticastThread::AlterMulticastGroup(bool join) {
    if (join) {
        std::vector<LocalInterfaceAddress> addresses;
        std::string ignored;
        ListLocalAddresses(addresses, ignored);
        FollowGroup(addresses);
        return;
    }
    FollowGroup({});
}

int CSearchDeviceMulticastThread::ChangeMembership(const std::string& address, bool join) {
    try {
        const asio::ip::address_v4 group = asio::ip::make_address_v4(kSsdpGroup);
        const asio::ip::address_v4 local = asio::ip::make_address_v4(address);
        {
            auto lock = LockSocket();
            if (join) {
                udpSocket.set_option(asio::ip::multicast::join_group(group, local));
            } else {
                udpSocket.set_option(asio::ip::multicast::leave_group(group, local));
            }
        }
        WriteSearchLog(join ? "SendThread %d : Add To Multicast Group Info "
                            : "SendThread %d : Leave To Multicast Group Info ",
                       nPort);
        return 0;
    } catch (const std::exception& e) {
        WriteSearchLog("SendThread %d : Alter Device Mulitcast Group Error : %s  \r\n", nPort,
                       e.what());
        const auto* system = dynamic_cast<const boost::system::system_error*>(&e);
        return system != nullptr ? system->code().value() : EINVAL;
    }
}

void CSearchDeviceMulticastThread::FollowGroup(
    const std::vector<LocalInterfaceAddress>& addresses) {
    boost::mutex::scoped_lock lock(groupMutex);
    std::vector<Membership> kept;
    for (Membership& membership : memberships) {
        const bool joined = membership.health.error == 0;
        const bool listed =
            std::any_of(addresses.begin(), addresses.end(), [&](const LocalInterfaceAddress& a) {
                return CanJoin(a) && a.address == membership.health.address;
            });
        // A failed join is dropped here and tried again below.
        if (listed && joined) {
            kept.push_back(std::move(membership));
        } else if (joined && membership.own) {
            ChangeMembership(membership.health.address, false);
        }
    }
    memberships = std::move(kept);
    for (const LocalInterfaceAddress& address : addresses) {
        if (!CanJoin(address)) continue;
        if (std::any_of(memberships.begin(), memberships.end(),
                        [&](const Membership& m) { return m.health.address == address.address; })) {
            continue;
        }
        Membership membership;
        membership.health.interfaceName = address.name;
        membership.health.address = address.address;
        const int error = ChangeMembership(address.address, true);
        membership.own = error != EADDRINUSE;
        if (error != 0 && error != EADDRINUSE) {
            membership.health.error = error;
            membership.health.errorText = boost::system::system_category().message(error);
        }
        memberships.push_back(std::move(membership));
    }
}

void CSearchDeviceMulticastThread::ForgetGroups() {
    boost::mutex::scoped_lock lock(groupMutex);
    memberships.clear();
}

std::vector<SearchGroupMembership> CSearchDeviceMulticastThread::Groups() const {
    boost::mutex::scoped_lock lock(groupMutex);
    std::vector<SearchGroupMembership> groups;
    for (const Membership& membership : memberships) groups.push_back(membership.health);
    return groups;
}

void CSearchDeviceMulticastThread::ExitWorkThread() {
    AlterMulticastGroup(false);
    CSearchDeviceThread::ExitWorkThread();
}

int CSearchDeviceMulticastThread::SendSearchCommand(const SearchRequest*) {
    WriteSearchLog("SendThread %d : Send Search Device Command  ", nPort);
    try {
        udp::endpoint group(asio::ip::make_address_v4(kSsdpGroup), kSsdpPort);
        SendDatagram(kMSearch, kMSearchLength, group);
    } catch (const std::exception& e) {
        WriteSearchLog("SendThread %d : Send Search Device Error : %s   ", nPort, e.what());
    }
    return 0;
}

void CSearchDeviceMulticastThread::HandleReceive(char* data, int, std::string& fromIp) {
    WriteSearchLog("SendThread %d : Handle Mulitcast Recive Information  ", nPort);
    deviceinfo record;
    if (!ParseSsdpDatagram(data, fromIp.c_str(), record)) return;
    WorkerCounters::Count(record.type == kDeviceAnswer ? counters.answersReceived
                                                       : counters.announcementsHeard);
    if (record.type == kDeviceAnswer) CountProbeAnswer(fromIp.c_str());

    if (!ReplaceLastDevice(record)) {
        // An identical report empties the memory, so identical reports alternate: the next
        // one goes out again.
        ClearLastDevice();
        WriteSearchLog(
            "SendThread %d : Handle Mulitcast Recive Information Fail : Old Device, type = %d ",
            nPort, record.type);
        return;
    }
    WriteSearchLog("SendThread %d : Handle Mulitcast Recive Information Success, type = %d ", nPort,
                   record.type);
    // Outside the worker's lock: the callback may take its time under the dispatch mutex.
    ReportDevice(record, fromIp);
}
