#pragma once

#include "search/details/internal.h"

#include <string>
#include <vector>

#include <boost/thread/mutex.hpp>

#include "search/details/localiplist.h"
#include "search/details/searchdevicethread.h"

// SSDP search worker: member of the group 239.143.255.250 on every interface address that can
// join it, sends the fixed M-SEARCH to port 1900 and turns branded answers and announcements
// into device reports. The library's caller thread and the network watcher's thread keep its
// memberships in step with the machine's addresses; its receive thread only receives.
// With bTestPort set, a failed set-up retries on the next port, at most 20 times in its life.
class CSearchDeviceMulticastThread : public CSearchDeviceThread {
public:
    SearchWorkerRole Role() const override { return SearchWorkerRole::Ssdp; }
    void CreateWorkThread() override;
    void ExitWorkThread() override;
    int SendSearchCommand(const SearchRequest* request) override;
    void HandleReceive(char* data, int length, std::string& fromIp) override;

    // Joins (true) the SSDP group on every interface address that can have it and is not joined
    // yet, or leaves (false) every membership; under the socket lock, logging its own errors.
    void AlterMulticastGroup(bool join);
    // Joins the group on the addresses of addresses that can have it and are not joined yet,
    // tries again those whose join failed, and leaves the memberships of addresses not listed.
    void FollowGroup(const std::vector<LocalInterfaceAddress>& addresses);
    // Retries CreateWorkThread on the next port while fewer than 20 retries were made.
    void HandleCreateWorkThreadError();

    std::vector<SearchGroupMembership> Groups() const override;

    // An address the group can be joined on: IPv4, up with a carrier and able to multicast
    // (loopback only where it was given multicast, as in a sealed test network).
    static bool CanJoin(const LocalInterfaceAddress& address);

private:
    // Joins or leaves on one interface address; the errno of a failure, 0 on success.
    int ChangeMembership(const std::string& address, bool join);

    struct Membership {
        SearchGroupMembership health;
        // False where another address of the same interface holds the kernel's membership
        // (the join said EADDRINUSE): leaving is then that one's business.
        bool own = true;
    };
    // Forgets the memberships of a socket that was closed.
    void ForgetGroups();

    mutable boost::mutex groupMutex;
    std::vector<Membership> memberships;
};
