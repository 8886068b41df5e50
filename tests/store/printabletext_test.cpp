// Text made fit for a terminal: what is replaced and what stays. The shared table of hostile
// text runs through the outputs that use it (the store's line, nas-search's formats).

#include <string>

#include <gtest/gtest.h>

#include "src/store/printabletext.h"

namespace {

struct Case {
    const char* name;
    std::string text;
    std::string shown;
};

class PrintableText : public ::testing::TestWithParam<Case> {};

TEST_P(PrintableText, ReplacesEachControlAndStrayByteWithOnePlaceholder) {
    EXPECT_EQ(Printable(GetParam().text), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, PrintableText,
    ::testing::Values(
        Case{"plain", "nas-01 10.1.0.5", "nas-01 10.1.0.5"}, Case{"empty", "", ""},
        Case{"umlaut", "Ger\xC3\xA4t", "Ger\xC3\xA4t"},
        Case{"no_break_space_after_c1", "a\xC2\xA0z", "a\xC2\xA0z"},
        Case{"three_bytes", "\xE2\x82\xAC 5", "\xE2\x82\xAC 5"},
        Case{"four_bytes", "\xF0\x9F\x92\xBE", "\xF0\x9F\x92\xBE"},
        Case{"last_code_point", "\xF4\x8F\xBF\xBF", "\xF4\x8F\xBF\xBF"},
        Case{"escape", "a\x1B[2Jb", "a?[2Jb"}, Case{"bell_tab_newline", "\x07\t\n\r", "????"},
        Case{"zero_byte", std::string("a\0b", 3), "a?b"}, Case{"del", "a\x7F", "a?"},
        Case{"c1_first_and_last", "\xC2\x80\xC2\x9F", "??"}, Case{"raw_c1", "a\x9Bz", "a?z"},
        Case{"stray_bytes", "\xFF\xFE\xC0\xAF", "????"}, Case{"surrogate", "\xED\xA0\x80", "???"},
        Case{"beyond_last_code_point", "\xF4\x90\x80\x80", "????"},
        Case{"overlong_three", "\xE0\x80\xAF", "???"}, Case{"cut_at_end", "ab\xE2\x82", "ab??"},
        Case{"cut_before_ascii", "\xE2\x82z", "??z"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
