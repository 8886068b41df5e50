#pragma once

#include <QString>
#include <QVariantMap>

// One table row made from a device record's text fields: host name, IP address, product.
class DataPair {
public:
    // Each text is read up to its zero, and never past the record's 32-byte field, so a field
    // that fills all 32 bytes is still safe to read. The bytes are taken as UTF-8.
    DataPair(const char* name, const char* ip, const char* type);

    const QString& devicename() const { return name; }
    const QString& deviceip() const { return ip; }
    const QString& devicetype() const { return type; }
    const QString& getTheIp() const { return ip; }

    // The row dictionary the table shows: "HomeHost", "IP", "DeviceType".
    QVariantMap row() const;

private:
    QString name;
    QString ip;
    QString type;
};
