#include <filesystem>
#include <regex>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "log/searchlog.h"
#include "tests/support/templog.h"

namespace {

using nasfinder::test::TempLog;
using testing::ElementsAre;

bool IsEmptyDirectory(const std::string& path) {
    return std::filesystem::is_empty(std::filesystem::path(path));
}

TEST(SearchLog, StaysSilentWhenOffOrWithoutLocation) {
    struct Case {
        bool logSwitch;
        bool withLocation;
    };
    for (Case c : {Case{false, true}, Case{true, false}, Case{false, false}}) {
        TempLog scratch;
        std::string location = scratch.Directory() + "/";
        testing::internal::CaptureStdout();
        EXPECT_EQ(OpenSearchLog(c.logSwitch, c.withLocation ? location.c_str() : nullptr), 0);
        EXPECT_EQ(WriteSearchLog("SendThread %d : Begin  ", 67), 0);
        CloseSearchLog();
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
        std::filesystem::remove(scratch.FilePath());
        EXPECT_TRUE(IsEmptyDirectory(scratch.Directory()))
            << "switch " << c.logSwitch << ", location " << c.withLocation;
    }
}

TEST(SearchLog, NamesTheFileByDateAfterTheLocationAsGiven) {
    TempLog log;
    std::string name = std::filesystem::path(log.FilePath()).filename().string();
    EXPECT_TRUE(std::regex_match(name, std::regex(R"(\d{4}-\d\d-\d\d-SearchDeviceLog\.txt)")));
    EXPECT_TRUE(std::filesystem::exists(log.FilePath()));

    // The location is a prefix: without a trailing separator the name is glued to it.
    std::string prefix = log.Directory() + "/logs";
    EXPECT_EQ(OpenSearchLog(true, prefix.c_str()), 1);
    EXPECT_TRUE(std::filesystem::exists(prefix + name));
}

TEST(SearchLog, WritesStartStampedAndExitLinesAndEchoesToStdout) {
    TempLog log;
    testing::internal::CaptureStdout();
    EXPECT_EQ(WriteSearchLog("Get Current Local IP Info "), 1);
    EXPECT_EQ(WriteSearchLog("SendThread %d : Recive IP : %s is not Device ", 67, "10.0.0.9"), 1);
    std::string echoed = testing::internal::GetCapturedStdout();
    CloseSearchLog();
    EXPECT_EQ(WriteSearchLog("after close  "), 1);

    std::string contents = log.Contents();
    EXPECT_EQ(contents.rfind("------Start Log System-------\r\n", 0), 0u);
    std::regex lines(
        "------Start Log System-------\r\n"
        R"(Get Current Local IP Info \*\[\d\d::\d\d:\d\d:\d\d\]\r\n)"
        R"(SendThread 67 : Recive IP : 10\.0\.0\.9 is not Device \*\[\d\d::\d\d:\d\d:\d\d\]\r\n)"
        "------Exit Log System-------\r\n"
        R"(after close  \*\[\d\d::\d\d:\d\d:\d\d\]\r\n)");
    EXPECT_TRUE(std::regex_match(contents, lines)) << contents;

    std::size_t firstStamped = contents.find("Get Current");
    std::size_t exitLine = contents.find("------Exit");
    EXPECT_EQ(echoed, contents.substr(firstStamped, exitLine - firstStamped));
}

TEST(SearchLog, NeverUsesAMessageAsAFormat) {
    TempLog log;
    testing::internal::CaptureStdout();
    EXPECT_EQ(WriteSearchLog("Find Device ID : %s  ", "nas%s%n%d"), 1);
    std::string echoed = testing::internal::GetCapturedStdout();
    EXPECT_THAT(log.Messages(), ElementsAre("Find Device ID : nas%s%n%d  "));
    EXPECT_EQ(nasfinder::test::StripStamp(echoed), "Find Device ID : nas%s%n%d  ");
}

TEST(SearchLog, DropsEmptyNullAndOverlongMessages) {
    TempLog log;
    EXPECT_EQ(WriteSearchLog(nullptr), 0);
    EXPECT_EQ(WriteSearchLog("%s", ""), 0);
    EXPECT_EQ(WriteSearchLog("%s", std::string(1024, 'x').c_str()), 0);
    // The stamp takes 17 characters of the 1023 a line may have.
    EXPECT_EQ(WriteSearchLog("%s", std::string(1007, 'y').c_str()), 0);
    EXPECT_EQ(WriteSearchLog("%s", std::string(1005, 'z').c_str()), 1);
    EXPECT_THAT(log.Messages(), ElementsAre(std::string(1005, 'z')));
}

TEST(SearchLog, LocationTooLongForTheFileNameLeavesTheLogSilent) {
    TempLog scratch;
    std::string location = scratch.Directory() + "/" + std::string(4090, 'd');
    EXPECT_EQ(OpenSearchLog(true, location.c_str()), 0);
    testing::internal::CaptureStdout();
    EXPECT_EQ(WriteSearchLog("nothing  "), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

}  // namespace
