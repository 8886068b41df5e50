#include "src/store/printabletext.h"

#include <cstring>

namespace {

bool Between(unsigned char byte, unsigned char low, unsigned char high) {
    return byte >= low && byte <= high;
}

// The length of the valid UTF-8 character at text[at], or 0 when that byte starts none.
// Overlong forms, surrogates and code points beyond U+10FFFF are invalid: the ranges allowed
// for the second byte after each lead byte rule them out.
std::size_t CharacterLength(const unsigned char* text, std::size_t length, std::size_t at) {
    const unsigned char lead = text[at];
    if (lead < 0x80) return 1;
    std::size_t size = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (Between(lead, 0xC2, 0xDF)) {
        size = 2;
    } else if (Between(lead, 0xE0, 0xEF)) {
        size = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (Between(lead, 0xF0, 0xF4)) {
        size = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (length - at < size || !Between(text[at + 1], low, high)) return 0;
    for (std::size_t i = 2; i < size; ++i) {
        if (!Between(text[at + i], 0x80, 0xBF)) return 0;
    }
    return size;
}

// C0, DEL, or C1: U+0080-U+009F is 0xC2 0x80-0x9F.
bool Control(const unsigned char* character, std::size_t size) {
    if (size == 1) return character[0] < 0x20 || character[0] == 0x7F;
    return size == 2 && character[0] == 0xC2 && character[1] < 0xA0;
}

}  // namespace

std::size_t MakePrintable(char* text, std::size_t length) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    std::size_t written = 0;
    for (std::size_t at = 0; at < length;) {
        const std::size_t size = CharacterLength(bytes, length, at);
        if (size == 0 || Control(bytes + at, size)) {
            text[written++] = kUnprintablePlaceholder;
            at += size == 0 ? 1 : size;
            continue;
        }
        std::memmove(text + written, text + at, size);
        written += size;
        at += size;
    }
    return written;
}

std::string Printable(std::string_view text) {
    std::string printable(text);
    printable.resize(MakePrintable(printable.data(), printable.size()));
    return printable;
}

bool ValidUtf8(std::string_view text) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t size = CharacterLength(bytes, text.size(), at);
        if (size == 0) return false;
        at += size;
    }
    return true;
}
