#include "tools/nas-search/reportformat.h"

#include <algorithm>
#include <array>
#include <cstring>

#include <nlohmann/json.hpp>

namespace {

using Json = nlohmann::ordered_json;

// Control bytes would move the terminal's cursor; the table shows them as '?'.
std::string PrintableText(const char* field) {
    std::string text(DeviceFieldText(field));
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    }
    return text;
}

void AddFields(Json& object, const deviceinfo& record) {
    object["id"] = DeviceFieldText(record.id);
    object["ip"] = DeviceFieldText(record.ip);
    object["host"] = DeviceFieldText(record.host);
    object["product"] = DeviceFieldText(record.product);
    object["extra"] = DeviceFieldText(record.extra);
    object["osversion"] = DeviceFieldText(record.osversion);
    object["factory"] = DeviceFieldText(record.factory);
    object["type"] = record.type;
    object["lifetime"] = record.lifetime;
}

std::string Dump(const Json& object) {
    return object.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace

std::string ReportJson(const deviceinfo& record, int handle) {
    Json object;
    object["event"] = "report";
    object["handle"] = handle;
    AddFields(object, record);
    return Dump(object);
}

std::string DeviceJson(const deviceinfo& record) {
    Json object;
    object["event"] = "device";
    AddFields(object, record);
    return Dump(object);
}

std::string DoneJson(std::size_t devices) {
    Json object;
    object["event"] = "done";
    object["devices"] = devices;
    return Dump(object);
}

std::string ReportText(const deviceinfo& record, int handle) {
    return "report from worker " + std::to_string(handle) + ": " + PrintableText(record.host) +
           " " + PrintableText(record.ip) + " " + PrintableText(record.factory) + " type " +
           std::to_string(record.type);
}

std::string DeviceTable(const std::vector<deviceinfo>& devices) {
    constexpr std::size_t kColumns = 5;
    std::vector<std::array<std::string, kColumns>> rows;
    rows.push_back({"HOST", "IP", "PRODUCT", "VENDOR", "VERSION"});
    for (const deviceinfo& d : devices) {
        rows.push_back({PrintableText(d.host), PrintableText(d.ip), PrintableText(d.product),
                        PrintableText(d.factory), PrintableText(d.osversion)});
    }
    std::array<std::size_t, kColumns> widths{};
    for (const auto& row : rows) {
        for (std::size_t c = 0; c < kColumns; ++c) widths[c] = std::max(widths[c], row[c].size());
    }
    std::string table;
    for (const auto& row : rows) {
        std::string line;
        for (std::size_t c = 0; c < kColumns; ++c) {
            line += row[c];
            if (c + 1 < kColumns) line += std::string(widths[c] - row[c].size() + 2, ' ');
        }
        line.erase(line.find_last_not_of(' ') + 1);
        table += line + "\n";
    }
    table += std::to_string(devices.size()) +
             (devices.size() == 1 ? " device found\n" : " devices found\n");
    return table;
}
