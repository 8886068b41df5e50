#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "search/deviceinfo.h"
#include "search/searchrequest.h"

namespace {

deviceinfo Device(const char* id, const char* ip, int type) {
    deviceinfo record;
    CopyDeviceField(record.id, id);
    CopyDeviceField(record.ip, ip);
    CopyDeviceField(record.factory, "KORVANT");
    record.type = type;
    return record;
}

TEST(DeviceInfo, NewAndClearedRecordsAreEmptyWithLifetime60) {
    deviceinfo fresh;
    deviceinfo used = Device("0123-abcd", "192.168.1.20", 2);
    used.lifetime = 5;
    used.clear();

    for (const deviceinfo* record : {&fresh, &used}) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(record);
        for (std::size_t i = 0; i < offsetof(deviceinfo, lifetime); ++i) EXPECT_EQ(bytes[i], 0u);
        EXPECT_EQ(record->type, 0);
        EXPECT_EQ(record->lifetime, 60);
    }
    EXPECT_TRUE(fresh.compare(used));
}

TEST(DeviceInfo, CompareLooksAtTextUpToTheZeroAndTypeButNeverLifetime) {
    deviceinfo base = Device("0123-abcd", "192.168.1.20", 1);

    deviceinfo otherLifetime = base;
    otherLifetime.lifetime = 1;
    EXPECT_TRUE(base.compare(otherLifetime));

    deviceinfo bytesAfterZero = base;
    bytesAfterZero.host[5] = 'x';  // behind the (empty) host's terminator
    EXPECT_TRUE(base.compare(bytesAfterZero));

    deviceinfo byebye = base;
    byebye.type = 4;
    EXPECT_FALSE(base.compare(byebye));

    // Each of the seven text fields takes part.
    for (std::size_t field = 0; field < 7; ++field) {
        deviceinfo changed = base;
        reinterpret_cast<char*>(&changed)[field * 32] ^= 0x20;
        EXPECT_FALSE(base.compare(changed)) << "field " << field;
    }
}

TEST(DeviceInfo, CopyDeviceFieldCutsToThirtyOneCharactersAndStaysInItsField) {
    deviceinfo record;
    CopyDeviceField(record.ip, "192.168.1.20");
    CopyDeviceField(record.id, std::string(40, 'A').c_str());
    EXPECT_EQ(std::string(record.id), std::string(31, 'A'));
    EXPECT_EQ(record.id[31], '\0');
    EXPECT_STREQ(record.ip, "192.168.1.20");

    CopyDeviceField(record.id, "short");
    EXPECT_EQ(
        std::memcmp(record.id, "short\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0", 32), 0);
}

TEST(SearchRequest, DefaultRequestIsTheFixedWireRecord) {
    SearchRequest request = DefaultSearchRequest();
    unsigned char expected[148] = {0x0B, 0x01, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(std::memcmp(&request, expected, sizeof expected), 0);
}

}  // namespace
