#include "tools/nas-sim/boxmessages.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "search/protocol.h"

namespace {

std::string ServerHeader(const BoxConfig& box) {
    std::string token = box.vendor + "/" + box.host + "/" + box.product;
    if (!box.extra.empty()) token += "/" + box.extra;
    return "SERVER: Linux/6.1 UPnP/1.0 " + std::string(kBrandToken) + "/" + box.version +
           ", sim, " + token + "\r\n";
}

std::string Location(const BoxConfig& box) {
    const std::string& address = box.locationAddress.empty() ? box.address : box.locationAddress;
    return "LOCATION: http://" + address + ":8080/desc.xml\r\n";
}

}  // namespace

SearchRequest BroadcastAnswer(const BoxConfig& box) {
    SearchRequest answer{};
    answer.cmd = kSearchAnswerCmd;
    answer.type = 1;
    const std::string text =
        "id=" + box.id + "&host=" + box.host + "&vendor=" + box.vendor + "&product=" + box.product;
    // A text that fills the whole area goes without a terminator, as the wire format allows.
    std::memcpy(answer.info, text.data(), std::min(text.size(), sizeof answer.info));
    return answer;
}

std::string SsdpAnswer(const BoxConfig& box) {
    return "HTTP/1.1 200 OK\r\n"
           "CACHE-CONTROL: max-age=60\r\n"
           "EXT:\r\n" +
           Location(box) + ServerHeader(box) + "ST: " + kDeviceType + "\r\n" +
           "USN: uuid:" + box.id + "::" + kDeviceType + "\r\n\r\n";
}

std::string SsdpNotify(const BoxConfig& box, bool alive) {
    return std::string("NOTIFY * HTTP/1.1\r\n") + "HOST: " + kSsdpGroup + ":" +
           std::to_string(kSsdpPort) + "\r\n" + "CACHE-CONTROL: max-age=60\r\n" + Location(box) +
           "NT: upnp:rootdevice\r\n" + "NTS: " + (alive ? "ssdp:alive" : "ssdp:byebye") + "\r\n" +
           ServerHeader(box) + "USN: uuid:" + box.id + "::upnp:rootdevice\r\n\r\n";
}

bool IsBroadcastSearch(const char* data, std::size_t length) {
    return length == sizeof(SearchRequest) &&
           static_cast<unsigned char>(data[0]) == kSearchRequestCmd;
}

bool IsSsdpSearch(const char* data, std::size_t length) {
    const std::string_view text(data, length);
    if (text.substr(0, 9) != "M-SEARCH ") return false;
    if (text.find("ssdp:discover") == std::string_view::npos) return false;
    return text.find(kDeviceType) != std::string_view::npos ||
           text.find("ST: ssdp:all") != std::string_view::npos;
}
