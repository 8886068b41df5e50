// nas-search: the device search from a terminal or a script.

#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tools/nas-search/reportformat.h"
#include "tools/nas-search/searchoptions.h"
#include "tools/nas-search/searchrun.h"
#include "tools/nas-search/wakerun.h"

int main(int argc, char** argv) {
    SearchOptions options;
    std::string message;
    const std::vector<std::string> args(argv + 1, argv + argc);
    switch (ParseSearchOptions(args, options, message)) {
        case ParseOutcome::Help:
            std::fputs(SearchUsage().c_str(), stdout);
            return 0;
        case ParseOutcome::Version:
            std::fputs(SearchVersion().c_str(), stdout);
            return 0;
        case ParseOutcome::Invalid:
            std::fprintf(stderr, "%s\n\n%s", ErrorText(message).c_str(), SearchUsage().c_str());
            return 2;
        case ParseOutcome::Refused:
            std::fprintf(stderr, "%s\n", ErrorText(message).c_str());
            return 2;
        case ParseOutcome::Run:
            break;
    }

    // The library and the store write their diagnostics to standard output. Our own output
    // goes to a duplicate of the original standard output, and standard output itself is
    // pointed at standard error, so the JSON or the table stays clean.
    const int outFd = dup(STDOUT_FILENO);
    std::FILE* out = outFd >= 0 ? fdopen(outFd, "w") : nullptr;
    if (out == nullptr || dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
        std::perror("nas-search: cannot set up standard output");
        return 1;
    }
    const int status = BookRun(options) ? RunBook(options, out)
                       : options.watch  ? RunWatch(options, out)
                                        : RunSearch(options, out);
    std::fclose(out);
    return status;
}
