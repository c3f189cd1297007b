// Fuzzes the status display: the input is cut into the status, six infoframe and name
// records (each of any length) and decoded into the label texts and dumps.
#include <array>
#include <span>

#include "status/StatusDecode.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    std::array<std::span<const std::uint8_t>, 8> records{};
    std::size_t at = 0;
    for (auto &record : records) {
        if (at >= size) break;
        const std::size_t length = data[at++] % 65;  // a reply holds at most 64 bytes
        const std::size_t n = length < size - at ? length : size - at;
        record = std::span<const std::uint8_t>(data + at, n);
        at += n;
    }
    const brimel::StatusRecords r{records[0], records[1], records[2], records[3],
                                  records[4], records[5], records[6], records[7]};
    brimel::statusShown(r.status);
    const auto display = brimel::decodeStatus(r, size > 0 && (data[0] & 1));
    for (const auto &t : display.inSetOrder()) (void)t;
    return 0;
}
