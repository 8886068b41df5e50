#include "tools/nas-sim/simoptions.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include <boost/asio/ip/address_v4.hpp>
#include <boost/program_options.hpp>

#include "nasfinder/version.h"
#include "tools/commandline.h"

namespace po = boost::program_options;

namespace {

po::options_description Described() {
    po::options_description described("Options");
    described.add_options()("box", po::value<std::vector<std::string>>()->value_name("BOX"),
                            "a box: ADDRESS,ID,HOST,VENDOR,PRODUCT,VERSION[,EXTRA] (repeatable)")(
        "config", po::value<std::vector<std::string>>()->value_name("FILE"),
        "boxes from a file, one per line: ADDRESS ID HOST VENDOR PRODUCT VERSION [EXTRA]")(
        "alive-interval", po::value<double>()->value_name("S"),
        "seconds between ssdp:alive rounds, 0 for only at start (default 5)")(
        "answer-spread", po::value<int>()->value_name("MS"),
        "spread the answers to one search over MS milliseconds (default 0: a burst)")(
        "quiet", "no line per search received")(
        "asleep",
        po::value<std::vector<std::string>>()
            ->implicit_value(std::vector<std::string>{""}, "")
            ->value_name("ID"),
        "--asleep: every box sleeps; --asleep=ID: that box (repeatable). A sleeping box answers "
        "nothing until a magic packet for its interface's MAC arrives on UDP port 9 or 7")(
        "boot-seconds", po::value<double>()->value_name("S"),
        "seconds a woken box takes to announce itself and answer (default 2)")(
        "location", po::value<std::string>()->value_name("ADDRESS"),
        "the IPv4 address every box names in the LOCATION of its SSDP messages (default its "
        "own)")("help", "print this help and exit")(
        "version", "print the program's name and version and exit");
    return described;
}

}  // namespace

SimParseOutcome ParseSimOptions(const std::vector<std::string>& args, SimOptions& options,
                                std::string& message) {
    po::variables_map values;
    if (!StoreCommandLine(args, Described(), values, message)) return SimParseOutcome::Invalid;
    if (values.count("help")) return SimParseOutcome::Help;
    if (values.count("version")) return SimParseOutcome::Version;

    SimOptions parsed;
    if (values.count("box")) {
        for (const std::string& text : values["box"].as<std::vector<std::string>>()) {
            BoxConfig box;
            if (!ParseBoxText(text, box, message)) return SimParseOutcome::Invalid;
            parsed.boxes.push_back(box);
        }
    }
    if (values.count("config")) {
        for (const std::string& path : values["config"].as<std::vector<std::string>>()) {
            std::ifstream file(path);
            if (!file) {
                message = "cannot read " + path;
                return SimParseOutcome::Invalid;
            }
            if (!ReadBoxFile(file, parsed.boxes, message)) {
                message = path + ": " + message;
                return SimParseOutcome::Invalid;
            }
        }
    }
    if (parsed.boxes.empty()) {
        message = "no box given (--box or --config)";
        return SimParseOutcome::Invalid;
    }
    if (values.count("alive-interval"))
        parsed.aliveInterval = values["alive-interval"].as<double>();
    if (!(parsed.aliveInterval >= 0 && parsed.aliveInterval <= 3600)) {
        message = "--alive-interval must be from 0 to 3600";
        return SimParseOutcome::Invalid;
    }
    if (values.count("answer-spread")) parsed.answerSpreadMs = values["answer-spread"].as<int>();
    if (parsed.answerSpreadMs < 0 || parsed.answerSpreadMs > 60000) {
        message = "--answer-spread must be from 0 to 60000";
        return SimParseOutcome::Invalid;
    }
    parsed.quiet = values.count("quiet") != 0;
    if (values.count("asleep")) parsed.asleep = values["asleep"].as<std::vector<std::string>>();
    for (const std::string& id : parsed.asleep) {
        const bool known =
            id.empty() || std::any_of(parsed.boxes.begin(), parsed.boxes.end(),
                                      [&id](const BoxConfig& b) { return b.id == id; });
        if (!known) {
            message = "--asleep=" + id + ": no box has that id";
            return SimParseOutcome::Invalid;
        }
    }
    if (values.count("boot-seconds")) parsed.bootSeconds = values["boot-seconds"].as<double>();
    if (!(parsed.bootSeconds >= 0 && parsed.bootSeconds <= 3600)) {
        message = "--boot-seconds must be from 0 to 3600";
        return SimParseOutcome::Invalid;
    }
    if (values.count("location")) {
        const std::string location = values["location"].as<std::string>();
        boost::system::error_code bad;
        boost::asio::ip::make_address_v4(location, bad);
        if (bad) {
            message = "--location: not an IPv4 address: " + location;
            return SimParseOutcome::Invalid;
        }
        for (BoxConfig& box : parsed.boxes) box.locationAddress = location;
    }
    options = parsed;
    return SimParseOutcome::Run;
}

std::string SimUsage() {
    std::ostringstream text;
    text << "usage: nas-sim (--box BOX | --config FILE)... [--alive-interval S]\n"
            "               [--answer-spread MS] [--quiet] [--asleep[=ID]]... [--boot-seconds S]\n"
            "               [--location ADDRESS]\n"
            "       nas-sim --help | --version\n\n"
            "Plays storage boxes on the given addresses: answers broadcast searches (port 68)\n"
            "and M-SEARCHes (239.143.255.250:1900), announces ssdp:alive at start and every\n"
            "few seconds, and ssdp:byebye when stopped by SIGINT or SIGTERM.\n\n"
         << Described();
    return text.str();
}

bool StartsAsleep(const SimOptions& options, const BoxConfig& box) {
    return std::any_of(options.asleep.begin(), options.asleep.end(),
                       [&box](const std::string& id) { return id.empty() || id == box.id; });
}

std::string SimVersion() {
    return "nas-sim " NASFINDER_VERSION "\n";
}
