#pragma once

#include <QString>
#include <QStringView>
#include <QUrl>

// True for a dotted-quad IPv4 address written plainly: four decimal numbers 0 to 255 in ASCII
// digits, no sign, no leading zero, no blanks, nothing before or after.
bool IsDottedIPv4(QStringView text);

// scheme://ip for a device's address as the network reported it. The text becomes the host and
// nothing else, so a device cannot smuggle in a path, user information or another scheme: an
// address that is not a plain IPv4 address gives an empty (invalid) URL.
QUrl DeviceUrl(const QString& scheme, const QString& ip);
