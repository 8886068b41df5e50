// The port helper and the library's run of it: what each kind of helper gives, where the helper
// is looked for, and what the helper refuses to run with.

#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "search/details/porthelper.h"
#include "tests/support/gtestsealed.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::HasSubstr;
using testing::MatchesRegex;

// A descriptor left open to children, which the helper must not get.
constexpr int kLeaked = 40;

struct Folder {
    Folder() {
        std::string name = (fs::temp_directory_path() / "porthelper.XXXXXX").string();
        path = ::mkdtemp(name.data());
    }
    ~Folder() { fs::remove_all(path); }
    // An executable file at path/name with text.
    std::string Script(const std::string& name, const std::string& text) const {
        const fs::path file = path / name;
        fs::create_directories(file.parent_path());
        std::ofstream(file) << text;
        fs::permissions(file, fs::perms::owner_all);
        return file.string();
    }
    fs::path path;
};

std::string Read(const fs::path& file) {
    std::ostringstream text;
    text << std::ifstream(file).rdbuf();
    return text.str();
}

TEST(RunPortHelper, AdoptsTheBoundSocketOfTheRealHelper) {
    REQUIRE_SEALED_NETWORK();
    const PortHelperResult result = RunPortHelper(NASFINDER_TEST_PORT_HELPER);
    ASSERT_GE(result.descriptor, 0) << result.failure;
    sockaddr_in bound{};
    socklen_t length = sizeof bound;
    ASSERT_EQ(::getsockname(result.descriptor, reinterpret_cast<sockaddr*>(&bound), &length), 0);
    EXPECT_EQ(bound.sin_addr.s_addr, htonl(INADDR_ANY));
    int broadcast = 0;
    length = sizeof broadcast;
    ::getsockopt(result.descriptor, SOL_SOCKET, SO_BROADCAST, &broadcast, &length);
    EXPECT_EQ(broadcast, 1);
    EXPECT_EQ(::fcntl(result.descriptor, F_GETFD), FD_CLOEXEC);
    ::close(result.descriptor);
}

TEST(RunPortHelper, TellsTheErrorTheHelperMet) {
    REQUIRE_SEALED_NETWORK();
    const int holder = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_port = htons(67);
    ASSERT_EQ(::bind(holder, reinterpret_cast<sockaddr*>(&any), sizeof any), 0);
    const PortHelperResult result = RunPortHelper(NASFINDER_TEST_PORT_HELPER);
    ::close(holder);
    EXPECT_EQ(result.descriptor, -1);
    EXPECT_EQ(result.error, EADDRINUSE);
    EXPECT_THAT(result.failure, HasSubstr("Address already in use"));
}

struct BrokenHelper {
    const char* name;
    const char* script;  // "" for a helper that is not there
    const char* failure;
};

class BrokenPortHelperTest : public testing::TestWithParam<BrokenHelper> {};

TEST_P(BrokenPortHelperTest, GivesNoSocketAndNoErrorOfTheHelpers) {
    const Folder folder;
    const std::string path = *GetParam().script == '\0'
                                 ? (folder.path / "missing").string()
                                 : folder.Script("helper", GetParam().script);
    const auto started = std::chrono::steady_clock::now();
    const PortHelperResult result = RunPortHelper(path, 300ms);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 1s);
    EXPECT_EQ(result.descriptor, -1);
    EXPECT_EQ(result.error, 0);
    EXPECT_THAT(result.failure, MatchesRegex(GetParam().failure));
    // Reaped, or killed and reaped: no child is left.
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
}

INSTANTIATE_TEST_SUITE_P(
    Helpers, BrokenPortHelperTest,
    testing::Values(BrokenHelper{"missing", "", "it could not be run: No such file.*"},
                    BrokenHelper{"silent", "#!/bin/sh\nexit 3\n", ".*status 3 without an answer"},
                    BrokenHelper{"hung", "#!/bin/sh\nexec sleep 30\n", "no answer within 300 ms"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RunPortHelper, GivesTheHelperNoEnvironmentAndNoDescriptorButItsChannel) {
    const Folder folder;
    const std::string seen = (folder.path / "seen").string();
    const std::string helper = folder.Script(
        "helper", "#!/bin/sh\nexec >" + seen +
                      "\n"
                      "[ -n \"$(tr -d '\\000' </proc/$$/environ)\" ] && echo environment\n"
                      "[ -S /proc/$$/fd/3 ] && [ \"$#$1\" = 13 ] && echo channel\n"
                      "[ -e /proc/$$/fd/" +
                      std::to_string(kLeaked) + " ] && echo leaked\nreadlink /proc/$$/fd/2\n");
    int pipe[2];
    ASSERT_EQ(::pipe(pipe), 0);
    ::dup2(pipe[0], kLeaked);
    RunPortHelper(helper);
    for (const int descriptor : {pipe[0], pipe[1], kLeaked}) ::close(descriptor);
    EXPECT_EQ(Read(seen), "channel\n/dev/null\n");
}

TEST(PortHelperPathFor, TakesTheHelperBesideElseInstalledElseTheInstalledPath) {
    const Folder folder;
    const fs::path program = folder.path / "bin" / "nasfinder";
    const std::string installed = NASFINDER_PORT_HELPER_FULL_DIR "/nasfinder-port-helper";
    EXPECT_EQ(PortHelperPathFor(program.string()), installed);
    EXPECT_EQ(PortHelperPathFor("nasfinder"), installed);

    const fs::path tree =
        (program.parent_path() / NASFINDER_PORT_HELPER_RELATIVE_DIR / "nasfinder-port-helper")
            .lexically_normal();
    folder.Script(tree.lexically_relative(folder.path), "");
    EXPECT_EQ(PortHelperPathFor(program.string()), tree.string());

    const std::string beside = folder.Script("bin/nasfinder-port-helper", "");
    EXPECT_EQ(PortHelperPathFor(program.string()), beside);
    // One that somebody else could have put there is not run.
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(beside.c_str(), 65534, 65534), 0);
        EXPECT_EQ(PortHelperPathFor(program.string()), tree.string());
    }
}

// What the helper refuses to run with: exit status 2 and one line on standard error.
class PortHelperRefusalTest : public testing::TestWithParam<const char*> {};

TEST_P(PortHelperRefusalTest, EndsWithOneLineOnStandardError) {
    REQUIRE_SEALED_NETWORK();
    const Folder folder;
    const int inet = ::socket(AF_INET, SOCK_DGRAM, 0);
    std::string arguments = GetParam();
    const std::size_t at = arguments.find("INET");
    if (at != std::string::npos) arguments.replace(at, 4, std::to_string(inet));
    const std::string command = std::string(NASFINDER_TEST_PORT_HELPER) + " " + arguments +
                                " </dev/null 2>" + (folder.path / "err").string();
    const int status = std::system(command.c_str());
    ::close(inet);
    EXPECT_EQ(WEXITSTATUS(status), 2);
    EXPECT_THAT(Read(folder.path / "err"), MatchesRegex("nasfinder-port-helper: [^\n]*\n"));
}

INSTANTIATE_TEST_SUITE_P(Arguments, PortHelperRefusalTest,
                         testing::Values("", "0 1", "x", "3x", "-1", "99999999999", "999", "0",
                                         "INET"));

}  // namespace
