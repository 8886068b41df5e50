#pragma once

#include <string>
#include <vector>

#include <boost/program_options.hpp>

// Parses args against described into values, refusing positional words, which
// Boost.Program_options would otherwise accept silently. False with message on a bad argument.
inline bool StoreCommandLine(const std::vector<std::string>& args,
                             const boost::program_options::options_description& described,
                             boost::program_options::variables_map& values, std::string& message) {
    namespace po = boost::program_options;
    try {
        po::store(po::command_line_parser(args)
                      .options(described)
                      .positional(po::positional_options_description())
                      .run(),
                  values);
        po::notify(values);
    } catch (const po::error& e) {
        message = e.what();
        return false;
    }
    return true;
}
