// Fuzzes the EDID file loader: the binary/text decision, the binary image and the
// text branch with its line-end rule; a text result never grows past 1024 bytes.
#include <cstdlib>
#include <span>

#include "edid/EdidFile.h"
#include "edid/EdidText.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::span<const std::uint8_t> content(data, size);
    const brimel::EdidFileContent loaded = brimel::decodeEdidFile(content);
    if (loaded.binary) {
        const auto saved = brimel::edidFileBytes(loaded.image);
        if (saved.size() != 256) std::abort();
    } else {
        if (loaded.text.size() > 1024) std::abort();
        brimel::EdidImage image{};
        brimel::EdidTextToBytes(loaded.text, image);
    }
    return 0;
}
