#include "src/app/consolelog.h"

#include <cstdio>

#include "src/store/printabletext.h"

void ConsoleLog(const QString& line) {
    // Lines may quote a box, a file or the user: the terminal gets none of their control bytes.
    const QByteArray text = line.toUtf8();
    // One fprintf per line so that lines from the parse thread and the main thread never mix.
    const std::string shown = Printable({text.constData(), static_cast<std::size_t>(text.size())});
    std::fprintf(stderr, "%s\n", shown.c_str());
}
