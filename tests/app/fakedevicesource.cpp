#include "tests/app/fakedevicesource.h"

#include <cstring>

void FakeDeviceSource::ClearDeviceList() {
    list.clear();
    ++clears;
}

void FakeDeviceSource::report(const char* ip, const char* host, const char* product) {
    deviceinfo record;
    CopyDeviceField(record.id, ip);
    CopyDeviceField(record.ip, ip);
    CopyDeviceField(record.host, host);
    CopyDeviceField(record.product, product);
    CopyDeviceField(record.factory, "KORVANT");
    record.type = 1;
    for (deviceinfo& entry : list) {
        if (std::strncmp(entry.ip, record.ip, sizeof entry.ip) == 0) {
            entry = record;
            return;
        }
    }
    list.push_back(record);
}
