// Fuzzes the infoframe text path as the send slots run it: preparation with its length
// limits, the parser, the HDR checksum and the frame builders.
#include <cstdlib>
#include <string_view>

#include "infoframes/InfoframeText.h"

using brimel::InfoframeKind;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::string_view typed(reinterpret_cast<const char *>(data), size);
    for (InfoframeKind kind : {InfoframeKind::Hdr, InfoframeKind::Avi}) {
        const auto working = brimel::prepareInfoframeText(typed, kind);
        if (!working) continue;
        auto bytes = brimel::parseInfoframeText(*working);
        if (bytes.empty() || bytes.size() > brimel::kInfoframeParseMax) std::abort();
        if (kind == InfoframeKind::Hdr) brimel::applyHdrChecksum(bytes);
        const auto frame = brimel::infoframeDataFrame(kind, bytes);
        if (frame.size() != bytes.size() + 3 || frame[1] != bytes.size()) std::abort();
        brimel::infoframeActivationFrame(kind, bytes.size());
    }
    // The start-up text of a stored frame, from a reply of any length up to 64 bytes.
    brimel::storedInfoframeText(std::span<const std::uint8_t>(data, size < 64 ? size : 64));
    return 0;
}
