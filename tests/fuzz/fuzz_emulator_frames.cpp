// Fuzzes the emulated Brimel with arbitrary request frames: it must answer each with
// nothing or a reply of at most 64 bytes, whatever came before.
#include <cstdlib>
#include <span>

#include "emulator/EmulatedDevice.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    brimel::EmulatedDevice device;
    std::size_t at = 0;
    while (at < size) {
        const std::size_t length = data[at++] % 64;  // request frames are short
        const std::size_t n = length < size - at ? length : size - at;
        const auto reply = device.receive(std::span<const std::uint8_t>(data + at, n));
        if (reply && reply->size() > brimel::kReplySize) std::abort();
        at += n;
    }
    return 0;
}
