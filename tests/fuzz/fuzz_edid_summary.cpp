// Fuzzes the EDID summary decoder on inputs of any length: the fields and the lines, with the
// block list matching the input's complete blocks and the extension found among them.
#include <cstdlib>
#include <span>

#include "edid/EdidSummary.h"
#include "edid/EdidText.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    const brimel::EdidSummary summary = brimel::summarizeEdid(bytes);
    if (summary.size != size || summary.blocks.size() != size / brimel::kEdidBlockSize) {
        std::abort();
    }
    if (summary.cta) {
        const auto index = static_cast<std::size_t>(summary.cta->blockIndex);
        if (index == 0 || index >= summary.blocks.size()) std::abort();
        for (const brimel::CtaDataBlock &block : summary.cta->dataBlocks) {
            if (block.offset < 4 || block.offset + 1 + block.length > 127) std::abort();
        }
    }
    if (brimel::edidSummaryLines(summary).empty()) std::abort();
    return 0;
}
