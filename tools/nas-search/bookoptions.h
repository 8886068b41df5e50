#pragma once

#include <string>

#include <boost/program_options.hpp>

struct SearchOptions;

// nas-search's options for the book of known boxes and waking: --wake, --wait, --known,
// --forget and --no-remember, added to and read from the program's other options.
void AddBookOptions(boost::program_options::options_description& described);
// Reads them into options; false with the reason in message for a combination that makes no
// sense (only one of --wake, --known, --forget and --watch; --wait only with --wake).
bool ReadBookOptions(const boost::program_options::variables_map& values, SearchOptions& options,
                     std::string& message);
