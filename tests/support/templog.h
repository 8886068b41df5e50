#pragma once

#include <string>
#include <vector>

namespace nasfinder::test {

// A diagnostic log switched on into a temporary directory of its own for one test;
// switched off and removed again when it goes out of scope. Code under test that opens the log
// itself (InitSearchLib) is given Location().
class TempLog {
public:
    TempLog();
    ~TempLog();
    TempLog(const TempLog&) = delete;
    TempLog& operator=(const TempLog&) = delete;

    const std::string& Directory() const { return directory; }
    // The directory as the log takes it: a prefix ending in '/'.
    std::string Location() const { return directory + "/"; }
    // Path of the dated log file inside Directory().
    std::string FilePath() const;
    // The raw bytes of the log file ("" when there is none).
    std::string Contents() const;
    // The messages of the stamped lines, in order, without the "*[DD::HH:MM:SS]\r\n" stamp.
    std::vector<std::string> Messages() const;

private:
    std::string directory;
};

// Removes a "*[DD::HH:MM:SS]\r\n" stamp from the end of a log line; "" when it has none.
std::string StripStamp(const std::string& line);

}  // namespace nasfinder::test
