#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "search/deviceinfo.h"

// The texts nas-search prints, kept apart from the sockets so they can be checked alone.

// One JSON Lines object each, without the line end. Text fields are the record's bytes up to
// their terminator; bytes that are not UTF-8 become U+FFFD.
std::string ReportJson(const deviceinfo& record, int handle);
std::string DeviceJson(const deviceinfo& record);
std::string DoneJson(std::size_t devices);

// One line for a report in the readable output, without the line end.
std::string ReportText(const deviceinfo& record, int handle);

// The readable table of the list: host, IP, product, vendor, version; one header line.
std::string DeviceTable(const std::vector<deviceinfo>& devices);
