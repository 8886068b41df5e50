#include "tools/nas-sim/boxconfig.h"

#include <sstream>

#include <boost/asio/ip/address_v4.hpp>

namespace {

// The wire formats join fields with '&', ',' and '/' and end lines with CR LF, so a field
// holding one of those would make another box's fields out of it.
bool CleanField(const std::string& value, bool slashAllowed) {
    if (value.empty()) return false;
    for (char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte == 0x7F || c == '&' || c == ',') return false;
        if (c == '/' && !slashAllowed) return false;
    }
    return value.find("::") == std::string::npos;
}

bool CheckBox(const BoxConfig& box, std::string& error) {
    boost::system::error_code bad;
    boost::asio::ip::make_address_v4(box.address, bad);
    if (bad) {
        error = "not an IPv4 address: " + box.address;
        return false;
    }
    for (const std::string* field : {&box.id, &box.host, &box.vendor, &box.product, &box.version}) {
        if (!CleanField(*field, false)) {
            error = "empty field, or a blank, '&', ',', '/' or \"::\" in: '" + *field + "'";
            return false;
        }
    }
    if (!box.extra.empty() && !CleanField(box.extra, true)) {
        error = "a blank, '&', ',' or \"::\" in the extra field: '" + box.extra + "'";
        return false;
    }
    return true;
}

BoxConfig FromFields(const std::vector<std::string>& fields) {
    BoxConfig box;
    box.address = fields[0];
    box.id = fields[1];
    box.host = fields[2];
    box.vendor = fields[3];
    box.product = fields[4];
    box.version = fields[5];
    if (fields.size() == 7) box.extra = fields[6];
    return box;
}

}  // namespace

bool ParseBoxText(const std::string& text, BoxConfig& box, std::string& error) {
    std::vector<std::string> fields;
    std::string field;
    std::istringstream in(text);
    while (std::getline(in, field, ',')) fields.push_back(field);
    if (!text.empty() && text.back() == ',') fields.push_back("");
    if ((fields.size() != 6 && fields.size() != 7) || fields.back().empty()) {
        error = "a box is ADDRESS,ID,HOST,VENDOR,PRODUCT,VERSION[,EXTRA]: " + text;
        return false;
    }
    BoxConfig parsed = FromFields(fields);
    if (!CheckBox(parsed, error)) return false;
    box = parsed;
    return true;
}

bool ReadBoxFile(std::istream& in, std::vector<BoxConfig>& boxes, std::string& error) {
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        std::istringstream words(line);
        std::vector<std::string> fields;
        for (std::string word; words >> word;) fields.push_back(word);
        if (fields.empty() || fields[0][0] == '#') continue;
        if (fields.size() != 6 && fields.size() != 7) {
            error = "line " + std::to_string(number) +
                    ": expected ADDRESS ID HOST VENDOR PRODUCT VERSION [EXTRA]";
            return false;
        }
        BoxConfig box = FromFields(fields);
        if (!CheckBox(box, error)) {
            error = "line " + std::to_string(number) + ": " + error;
            return false;
        }
        boxes.push_back(box);
    }
    return true;
}
