#include "tests/search/registry/logcapture.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace nasfinder::test {

LogDirectory::LogDirectory() {
    char pattern[] = "/tmp/nasfinder-registry-XXXXXX";
    const char* made = ::mkdtemp(pattern);
    location = std::string(made != nullptr ? made : "/tmp") + "/";
}

LogDirectory::~LogDirectory() {
    std::error_code ignored;
    if (location != "/tmp/") std::filesystem::remove_all(location, ignored);
}

std::string LogDirectory::Text() const {
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(location, ignored)) {
        std::ifstream file(entry.path(), std::ios::binary);
        std::ostringstream text;
        text << file.rdbuf();
        return text.str();
    }
    return {};
}

}  // namespace nasfinder::test
