#include "src/store/devicewatch.h"

#include <algorithm>

#include "search/protocol.h"
#include "src/store/deviceliststore.h"

namespace {

// Takes the report's value of a field it carries; true when that changed the field.
bool Take(char (&field)[32], const char (&reported)[32]) {
    if (reported[0] == '\0' || DeviceFieldText(field) == DeviceFieldText(reported)) return false;
    CopyDeviceField(field, std::string(DeviceFieldText(reported)).c_str());
    return true;
}

}  // namespace

std::vector<CDeviceWatch::Known>::iterator CDeviceWatch::Find(const deviceinfo& record, bool byId) {
    return std::find_if(known.begin(), known.end(), [&](const Known& entry) {
        return byId ? DeviceFieldText(entry.device.id) == DeviceFieldText(record.id)
                    : DeviceFieldText(entry.device.ip) == DeviceFieldText(record.ip);
    });
}

std::optional<WatchEvent> CDeviceWatch::OnReport(const deviceinfo& record,
                                                 const std::string& interfaceName,
                                                 std::time_t now) {
    if (record.type == kDeviceByebye) {
        // The box at the sender's address leaves; only when none is known there does the id
        // tell, and only when it names one box: boxes may share an id, and a renumbered box's
        // byebye must not take another address with it.
        auto entry = Find(record, false);
        if (entry == known.end()) {
            entry = Find(record, true);
            if (entry != known.end() &&
                std::count_if(known.begin(), known.end(), [&](const Known& other) {
                    return DeviceFieldText(other.device.id) == DeviceFieldText(record.id);
                }) != 1) {
                entry = known.end();
            }
        }
        if (entry == known.end()) return std::nullopt;
        WatchEvent gone{WatchEvent::Kind::Gone, entry->device, entry->interfaceName, "byebye", now};
        known.erase(entry);
        return gone;
    }
    if (record.type != kDeviceAnswer && record.type != kDeviceAlive) return std::nullopt;
    if (!CDeviceListStore::AcceptedVendor(record)) return std::nullopt;

    auto entry = Find(record, false);
    if (entry == known.end()) {
        known.push_back({record, interfaceName, round});
        return WatchEvent{WatchEvent::Kind::Appeared, record, interfaceName, "", now};
    }
    entry->lastRound = round;
    if (!interfaceName.empty()) entry->interfaceName = interfaceName;
    deviceinfo& device = entry->device;
    bool changed = Take(device.host, record.host);
    changed = Take(device.product, record.product) || changed;
    changed = Take(device.osversion, record.osversion) || changed;
    changed = Take(device.extra, record.extra) || changed;
    if (!changed) return std::nullopt;
    return WatchEvent{WatchEvent::Kind::Changed, device, entry->interfaceName, "", now};
}

std::vector<WatchEvent> CDeviceWatch::EndRound(std::time_t now) {
    std::vector<WatchEvent> gone;
    for (auto entry = known.begin(); entry != known.end();) {
        if (entry->lastRound <= round - silentRounds) {
            gone.push_back(
                {WatchEvent::Kind::Gone, entry->device, entry->interfaceName, "silent", now});
            entry = known.erase(entry);
        } else {
            ++entry;
        }
    }
    ++round;
    return gone;
}
