// nas-sim: simulated storage boxes for the tests, the benchmark and the demo.

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include <boost/asio/io_context.hpp>

#include "tools/nas-sim/boxsimulator.h"
#include "tools/nas-sim/simoptions.h"

int main(int argc, char** argv) {
    SimOptions options;
    std::string message;
    const std::vector<std::string> args(argv + 1, argv + argc);
    switch (ParseSimOptions(args, options, message)) {
        case SimParseOutcome::Help:
            std::fputs(SimUsage().c_str(), stdout);
            return 0;
        case SimParseOutcome::Version:
            std::fputs(SimVersion().c_str(), stdout);
            return 0;
        case SimParseOutcome::Invalid:
            std::fprintf(stderr, "nas-sim: %s\n\n%s", message.c_str(), SimUsage().c_str());
            return 2;
        case SimParseOutcome::Run:
            break;
    }
    try {
        boost::asio::io_context io;
        CBoxSimulator simulator(io, options);
        simulator.Start();
        io.run();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "nas-sim: %s\n", e.what());
        return 1;
    }
    return 0;
}
