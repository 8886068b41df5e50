#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "src/store/knownboxes.h"

// The bytes of known-boxes.json into the book's reader: it returns whatever they hold, and a
// book it reads is written back as a text that it reads as the same book, byte for byte.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<KnownBox> book;
    if (ParseKnownBoxes(text, book) != BookParse::Read) return 0;
    const std::string written = KnownBoxesJson(book);
    std::vector<KnownBox> again;
    if (ParseKnownBoxes(written, again) != BookParse::Read) std::abort();
    if (KnownBoxesJson(again) != written) std::abort();
    return 0;
}
