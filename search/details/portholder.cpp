#include "search/details/portholder.h"

#include <dirent.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

// The process with a descriptor on one of the sockets; pid 0 when none could be seen.
PortHolder FindSocketOwner(const std::vector<unsigned long>& inodes) {
    PortHolder holder;
    DIR* processes = ::opendir("/proc");
    if (processes == nullptr) return holder;
    while (const dirent* process = ::readdir(processes)) {
        const int pid = std::atoi(process->d_name);
        if (pid <= 0 || pid == ::getpid()) continue;
        const std::string fds = "/proc/" + std::string(process->d_name) + "/fd";
        DIR* descriptors = ::opendir(fds.c_str());
        if (descriptors == nullptr) continue;
        bool found = false;
        while (const dirent* fd = ::readdir(descriptors)) {
            char target[64] = {};
            const std::string link = fds + "/" + fd->d_name;
            const ssize_t length = ::readlink(link.c_str(), target, sizeof target - 1);
            if (length <= 0) continue;
            for (unsigned long inode : inodes) {
                found = found || std::string(target) == "socket:[" + std::to_string(inode) + "]";
            }
            if (found) break;
        }
        ::closedir(descriptors);
        if (found) {
            holder.pid = pid;
            std::ifstream comm("/proc/" + std::string(process->d_name) + "/comm");
            std::getline(comm, holder.program);
            break;
        }
    }
    ::closedir(processes);
    return holder;
}

}  // namespace

std::vector<unsigned long> UdpSocketInodes(std::istream& table, int port) {
    std::vector<unsigned long> inodes;
    std::string line;
    std::getline(table, line);  // the heading
    while (std::getline(table, line)) {
        // sl local_address rem_address st tx_queue:rx_queue tr:tm->when retrnsmt uid timeout inode
        std::istringstream fields(line);
        std::string slot, local, remote, state, queues, timer, retransmits, uid, timeout;
        unsigned long inode = 0;
        if (!(fields >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid >>
              timeout >> inode)) {
            continue;
        }
        const std::size_t colon = local.find(':');
        if (colon == std::string::npos) continue;
        if (std::strtol(local.c_str() + colon + 1, nullptr, 16) == port && inode != 0) {
            inodes.push_back(inode);
        }
    }
    return inodes;
}

PortHolder FindPortHolder(int port) {
    std::vector<unsigned long> inodes;
    for (const char* path : {"/proc/net/udp", "/proc/net/udp6"}) {
        std::ifstream table(path);
        if (!table) continue;
        const std::vector<unsigned long> found = UdpSocketInodes(table, port);
        inodes.insert(inodes.end(), found.begin(), found.end());
    }
    PortHolder holder;
    if (!inodes.empty()) holder = FindSocketOwner(inodes);
    holder.port = port;
    return holder;
}
