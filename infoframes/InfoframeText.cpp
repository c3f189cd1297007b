// Custom infoframe text: preparation, parser, HDR checksum, frames and start-up text.
#include "infoframes/InfoframeText.h"

#include <algorithm>

#include "device/Commands.h"

namespace brimel {

namespace {

char asciiUpper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

std::uint8_t digitValue(char c) {
    const auto code = static_cast<std::uint8_t>(asciiUpper(c));
    return static_cast<std::uint8_t>(code > '9' ? code - 55 : code - 48);
}

// Character at `pos`, or '0' for a position outside the text.
char charAt(std::string_view text, std::ptrdiff_t pos) {
    if (pos < 0 || static_cast<std::size_t>(pos) >= text.size()) {
        return '0';
    }
    return text[static_cast<std::size_t>(pos)];
}

std::uint8_t pairAt(std::string_view text, std::ptrdiff_t pos) {
    return infoframePairToByte(charAt(text, pos), charAt(text, pos + 1));
}

std::uint8_t byteAt(std::span<const std::uint8_t> bytes, std::size_t i) {
    return i < bytes.size() ? bytes[i] : 0;
}

constexpr char kLowerHex[] = "0123456789abcdef";

}  // namespace

std::size_t infoframeTextMax(InfoframeKind kind) {
    return kind == InfoframeKind::Hdr ? kHdrTextMax : kAviTextMax;
}

std::optional<std::string> prepareInfoframeText(std::string_view typed, InfoframeKind kind) {
    if (typed.size() < kInfoframeTextMin || typed.size() > infoframeTextMax(kind)) {
        return std::nullopt;
    }
    std::string working(typed);
    for (char &c : working) {
        c = asciiUpper(c);
    }
    working.push_back('\r');
    return working;
}

std::uint8_t infoframePairToByte(char first, char second) {
    return static_cast<std::uint8_t>(16 * digitValue(first) + digitValue(second));
}

std::vector<std::uint8_t> parseInfoframeText(std::string_view working) {
    std::vector<std::uint8_t> bytes;
    std::optional<std::ptrdiff_t> lastColon;
    const auto size = static_cast<std::ptrdiff_t>(working.size());
    for (std::ptrdiff_t i = 0; i < size; ++i) {
        if (working[static_cast<std::size_t>(i)] != ':') {
            continue;
        }
        bytes.push_back(pairAt(working, i - 2));
        lastColon = i;
        // Leave room for the byte after the last colon.
        if (bytes.size() + 1 >= kInfoframeParseMax || i + 3 >= size ||
            working[static_cast<std::size_t>(i + 3)] != ':') {
            break;
        }
    }
    bytes.push_back(lastColon ? pairAt(working, *lastColon + 1) : pairAt(working, 1));
    return bytes;
}

std::uint8_t hdrChecksum(std::span<const std::uint8_t> bytes) {
    const std::uint8_t length = byteAt(bytes, 2);
    unsigned sum = 0x88u + length;
    // Only bytes that exist can add to the sum; the others count as 0.
    const std::size_t end = std::min<std::size_t>(bytes.size(), 4u + length);
    for (std::size_t i = 4; i < end; ++i) {
        sum += bytes[i];
    }
    return static_cast<std::uint8_t>(0x100u - (sum & 0xFFu));
}

void applyHdrChecksum(std::vector<std::uint8_t> &bytes) {
    if (bytes.size() > 3) {
        bytes[3] = hdrChecksum(bytes);
    }
}

Frame infoframeDataFrame(InfoframeKind kind, std::span<const std::uint8_t> bytes) {
    bytes = bytes.first(std::min(bytes.size(), kInfoframeParseMax));
    return frameWith({kDirWrite, static_cast<std::uint8_t>(bytes.size()),
                      kind == InfoframeKind::Hdr ? cmd::HdrInfoframe : cmd::AviInfoframe},
                     bytes);
}

Frame infoframeActivationFrame(InfoframeKind kind, std::size_t n) {
    return {kDirWrite, static_cast<std::uint8_t>(n), cmd::InfoframeActivate,
            kind == InfoframeKind::Hdr ? kActivateHdr : kActivateAvi};
}

std::string storedInfoframeText(std::span<const std::uint8_t> reply) {
    if (reply.size() < 3) {
        return {};
    }
    const std::span<const std::uint8_t> frame = reply.subspan(2);
    const std::size_t wanted = std::size_t{byteAt(reply, 4)} + 4;
    const std::size_t count = std::min(wanted, frame.size());
    std::string text;
    text.reserve(3 * count);
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) {
            text.push_back(':');
        }
        text.push_back(kLowerHex[frame[i] >> 4]);
        text.push_back(kLowerHex[frame[i] & 0x0F]);
    }
    return text;
}

}  // namespace brimel
