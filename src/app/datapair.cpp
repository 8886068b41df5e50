#include "src/app/datapair.h"

#include <string_view>

#include "search/deviceinfo.h"

namespace {

QString FieldText(const char* field) {
    const std::string_view text = DeviceFieldText(field);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

DataPair::DataPair(const char* name, const char* ip, const char* type)
    : name(FieldText(name)), ip(FieldText(ip)), type(FieldText(type)) {}

QVariantMap DataPair::row() const {
    return {{QStringLiteral("HomeHost"), name},
            {QStringLiteral("IP"), ip},
            {QStringLiteral("DeviceType"), type}};
}
