#include "tests/support/templog.h"

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "log/searchlog.h"

namespace nasfinder::test {

TempLog::TempLog() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "nasfinder-log-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    directory = pattern;
    OpenSearchLog(true, Location().c_str());
}

TempLog::~TempLog() {
    OpenSearchLog(false, nullptr);
    std::error_code ignored;
    std::filesystem::remove_all(directory, ignored);
}

std::string TempLog::FilePath() const {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char name[64];
    std::snprintf(name, sizeof name, "%04d-%02d-%02d-SearchDeviceLog.txt", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday);
    return directory + "/" + name;
}

std::string TempLog::Contents() const {
    std::ifstream in(FilePath(), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::vector<std::string> TempLog::Messages() const {
    std::vector<std::string> messages;
    std::string contents = Contents();
    std::size_t start = 0;
    while (start < contents.size()) {
        std::size_t end = contents.find("]\r\n", start);
        if (end == std::string::npos) break;
        std::string line = contents.substr(start, end + 3 - start);
        start = end + 3;
        // Start and exit lines carry no stamp; they end in "-\r\n" and hold no "]\r\n".
        std::size_t plain = line.find("-------\r\n");
        if (plain != std::string::npos) line = line.substr(plain + 9);
        messages.push_back(StripStamp(line));
    }
    return messages;
}

std::string StripStamp(const std::string& line) {
    static const std::regex stamp(R"(\*\[\d\d::\d\d:\d\d:\d\d\]\r\n$)");
    std::smatch match;
    if (!std::regex_search(line, match, stamp)) return "";
    return line.substr(0, static_cast<std::size_t>(match.position(0)));
}

}  // namespace nasfinder::test
