#include "log/searchlog.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

constexpr std::size_t kPathSize = 4096;
constexpr std::size_t kNameSize = 64;
constexpr std::size_t kLineSize = 1024;
// Messages and lines are bounded one byte short of their buffers: a 1023-character
// message keeps its first 1022 characters, which readers of existing logs rely on.
constexpr std::size_t kFormatBound = kLineSize - 1;

// Worker threads read the switch while the caller may still be setting it up.
std::atomic<bool> bLogEnabled{false};
char logFilePath[kPathSize];

bool LogActive() {
    return bLogEnabled.load(std::memory_order_relaxed) && logFilePath[0] != '\0';
}

void AppendToFile(const char* text) {
    if (FILE* file = std::fopen(logFilePath, "a+")) {
        std::fwrite(text, 1, std::strlen(text), file);
        std::fclose(file);
    }
}

std::tm LocalNow() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

}  // namespace

int OpenSearchLog(bool logSwitch, const char* location) {
    bLogEnabled.store(logSwitch, std::memory_order_relaxed);
    std::memset(logFilePath, 0, sizeof logFilePath);
    if (!logSwitch || location == nullptr) return 0;

    std::tm today = LocalNow();
    char fileName[kNameSize] = {};
    std::snprintf(fileName, sizeof fileName, "%02d-%02d-%02d-%s", today.tm_year + 1900,
                  today.tm_mon + 1, today.tm_mday, "SearchDeviceLog.txt");

    // A location that leaves no room for the file name would name another file; keep silent.
    if (std::strlen(location) + std::strlen(fileName) >= kPathSize) return 0;
    std::strcpy(logFilePath, location);
    std::strcat(logFilePath, fileName);

    AppendToFile("------Start Log System-------\r\n");
    return 1;
}

int WriteSearchLog(const char* format, ...) {
    if (!LogActive()) return 0;
    char message[kLineSize] = {};
    char line[kLineSize] = {};
    if (format == nullptr) return 0;

    va_list args;
    va_start(args, format);
    int messageLength = std::vsnprintf(message, kFormatBound, format, args);
    va_end(args);
    if (messageLength <= 0 || messageLength >= static_cast<int>(kLineSize)) return 0;

    std::tm now = LocalNow();
    int lineLength = std::snprintf(line, kFormatBound, "%s*[%02d::%02d:%02d:%02d]\r\n", message,
                                   now.tm_mday, now.tm_hour, now.tm_min, now.tm_sec);
    if (lineLength <= 0 || lineLength >= static_cast<int>(kLineSize)) return 0;

    AppendToFile(line);
    std::fputs(line, stdout);
    std::fflush(stdout);
    return 1;
}

void CloseSearchLog() {
    if (!LogActive()) return;
    AppendToFile("------Exit Log System-------\r\n");
}
