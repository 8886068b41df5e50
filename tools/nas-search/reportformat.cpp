#include "tools/nas-search/reportformat.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <utility>

#include <nlohmann/json.hpp>

#include "src/store/knownboxes.h"
#include "src/store/printabletext.h"

namespace {

using Json = nlohmann::ordered_json;

std::string FieldText(const char* field) {
    return std::string(DeviceFieldText(field));
}

std::string PrintableText(const char* field) {
    return Printable(DeviceFieldText(field));
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

// nlohmann escapes C0 controls but writes DEL and the C1 controls (U+0080-U+009F) as they are,
// and a terminal showing the line would act on them: they go as \u escapes too. By then the
// text is valid UTF-8, where 0xC2 only ever leads a character.
std::string Dump(const Json& object) {
    const std::string dumped = object.dump(-1, ' ', false, Json::error_handler_t::replace);
    std::string escaped;
    escaped.reserve(dumped.size());
    for (std::size_t i = 0; i < dumped.size(); ++i) {
        const auto byte = static_cast<unsigned char>(dumped[i]);
        const auto next = i + 1 < dumped.size() ? static_cast<unsigned char>(dumped[i + 1]) : 0;
        if (byte == 0x7F || (byte == 0xC2 && next >= 0x80 && next < 0xA0)) {
            char escape[sizeof "\\u0000"];
            std::snprintf(escape, sizeof escape, "\\u%04x", byte == 0x7F ? byte : next);
            escaped += escape;
            if (byte == 0xC2) ++i;
        } else {
            escaped += dumped[i];
        }
    }
    return escaped;
}

const char* KindName(WatchEvent::Kind kind) {
    switch (kind) {
        case WatchEvent::Kind::Appeared:
            return "appeared";
        case WatchEvent::Kind::Changed:
            return "changed";
        case WatchEvent::Kind::Gone:
            return "gone";
    }
    return "";
}

// Rows as columns two blanks apart, each line without trailing blanks. Every cell is made
// printable here, whatever it came from.
std::string Table(std::vector<std::vector<std::string>> rows) {
    std::vector<std::size_t> widths;
    for (auto& row : rows) {
        for (std::string& cell : row) cell = Printable(cell);
        widths.resize(std::max(widths.size(), row.size()));
        for (std::size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], row[c].size());
    }
    std::string table;
    for (const auto& row : rows) {
        std::string line;
        for (std::size_t c = 0; c < row.size(); ++c) {
            line += row[c];
            if (c + 1 < row.size()) line += std::string(widths[c] - row[c].size() + 2, ' ');
        }
        line.erase(line.find_last_not_of(' ') + 1);
        table += line + "\n";
    }
    return table;
}

}  // namespace

std::string ReportJson(const deviceinfo& record, int handle, const std::string& interfaceName) {
    Json object;
    object["event"] = "report";
    object["handle"] = handle;
    AddFields(object, record);
    object["interface"] = interfaceName;
    return Dump(object);
}

std::string DeviceJson(const deviceinfo& record, const std::string& interfaceName) {
    Json object;
    object["event"] = "device";
    AddFields(object, record);
    object["interface"] = interfaceName;
    return Dump(object);
}

std::string DoneJson(std::size_t devices) {
    Json object;
    object["event"] = "done";
    object["devices"] = devices;
    return Dump(object);
}

std::string WorkerJson(const SearchWorkerHealth& worker, bool counters) {
    Json object;
    object["event"] = "worker";
    object["role"] = SearchWorkerRoleName(worker.role);
    object["address"] = worker.address;
    object["interface"] = worker.interfaceName;
    object["port"] = worker.port;
    object["state"] = SearchWorkerStateName(worker.state);
    object["error"] = worker.state == SearchWorkerState::Failed ? worker.setupErrorText : "";
    if (counters) {
        object["searches"] = worker.searchesSent;
        object["sendErrors"] = worker.sendErrors;
        object["sendError"] = worker.lastSendErrorText;
        object["datagrams"] = worker.datagramsReceived;
        object["answers"] = worker.answersReceived;
        object["announcements"] = worker.announcementsHeard;
        object["reported"] = worker.devicesReported;
    }
    return Dump(object);
}

std::string ProbeJson(std::size_t targets) {
    Json object;
    object["event"] = "probe";
    object["targets"] = targets;
    return Dump(object);
}

std::string HintJson(const SearchHint& hint) {
    Json object;
    object["event"] = "hint";
    object["code"] = hint.code;
    object["text"] = hint.text;
    for (const SearchHintFact& fact : hint.facts) {
        if (fact.number) {
            object[fact.name] = std::stoll(fact.value);
        } else {
            object[fact.name] = fact.value;
        }
    }
    return Dump(object);
}

std::string WatchJson(const WatchEvent& event) {
    Json object;
    object["event"] = KindName(event.kind);
    if (event.kind == WatchEvent::Kind::Gone) {
        object["ip"] = DeviceFieldText(event.device.ip);
        object["host"] = DeviceFieldText(event.device.host);
        object["reason"] = event.reason;
    } else {
        AddFields(object, event.device);
        object["interface"] = event.interfaceName;
        object["seen"] = IsoUtcTime(event.seen);
    }
    return Dump(object);
}

std::string ReportText(const deviceinfo& record, int handle) {
    return "report from worker " + std::to_string(handle) + ": " + PrintableText(record.host) +
           " " + PrintableText(record.ip) + " " + PrintableText(record.factory) + " type " +
           std::to_string(record.type);
}

std::string HintText(const SearchHint& hint) {
    return Printable(hint.summary + ": " + hint.text);
}

std::string WorkerText(const SearchWorkerHealth& worker) {
    return Printable(DescribeSearchWorker(worker, false));
}

std::string ErrorText(const std::string& message) {
    return "nas-search: " + Printable(message);
}

std::string WatchText(const WatchEvent& event) {
    const std::string who = PrintableText(event.device.host) + " " + PrintableText(event.device.ip);
    switch (event.kind) {
        case WatchEvent::Kind::Appeared:
            return "+ " + who + " " + PrintableText(event.device.product);
        case WatchEvent::Kind::Changed:
            return "~ " + who + " " + PrintableText(event.device.product);
        case WatchEvent::Kind::Gone:
            return "- " + who + " (" + event.reason + ")";
    }
    return who;
}

std::string KnownJson(const KnownBox& box) {
    Json object;
    object["event"] = "known";
    object["id"] = box.id;
    object["host"] = box.host;
    object["ip"] = box.ip;
    object["vendor"] = box.vendor;
    object["product"] = box.product;
    object["version"] = box.version;
    object["interface"] = box.interfaceName;
    object["mac"] = box.mac;
    object["firstSeen"] = box.firstSeen;
    object["lastSeen"] = box.lastSeen;
    return Dump(object);
}

std::string WakeJson(const std::string& target, const std::string& mac,
                     const std::string& interfaceName, const std::vector<std::string>& addresses) {
    Json object;
    object["event"] = "wake";
    object["target"] = target;
    object["mac"] = mac;
    object["interface"] = interfaceName;
    object["addresses"] = addresses;
    return Dump(object);
}

std::string TimeoutJson(const std::string& target, double seconds) {
    Json object;
    object["event"] = "timeout";
    object["target"] = target;
    object["seconds"] = seconds;
    return Dump(object);
}

std::string KnownTable(const std::vector<KnownBox>& book) {
    const auto shown = [](const std::string& text) { return text.empty() ? "-" : text; };
    std::vector<std::vector<std::string>> rows{{"HOST", "IP", "MAC", "LAST SEEN"}};
    for (const KnownBox& box : book) {
        rows.push_back({shown(box.host), shown(box.ip), shown(box.mac), box.lastSeen});
    }
    return Table(std::move(rows)) + std::to_string(book.size()) +
           (book.size() == 1 ? " box remembered\n" : " boxes remembered\n");
}

std::string DeviceTable(const std::vector<deviceinfo>& devices) {
    std::vector<std::vector<std::string>> rows{{"HOST", "IP", "PRODUCT", "VENDOR", "VERSION"}};
    for (const deviceinfo& d : devices) {
        rows.push_back({FieldText(d.host), FieldText(d.ip), FieldText(d.product),
                        FieldText(d.factory), FieldText(d.osversion)});
    }
    return Table(std::move(rows)) + std::to_string(devices.size()) +
           (devices.size() == 1 ? " device found\n" : " devices found\n");
}

std::string DiagnosisText(const std::vector<SearchWorkerHealth>& workers,
                          const std::vector<SearchHint>& hints) {
    std::vector<std::vector<std::string>> rows{{"WORKER", "INTERFACE", "ADDRESS", "PORT", "STATE",
                                                "SENT", "SEND ERRORS", "RECEIVED", "ANSWERS",
                                                "ANNOUNCEMENTS", "REPORTED"}};
    for (const SearchWorkerHealth& w : workers) {
        std::string state = SearchWorkerStateName(w.state);
        if (w.state == SearchWorkerState::Failed) state += " (" + w.setupErrorText + ")";
        std::string sendErrors = std::to_string(w.sendErrors);
        if (w.sendErrors > 0) sendErrors += " (" + w.lastSendErrorText + ")";
        rows.push_back({SearchWorkerRoleName(w.role),
                        w.interfaceName.empty() ? "-" : w.interfaceName,
                        w.address.empty() ? "-" : w.address, std::to_string(w.port), state,
                        std::to_string(w.searchesSent), sendErrors,
                        std::to_string(w.datagramsReceived), std::to_string(w.answersReceived),
                        std::to_string(w.announcementsHeard), std::to_string(w.devicesReported)});
    }
    std::string text =
        "\nSearch workers (counts over the search window):\n" + Table(std::move(rows));
    text += hints.empty() ? "\nNo hints: nothing stood in the search's way.\n" : "\nHints:\n";
    for (const SearchHint& hint : hints) text += "- " + HintText(hint) + "\n";
    return text;
}
