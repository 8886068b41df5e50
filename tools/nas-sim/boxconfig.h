#pragma once

#include <istream>
#include <string>
#include <vector>

// One simulated storage box.
struct BoxConfig {
    std::string address;  // its IPv4 address; the simulator's namespace must own it
    std::string id;
    std::string host;
    std::string vendor;
    std::string product;
    std::string version;
    std::string extra;  // optional; in the SSDP server token after the product
    // The address its SSDP messages name in LOCATION; empty: its own.
    std::string locationAddress;
};

// "ADDRESS,ID,HOST,VENDOR,PRODUCT,VERSION[,EXTRA]". False with the reason in error.
bool ParseBoxText(const std::string& text, BoxConfig& box, std::string& error);

// One box per line: ADDRESS ID HOST VENDOR PRODUCT VERSION [EXTRA], separated by blanks;
// blank lines and lines starting with # are skipped. Boxes are appended.
bool ReadBoxFile(std::istream& in, std::vector<BoxConfig>& boxes, std::string& error);
