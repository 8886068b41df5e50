#include "search/details/porthelper.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <thread>

#include "search/protocol.h"

namespace {

using Clock = std::chrono::steady_clock;

// The descriptor the helper gets its end of the socket pair on, which its argument names.
constexpr int kHelperChannel = 3;

std::string ErrorText(int error) {
    return std::system_category().message(error);
}

bool Trusted(const std::filesystem::path& file) {
    struct stat status {};
    return ::stat(file.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
           (status.st_uid == 0 || status.st_uid == ::geteuid());
}

// Starts the helper with no environment, /dev/null on 0 to 2 and its end of the pair on
// kHelperChannel, everything else closed; 0 or the error.
int Spawn(const std::string& path, int end, pid_t& child) {
    posix_spawn_file_actions_t actions;
    if (const int error = ::posix_spawn_file_actions_init(&actions)) return error;
    // The end first: it may be one of 0 to 2 when the program runs without them. Adding an
    // action fails only for want of memory.
    const bool arranged =
        ::posix_spawn_file_actions_adddup2(&actions, end, kHelperChannel) == 0 &&
        ::posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0) == 0 &&
        ::posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0) == 0 &&
        ::posix_spawn_file_actions_adddup2(&actions, 1, 2) == 0 &&
        ::posix_spawn_file_actions_addclosefrom_np(&actions, kHelperChannel + 1) == 0;
    std::string channel = std::to_string(kHelperChannel);
    char* const argv[] = {const_cast<char*>(path.c_str()), channel.data(), nullptr};
    char* const environment[] = {nullptr};
    const int error =
        arranged ? ::posix_spawn(&child, path.c_str(), &actions, nullptr, argv, environment)
                 : ENOMEM;
    ::posix_spawn_file_actions_destroy(&actions);
    return error;
}

bool IsBroadcastPortSocket(int descriptor) {
    sockaddr_in bound{};
    socklen_t length = sizeof bound;
    int type = 0;
    socklen_t typeLength = sizeof type;
    return ::getsockname(descriptor, reinterpret_cast<sockaddr*>(&bound), &length) == 0 &&
           bound.sin_family == AF_INET && ntohs(bound.sin_port) == kBroadcastPort &&
           ::getsockopt(descriptor, SOL_SOCKET, SO_TYPE, &type, &typeLength) == 0 &&
           type == SOCK_DGRAM;
}

// Takes one message of the helper's into result; false once the helper's end is closed.
bool ReadAnswer(int channel, PortHelperResult& result) {
    PortHelperAnswer answer{};
    iovec part{&answer, sizeof answer};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
    msghdr message{};
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    // Descriptors beyond the one there is room for are closed by the kernel.
    const ssize_t length = ::recvmsg(channel, &message, MSG_CMSG_CLOEXEC);
    if (length <= 0) return length < 0 && errno == EINTR;
    int received = -1;
    const cmsghdr* header = CMSG_FIRSTHDR(&message);
    if (header != nullptr && header->cmsg_level == SOL_SOCKET && header->cmsg_type == SCM_RIGHTS &&
        header->cmsg_len == CMSG_LEN(sizeof received)) {
        std::memcpy(&received, CMSG_DATA(header), sizeof received);
    }
    const bool whole = length == static_cast<ssize_t>(sizeof answer);
    if (whole && answer.error == 0 && received >= 0 && result.descriptor < 0 &&
        IsBroadcastPortSocket(received)) {
        result.descriptor = received;
        return true;
    }
    if (received >= 0) ::close(received);
    if (whole && answer.error != 0) {
        result.error = answer.error;
        result.failure = "it could not bind the port: " + ErrorText(answer.error);
    } else if (result.descriptor < 0) {
        result.failure = "its answer held no socket bound to the broadcast port";
    }
    return true;
}

// Reads the helper's answers until it closes its end or the deadline passes.
void AwaitAnswer(int channel, Clock::time_point deadline, PortHelperResult& result) {
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return;
        pollfd ready{channel, POLLIN, 0};
        const int count = ::poll(&ready, 1, static_cast<int>(left.count()));
        if (count < 0 && errno != EINTR) return;
        if (count > 0 && !ReadAnswer(channel, result)) return;
    }
}

// Waits for the helper to end until the deadline, then kills it; its wait status. A helper that
// closed its end is ending: the wait is short.
int Reap(pid_t child, Clock::time_point deadline, bool& killed) {
    int status = 0;
    killed = false;
    for (;;) {
        const pid_t done = ::waitpid(child, &status, WNOHANG);
        if (done == child || (done < 0 && errno != EINTR)) return status;
        if (Clock::now() >= deadline) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ::kill(child, SIGKILL);
    killed = true;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

std::string Ending(int status, bool killed, std::chrono::milliseconds limit) {
    if (killed) return "no answer within " + std::to_string(limit.count()) + " ms";
    if (WIFSIGNALED(status)) return "it ended on signal " + std::to_string(WTERMSIG(status));
    return "it ended with status " + std::to_string(WEXITSTATUS(status)) + " without an answer";
}

}  // namespace

std::string PortHelperPathFor(const std::string& programPath) {
    const std::filesystem::path program(programPath);
    if (program.is_absolute()) {
        const std::filesystem::path folder = program.parent_path();
        const std::filesystem::path beside = folder / NASFINDER_PORT_HELPER;
        if (Trusted(beside)) return beside.string();
        const std::filesystem::path installed =
            (folder / NASFINDER_PORT_HELPER_RELATIVE_DIR / NASFINDER_PORT_HELPER)
                .lexically_normal();
        if (Trusted(installed)) return installed.string();
    }
    return NASFINDER_PORT_HELPER_FULL_DIR "/" NASFINDER_PORT_HELPER;
}

std::string PortHelperPath() {
    char path[4096] = {};
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return PortHelperPathFor(length > 0 ? std::string(path, static_cast<std::size_t>(length)) : "");
}

PortHelperResult RunPortHelper(const std::string& path, std::chrono::milliseconds limit) {
    PortHelperResult result;
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0) {
        result.failure = "no socket pair for it: " + ErrorText(errno);
        return result;
    }
    const Clock::time_point deadline = Clock::now() + limit;
    pid_t child = 0;
    const int spawnError = Spawn(path, ends[1], child);
    // Only the helper holds its end now, so the end of the helper is the end of the stream.
    ::close(ends[1]);
    if (spawnError != 0) {
        result.failure = "it could not be run: " + ErrorText(spawnError);
    } else {
        AwaitAnswer(ends[0], deadline, result);
        bool killed = false;
        const int status = Reap(child, deadline, killed);
        if (result.descriptor < 0 && result.failure.empty()) {
            result.failure = Ending(status, killed, limit);
        }
    }
    ::close(ends[0]);
    return result;
}
