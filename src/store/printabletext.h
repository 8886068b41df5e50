#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Text from the network, /proc, a file or the user, made fit for a terminal: written once for
// nas-search's lines and the store's diagnostic line. A terminal acts on C0 controls, DEL and
// C1 controls (U+0080-U+009F, which some terminals also take as single raw bytes), and may read
// a broken UTF-8 sequence as part of what follows: each such character, and each byte that is
// not part of valid UTF-8, shows as the placeholder. Valid UTF-8 such as "Gerät" stays.
constexpr char kUnprintablePlaceholder = '?';

// Rewrites text[0, length) in place and returns its new length, which is never more: every
// character replaced is at least a byte long. Allocates nothing, for the per-datagram path.
// Any thread.
std::size_t MakePrintable(char* text, std::size_t length);

// A printable copy of text.
std::string Printable(std::string_view text);

// Whether text is valid UTF-8 throughout: no stray byte, overlong form, surrogate or code point
// beyond U+10FFFF (what a JSON text may hold). Any thread.
bool ValidUtf8(std::string_view text);
