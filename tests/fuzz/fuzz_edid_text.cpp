// Fuzzes the EDID text parser: any text parses without leaving the image, and what
// the formatter writes parses back to the same bytes.
#include <cstdlib>
#include <string_view>

#include "edid/EdidText.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    brimel::EdidImage image{};
    if (brimel::EdidTextToBytes(text, image) < 0) return 0;
    const std::string shown = brimel::EdidBytesToText(image);
    brimel::EdidImage again{};
    if (brimel::EdidTextToBytes(shown, again) != 256 || again != image) std::abort();
    brimel::repairEdidChecksums(again);
    if (!brimel::edidChecksumsOk(again)) std::abort();
    return 0;
}
