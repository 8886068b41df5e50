#include "src/app/consolelog.h"

#include <cstdio>

void ConsoleLog(const QString& line) {
    // One fprintf per line so that lines from the parse thread and the main thread never mix.
    std::fprintf(stderr, "%s\n", line.toUtf8().constData());
}
