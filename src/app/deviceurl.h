#pragma once

#include <QString>
#include <QStringView>
#include <QUrl>

// True for a dotted-quad IPv4 address written plainly: four decimal numbers 0 to 255 in ASCII
// digits, no sign, no leading zero, no blanks, nothing before or after.
bool IsDottedIPv4(QStringView text);

// True for a DNS host name: labels of 1 to 63 ASCII letters, digits and hyphens, neither
// beginning nor ending with a hyphen, joined by single dots, 253 characters at most. A name
// whose last label is a number ("192.168.1", "nas.0x1f") is not one: URL parsers read it as an
// IPv4 address, often another one than it seems.
bool IsDnsHostName(QStringView text);

// scheme://host for a device's address as the network reported it, an IPv4 address or a host
// name. The text becomes the host and nothing else, so a device cannot smuggle in a path, user
// information or another scheme: any other text gives an empty (invalid) URL.
QUrl DeviceUrl(const QString& scheme, const QString& ip);
