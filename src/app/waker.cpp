#include "src/app/waker.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThreadPool>
#include <QTimer>

#include <algorithm>

#include "src/app/devicesource.h"
#include "src/store/devicesighting.h"

namespace {

bool Same(const KnownBox& a, const KnownBox& b) {
    return a.id == b.id && a.ip == b.ip;
}

bool Answers(const DeviceSighting& sighting, const KnownBox& box, std::time_t since) {
    const deviceinfo& device = sighting.record;
    return sighting.lastHeard > since && (box.id.empty() ? DeviceFieldText(device.ip) == box.ip
                                                         : DeviceFieldText(device.id) == box.id);
}

}  // namespace

Waker::Waker(DeviceSource& source, std::function<bool(const std::string&)> chosen, QObject* parent)
    : QObject(parent), source(source), chosen(std::move(chosen)), searchTimer(new QTimer(this)) {
    searchTimer->setInterval(kSearchEveryMilliseconds);
    connect(searchTimer, &QTimer::timeout, this, &Waker::lookForAnswers);
}

void Waker::wake(const KnownBox& box) {
    if (!ParseMac(box.mac)) return;
    cancel(box);
    boxes.push_back({box, {}, std::time(nullptr)});
    boxes.back().waited.start();
    send(box, true);
    source.SendSearch();
    searchTimer->start();
}

void Waker::cancel(const KnownBox& box) {
    boxes.erase(std::remove_if(boxes.begin(), boxes.end(),
                               [&box](const Waiting& w) { return Same(w.box, box); }),
                boxes.end());
    if (boxes.empty()) searchTimer->stop();
}

void Waker::cancelAll() {
    boxes.clear();
    searchTimer->stop();
}

void Waker::send(const KnownBox& box, bool first) {
    QPointer<Waker> self(this);
    const MacAddress mac = *ParseMac(box.mac);
    // Looked up at each sending: a network that comes up while the box waits is used.
    const std::vector<Ipv4Interface> interfaces = WakeInterfaces(box.interfaceName, box.ip, chosen);
    QThreadPool::globalInstance()->start([self, box, mac, interfaces, first] {
        WakeSent result = SendWakePackets(mac, interfaces);
        if (!first) return;
        // Back on the main thread; the waker may be gone by then.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, box, result = std::move(result)] {
                if (self) emit self->sent(box, result);
            },
            Qt::QueuedConnection);
    });
}

void Waker::lookForAnswers() {
    std::vector<DeviceSighting> found;
    source.CopySightings(found);
    // Copied: a handler may wake or cancel boxes.
    const std::vector<Waiting> now = boxes;
    bool searchAgain = false;
    for (const Waiting& waiting : now) {
        const auto answered =
            std::find_if(found.begin(), found.end(), [&](const DeviceSighting& heard) {
                return Answers(heard, waiting.box, waiting.since);
            });
        if (answered != found.end()) {
            cancel(waiting.box);
            emit woken(waiting.box, answered->record);
        } else if (waiting.waited.elapsed() >= kWaitMilliseconds) {
            cancel(waiting.box);
            emit notWoken(waiting.box);
        } else {
            send(waiting.box, false);
            searchAgain = true;
        }
    }
    if (searchAgain) source.SendSearch();
}
