#include "tests/support/hostiletext.h"

namespace nasfinder::test {

const std::vector<HostileText>& HostileTexts() {
    static const std::vector<HostileText> texts = {
        {"markup_image", "<img src=\"/etc/passwd\">"},
        {"markup_bold", "<b>nas</b>&amp;&lt;"},
        {"menu_mnemonic", "&Quit && go"},
        {"esc_clear_screen", "nas\x1b[2J\x1b[H"},
        {"osc_window_title", "\x1b]0;owned\x07nas"},
        {"c1_csi",
         "nas\xc2\x9b"
         "2J"},
        {"c1_osc_st",
         "\xc2\x9d"
         "0;owned\xc2\x9cnas"},
        {"raw_c1_byte",
         "nas\x9b"
         "2J"},
        {"invalid_utf8", "nas\xff\xfe"},
        {"overlong_slash", "nas\xc0\xaf"},
        {"surrogate", "nas\xed\xa0\x80"},
        {"del_and_bell", "nas\x7f\x07"},
        {"cut_character", std::string(29, 'a') + "\xe2\x82"},
        {"full_field", std::string(31, 'x')},
    };
    return texts;
}

bool TerminalSafe(std::string_view text) {
    std::size_t at = 0;
    while (at < text.size()) {
        const auto lead = static_cast<unsigned char>(text[at]);
        std::size_t length = lead < 0x80                   ? 1
                             : lead >= 0xC2 && lead < 0xE0 ? 2
                             : lead >= 0xE0 && lead < 0xF0 ? 3
                             : lead >= 0xF0 && lead < 0xF5 ? 4
                                                           : 0;
        if (length == 0 || at + length > text.size()) return false;
        char32_t point = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t i = 1; i < length; ++i) {
            const auto next = static_cast<unsigned char>(text[at + i]);
            if ((next & 0xC0) != 0x80) return false;
            point = (point << 6) | (next & 0x3F);
        }
        const char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (point < least[length] || point > 0x10FFFF || (point >= 0xD800 && point < 0xE000)) {
            return false;
        }
        if ((point < 0x20 && point != '\n' && point != '\t') || (point >= 0x7F && point < 0xA0)) {
            return false;
        }
        at += length;
    }
    return true;
}

}  // namespace nasfinder::test
