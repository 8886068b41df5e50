#include "tools/nas-search/searchoptions.h"

#include <cstring>
#include <sstream>

#include <boost/program_options.hpp>

#include "nasfinder/version.h"
#include "search/searchtargets.h"
#include "tools/commandline.h"
#include "tools/nas-search/bookoptions.h"

namespace po = boost::program_options;

namespace {

constexpr double kMaxSeconds = 24 * 3600;
constexpr int kMaxSearches = 1000;
constexpr double kMaxInterval = 3600;
constexpr double kMinEvery = 2;

po::options_description Described() {
    po::options_description described("Options");
    described.add_options()("seconds", po::value<double>()->value_name("S"),
                            "seconds from the first search until the list is printed (default 11)")(
        "searches", po::value<int>()->value_name("N"), "number of searches (default 1)")(
        "interval", po::value<double>()->value_name("S"), "seconds between searches (default 2)")(
        "no-interface-search", "no search worker per local IPv4 address")(
        "log-dir", po::value<std::string>()->value_name("DIR"),
        "write the library log into DIR (a prefix: end it with /)")(
        "request-hex", po::value<std::string>()->value_name("HEX"),
        "the 148-byte broadcast request as 296 hex digits")("json",
                                                            "JSON Lines on standard output")(
        "diagnose",
        "after the list, report every search worker's state and counters and why "
        "nothing was found")("interface", po::value<std::vector<std::string>>()->value_name("GLOB"),
                             "search from the interfaces whose names match GLOB only (repeatable)")(
        "exclude-interface", po::value<std::vector<std::string>>()->value_name("GLOB"),
        "do not search from the interfaces whose names match GLOB (repeatable)")(
        "probe", po::value<std::vector<std::string>>()->value_name("TARGET"),
        "also search TARGET beyond this network by unicast: an address, a range of /20 or "
        "longer, or a host name (repeatable, 4096 addresses in all)")(
        "watch",
        "search again and again until stopped, printing the boxes that appear, change "
        "and go")("every", po::value<double>()->value_name("S"),
                  "with --watch, seconds between searches (default 30, at least 2)")(
        "help", "print this help and exit")("version",
                                            "print the program's name and version and exit");
    AddBookOptions(described);
    return described;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

bool ParseRequestHex(const std::string& hex, SearchRequest& request) {
    unsigned char bytes[sizeof(SearchRequest)];
    if (hex.size() != 2 * sizeof bytes) return false;
    for (std::size_t i = 0; i < sizeof bytes; ++i) {
        const int high = HexDigit(hex[2 * i]);
        const int low = HexDigit(hex[2 * i + 1]);
        if (high < 0 || low < 0) return false;
        bytes[i] = static_cast<unsigned char>(high * 16 + low);
    }
    std::memcpy(&request, bytes, sizeof bytes);
    return true;
}

ParseOutcome ParseSearchOptions(const std::vector<std::string>& args, SearchOptions& options,
                                std::string& message) {
    po::variables_map values;
    if (!StoreCommandLine(args, Described(), values, message)) return ParseOutcome::Invalid;
    if (values.count("help")) return ParseOutcome::Help;
    if (values.count("version")) return ParseOutcome::Version;

    SearchOptions parsed;
    if (values.count("seconds")) parsed.seconds = values["seconds"].as<double>();
    if (values.count("searches")) parsed.searches = values["searches"].as<int>();
    if (values.count("interval")) parsed.interval = values["interval"].as<double>();
    parsed.interfaceSearch = values.count("no-interface-search") == 0;
    if (values.count("log-dir")) parsed.logDir = values["log-dir"].as<std::string>();
    parsed.json = values.count("json") != 0;
    parsed.diagnose = values.count("diagnose") != 0;
    if (values.count("interface")) {
        parsed.interfaces = values["interface"].as<std::vector<std::string>>();
    }
    if (values.count("exclude-interface")) {
        parsed.excludeInterfaces = values["exclude-interface"].as<std::vector<std::string>>();
    }
    parsed.watch = values.count("watch") != 0;
    if (values.count("every")) parsed.every = values["every"].as<double>();

    // Written as negated ranges so that NaN is refused too.
    if (!(parsed.seconds > 0 && parsed.seconds <= kMaxSeconds)) {
        message = "--seconds must be above 0 and at most 86400";
        return ParseOutcome::Invalid;
    }
    if (parsed.searches < 1 || parsed.searches > kMaxSearches) {
        message = "--searches must be from 1 to 1000";
        return ParseOutcome::Invalid;
    }
    if (!(parsed.interval >= 0 && parsed.interval <= kMaxInterval)) {
        message = "--interval must be from 0 to 3600";
        return ParseOutcome::Invalid;
    }
    if ((parsed.searches - 1) * parsed.interval >= parsed.seconds) {
        message = "the last search would come after the window of --seconds";
        return ParseOutcome::Invalid;
    }
    if (!(parsed.every >= kMinEvery && parsed.every <= kMaxInterval)) {
        message = "--every must be from 2 to 3600";
        return ParseOutcome::Invalid;
    }
    if (values.count("every") && !parsed.watch) {
        message = "--every needs --watch";
        return ParseOutcome::Invalid;
    }
    if (parsed.watch && (values.count("seconds") || values.count("searches") ||
                         values.count("interval") || parsed.diagnose)) {
        message =
            "--watch runs until stopped: it takes --every, not --seconds, --searches, "
            "--interval or --diagnose";
        return ParseOutcome::Invalid;
    }
    for (const auto* patterns : {&parsed.interfaces, &parsed.excludeInterfaces}) {
        for (const std::string& pattern : *patterns) {
            if (pattern.empty()) {
                message = "--interface and --exclude-interface need a pattern";
                return ParseOutcome::Invalid;
            }
        }
    }
    if (!ReadBookOptions(values, parsed, message)) return ParseOutcome::Invalid;
    if (parsed.logDir && parsed.logDir->empty()) {
        message = "--log-dir needs a directory";
        return ParseOutcome::Invalid;
    }
    if (values.count("request-hex")) {
        SearchRequest request;
        if (!ParseRequestHex(values["request-hex"].as<std::string>(), request)) {
            message = "--request-hex needs exactly 296 hex digits (148 bytes)";
            return ParseOutcome::Invalid;
        }
        parsed.request = request;
    }
    if (values.count("probe")) {
        parsed.probes = values["probe"].as<std::vector<std::string>>();
        std::string error;
        std::string failed;
        if (!ParseSearchTargets(parsed.probes, parsed.targets, error, failed)) {
            message = "--probe " + error;
            return ParseOutcome::Refused;
        }
    }
    options = parsed;
    return ParseOutcome::Run;
}

std::string SearchUsage() {
    std::ostringstream text;
    text << "usage: nas-search [--seconds S] [--searches N] [--interval S] [--diagnose]\n"
            "                  [COMMON...]\n"
            "       nas-search --watch [--every S] [COMMON...]\n"
            "       nas-search --wake TARGET [--wait S] [COMMON...]\n"
            "       nas-search --known [--json] | --forget TARGET|all\n"
            "       nas-search --help | --version\n"
            "COMMON: [--no-interface-search] [--interface GLOB]... [--exclude-interface GLOB]...\n"
            "        [--log-dir DIR] [--request-hex HEX] [--probe TARGET]... [--json]\n"
            "        [--no-remember]\n\n"
            "Searches the local network for storage boxes and prints those found, or with\n"
            "--watch, keeps searching and prints the boxes that appear, change and go.\n"
            "Remembers the boxes it finds, so that --wake can wake a sleeping one.\n\n"
         << Described();
    return text.str();
}

std::string SearchVersion() {
    return "nas-search " NASFINDER_VERSION "\n";
}
