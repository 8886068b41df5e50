#pragma once

#include <string>

namespace nasfinder::test {

// A fresh directory for one test's library log; removed with the object.
class LogDirectory {
public:
    LogDirectory();
    ~LogDirectory();
    LogDirectory(const LogDirectory&) = delete;
    LogDirectory& operator=(const LogDirectory&) = delete;

    // The location to hand to the library: the directory with a trailing slash.
    const std::string& Location() const { return location; }
    // The whole log file written there so far; empty when there is none.
    std::string Text() const;

private:
    std::string location;
};

}  // namespace nasfinder::test
