#include "src/app/datapair.h"

#include <cstring>

namespace {

// Size of every text field of a device record.
constexpr std::size_t kFieldSize = 32;

QString FieldText(const char* field) {
    return QString::fromUtf8(field, static_cast<qsizetype>(strnlen(field, kFieldSize)));
}

}  // namespace

DataPair::DataPair(const char* name, const char* ip, const char* type)
    : name(FieldText(name)), ip(FieldText(ip)), type(FieldText(type)) {}

QVariantMap DataPair::row() const {
    return {{QStringLiteral("HomeHost"), name},
            {QStringLiteral("IP"), ip},
            {QStringLiteral("DeviceType"), type}};
}
