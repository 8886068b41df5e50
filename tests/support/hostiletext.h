#pragma once

#include <string>
#include <string_view>
#include <vector>

// Text that a box on the LAN, a file in the user's home or the user may hand in, meant to
// break whatever shows or stores it: markup, terminal escapes, C1 controls, invalid UTF-8 and
// fields cut in the middle of a character. Every module that shows or keeps such text runs
// this one table through its own outputs.
namespace nasfinder::test {

struct HostileText {
    const char* name;
    std::string bytes;  // at most 31 bytes, so that each fits a device record's field
};

const std::vector<HostileText>& HostileTexts();

// Whether text may reach a terminal as it is: valid UTF-8 without C0 controls (newline and tab
// aside), DEL or C1 controls (U+0080 to U+009F).
bool TerminalSafe(std::string_view text);

}  // namespace nasfinder::test
