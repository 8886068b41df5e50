#include "search/deviceinfo.h"

#include <cstring>

void deviceinfo::clear() {
    std::memset(static_cast<void*>(this), 0, sizeof *this);
    lifetime = 60;
}

bool deviceinfo::compare(deviceinfo other) const {
    return std::strncmp(id, other.id, sizeof id) == 0 &&
           std::strncmp(ip, other.ip, sizeof ip) == 0 &&
           std::strncmp(host, other.host, sizeof host) == 0 &&
           std::strncmp(product, other.product, sizeof product) == 0 &&
           std::strncmp(extra, other.extra, sizeof extra) == 0 &&
           std::strncmp(osversion, other.osversion, sizeof osversion) == 0 &&
           std::strncmp(factory, other.factory, sizeof factory) == 0 && type == other.type;
}

void CopyDeviceField(char (&field)[32], const char* text) {
    std::strncpy(field, text, sizeof field - 1);
    field[sizeof field - 1] = '\0';
}
