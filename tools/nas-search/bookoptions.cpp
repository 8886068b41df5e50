#include "tools/nas-search/bookoptions.h"

#include "tools/nas-search/searchoptions.h"

namespace po = boost::program_options;

namespace {

constexpr double kMaxWait = 3600;

}  // namespace

void AddBookOptions(po::options_description& described) {
    described.add_options()("wake", po::value<std::string>()->value_name("TARGET"),
                            "wake a remembered box (host name, IP or id) or a MAC address, then "
                            "search until it answers")(
        "wait", po::value<double>()->value_name("S"),
        "with --wake, seconds to wait for the box to answer (default 60)")(
        "known", "list the remembered boxes and exit")(
        "forget", po::value<std::string>()->value_name("TARGET"),
        "remove a box (host name, IP or id), or all, from the remembered boxes")(
        "no-remember", "neither read nor write the remembered boxes");
}

bool ReadBookOptions(const po::variables_map& values, SearchOptions& options,
                     std::string& message) {
    if (values.count("wake")) options.wake = values["wake"].as<std::string>();
    if (values.count("wait")) options.wait = values["wait"].as<double>();
    options.known = values.count("known") != 0;
    if (values.count("forget")) options.forget = values["forget"].as<std::string>();
    options.remember = values.count("no-remember") == 0;

    const int modes = (options.wake ? 1 : 0) + (options.known ? 1 : 0) + (options.forget ? 1 : 0) +
                      (options.watch ? 1 : 0);
    if (modes > 1) {
        message = "--wake, --known, --forget and --watch go one at a time";
        return false;
    }
    if (!(options.wait > 0 && options.wait <= kMaxWait)) {
        message = "--wait must be above 0 and at most 3600";
        return false;
    }
    if (values.count("wait") && !options.wake) {
        message = "--wait needs --wake";
        return false;
    }
    if ((options.wake && options.wake->empty()) || (options.forget && options.forget->empty())) {
        message = "--wake and --forget need a box";
        return false;
    }
    if ((options.known || options.forget) && !options.remember) {
        message = "--known and --forget read the remembered boxes: not with --no-remember";
        return false;
    }
    if ((options.wake || options.known || options.forget) &&
        (values.count("seconds") || values.count("searches") || values.count("interval") ||
         options.diagnose)) {
        message =
            "--wake, --known and --forget take no --seconds, --searches, --interval or "
            "--diagnose";
        return false;
    }
    return true;
}
