#include "tools/nas-search/wakerun.h"

#include <algorithm>
#include <chrono>
#include <string>

#include "search/searchlib.h"
#include "src/store/deviceliststore.h"
#include "src/store/knownboxes.h"
#include "src/store/neighbourtable.h"
#include "src/store/wakesender.h"
#include "tools/nas-search/reportformat.h"
#include "tools/nas-search/searchsession.h"

namespace {

using Clock = CSearchSession::Clock;

constexpr auto kSearchEvery = std::chrono::seconds(2);
constexpr auto kLookEvery = std::chrono::milliseconds(250);

void Line(std::FILE* stream, const std::string& text) {
    std::fputs((text + "\n").c_str(), stream);
    std::fflush(stream);
}

// One for the process, so that what the user hears about the book is said once.
CKnownBoxesFile& TheBook() {
    static CKnownBoxesFile file(CKnownBoxesFile::DefaultPath());
    return file;
}

void TellNotice(const CKnownBoxesFile& file) {
    if (!file.Notice().empty()) Line(stderr, ErrorText(file.Notice()));
}

int RunKnown(const SearchOptions& options, std::FILE* out) {
    CKnownBoxesFile& file = TheBook();
    std::vector<KnownBox> book;
    const bool read = file.Read(book);
    TellNotice(file);
    if (!read) return 1;
    if (options.json) {
        for (const KnownBox& box : book) Line(out, KnownJson(box));
    } else {
        std::fputs(KnownTable(book).c_str(), out);
        std::fflush(out);
    }
    return 0;
}

int RunForget(const SearchOptions& options) {
    CKnownBoxesFile& file = TheBook();
    bool found = false;
    const bool written = file.Update([&](std::vector<KnownBox>& book) {
        if (*options.forget == "all") {
            found = true;
            book.clear();
            return;
        }
        const KnownBox* box = FindKnownBox(book, *options.forget);
        if (box == nullptr) return;
        found = true;
        book.erase(book.begin() + (box - book.data()));
    });
    TellNotice(file);
    if (!written) return 1;
    if (!found) {
        Line(stderr, ErrorText(*options.forget + " is not among the remembered boxes"));
        return 2;
    }
    return 0;
}

// Whether device is the box being woken: by id, else by address, else (a bare MAC) by the
// neighbour table's MAC for its address.
bool IsTheBox(const deviceinfo& device, const KnownBox& box,
              const std::vector<Ipv4Interface>& interfaces, const std::string& arpTable) {
    if (!box.id.empty()) return DeviceFieldText(device.id) == box.id;
    if (!box.ip.empty()) return DeviceFieldText(device.ip) == box.ip;
    const std::string ip(DeviceFieldText(device.ip));
    return LookUpNeighbour(interfaces, ip, arpTable).mac == box.mac;
}

int RunWake(const SearchOptions& options, std::FILE* out) {
    const std::string& target = *options.wake;
    std::vector<KnownBox> book;
    if (options.remember) {
        TheBook().Read(book);
        TellNotice(TheBook());
    }
    KnownBox box;
    const auto mac = ParseMac(target);
    if (const KnownBox* known = FindKnownBox(book, target)) {
        box = *known;
        if (box.mac.empty()) {
            Line(stderr, ErrorText(target + " is remembered without a MAC address (it was not on a "
                                            "directly connected network), so it cannot be woken"));
            return 2;
        }
    } else if (mac) {
        box.mac = MacText(*mac);
        const auto same = std::find_if(book.begin(), book.end(),
                                       [&](const KnownBox& b) { return b.mac == box.mac; });
        if (same != book.end()) box = *same;
    } else {
        Line(stderr,
             ErrorText(target + " is neither a remembered box (see nas-search --known) nor a MAC "
                                "address such as aa:bb:cc:dd:ee:ff"));
        return 2;
    }

    const std::vector<Ipv4Interface> interfaces =
        WakeInterfaces(box.interfaceName, box.ip, [&options](const std::string& name) {
            return ChoosesSearchInterface(options.interfaces, options.excludeInterfaces, name);
        });
    if (interfaces.empty()) {
        Line(stderr, "nas-search: nothing sent: no interface is up with an IPv4 address");
        return 1;
    }
    const WakeSent sent = SendWakePackets(*ParseMac(box.mac), interfaces);
    for (const std::string& error : sent.errors) Line(stderr, ErrorText("cannot wake: " + error));
    if (sent.interfacesSent == 0) return 1;
    if (sent.interfacesSent < sent.interfacesTried) {
        Line(stderr, "nas-search: magic packet sent on " + std::to_string(sent.interfacesSent) +
                         " of " + std::to_string(sent.interfacesTried) + " interfaces");
    }
    const std::string via = interfaces.size() == 1 ? interfaces.front().name : "";
    if (options.json) {
        Line(out, WakeJson(target, box.mac, via, sent.addresses));
    } else {
        std::string where;
        for (const std::string& address : sent.addresses) where += " " + address;
        Line(stderr, ErrorText("magic packet for " + box.mac + " sent to" + where +
                               "; waiting for " + target + " to answer"));
    }

    // Worker lines go to standard error as commentary; standard output keeps the wake's lines.
    CSearchOutput commentary(stderr, false);
    CSearchSession session(options, commentary, [](const deviceinfo&, int) {});
    const Clock::time_point deadline =
        Clock::now() +
        std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(options.wait));
    Clock::time_point nextSearch = Clock::now();
    bool firstSearch = true;
    std::vector<deviceinfo> devices;
    for (;;) {
        const Clock::time_point now = Clock::now();
        if (now >= nextSearch) {
            // A magic packet is a datagram nobody acknowledges: each later search sends it again,
            // so that one lost on the way does not leave the box asleep for the whole wait.
            if (!firstSearch) SendWakePackets(*ParseMac(box.mac), interfaces);
            firstSearch = false;
            session.Search();
            nextSearch = now + kSearchEvery;
        }
        CDeviceListStore::Instance().CopyDeviceList(devices);
        // Only a bare MAC is matched through the neighbour table.
        const std::string arpTable = box.id.empty() && box.ip.empty() ? ReadArpTable() : "";
        const auto answered = std::find_if(
            devices.begin(), devices.end(),
            [&](const deviceinfo& d) { return IsTheBox(d, box, interfaces, arpTable); });
        if (answered != devices.end()) {
            const deviceinfo device = *answered;
            session.Stop();
            RememberStoreList(options);
            if (options.json) {
                const std::string heard =
                    LookUpNeighbour(interfaces, std::string(DeviceFieldText(device.ip)),
                                    ReadArpTable())
                        .interfaceName;
                Line(out, DeviceJson(device, heard));
                Line(out, DoneJson(1));
            } else {
                std::fputs(DeviceTable({device}).c_str(), out);
                std::fflush(out);
            }
            return 0;
        }
        if (now >= deadline) break;
        if (const int signal =
                session.WaitUntil(std::min({deadline, nextSearch, now + kLookEvery}))) {
            session.Stop();
            return 128 + signal;
        }
    }
    session.Stop();
    RememberStoreList(options);
    const std::string seconds = std::to_string(static_cast<long long>(options.wait));
    if (options.json) {
        Line(out, TimeoutJson(target, options.wait));
        Line(out, DoneJson(0));
    }
    Line(stderr, ErrorText(target + " did not answer within " + seconds +
                           " s: check that wake-on-LAN is switched on in the box, and that the "
                           "box is on this network (a magic packet does not cross a router)"));
    return 1;
}

}  // namespace

bool BookRun(const SearchOptions& options) {
    return options.wake || options.known || options.forget;
}

int RunBook(const SearchOptions& options, std::FILE* out) {
    if (options.known) return RunKnown(options, out);
    if (options.forget) return RunForget(options);
    return RunWake(options, out);
}

void RememberStoreList(const SearchOptions& options) {
    if (!options.remember) return;
    std::vector<DeviceSighting> sightings;
    CDeviceListStore::Instance().CopySightings(sightings);
    TheBook().Remember(SeenBoxes(sightings));
    TellNotice(TheBook());
}
