// EDID checksums, and the parser and formatter of the EDID hexadecimal text.
#include "edid/EdidText.h"

namespace brimel {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

// Digit value by the 8-bit rule: no character is rejected.
std::uint8_t digitValue(char c) {
    const auto code = static_cast<std::uint8_t>(c);
    return static_cast<std::uint8_t>(code <= 0x39 ? code - 0x30 : code - 0x37);
}

char asciiUpper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

void appendHex(std::string &out, std::uint8_t byte) {
    out.push_back(kHexDigits[byte >> 4]);
    out.push_back(kHexDigits[byte & 0x0F]);
}

}  // namespace

EdidBlock edidBlock(const EdidImage &image, std::size_t block) {
    return EdidBlock(image.data() + (block == 0 ? 0 : kEdidBlockSize), kEdidBlockSize);
}

std::uint8_t EdidChkSum(EdidBlock block) {
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i + 1 < kEdidBlockSize; ++i) {
        sum = static_cast<std::uint8_t>(sum + block[i]);
    }
    return static_cast<std::uint8_t>(0 - sum);
}

EdidChecksums edidChecksums(const EdidImage &image) {
    return {EdidChkSum(edidBlock(image, 0)), EdidChkSum(edidBlock(image, 1))};
}

bool edidChecksumsOk(const EdidImage &image) {
    const EdidChecksums c = edidChecksums(image);
    return c.block0 == image[kEdidChecksum0] && c.block1 == image[kEdidChecksum1];
}

void repairEdidChecksums(EdidImage &image) {
    const EdidChecksums c = edidChecksums(image);
    image[kEdidChecksum0] = c.block0;
    image[kEdidChecksum1] = c.block1;
}

int HexPairToByte(std::string_view step, std::uint8_t &out) {
    if (step.size() < 2) {
        return 1;
    }
    if (step.size() >= 3) {
        const char sep = step[2];
        if (sep != '\0' && sep != ' ' && sep != '\n') {
            return 1;
        }
    }
    const auto high = static_cast<std::uint8_t>(digitValue(step[0]) << 4);
    out = static_cast<std::uint8_t>(high + digitValue(step[1]));
    return 0;
}

int EdidTextToBytes(std::string_view text, EdidImage &image) {
    image.fill(0);
    text = text.substr(0, text.find('\0'));
    if (text.size() > kEdidTextMax) {
        return -1;
    }
    std::string upper(text);
    for (char &c : upper) {
        c = asciiUpper(c);
    }
    const std::string_view all(upper);
    std::size_t count = 0;
    for (std::size_t p = 0; p < all.size(); p += 3) {
        if (count == image.size()) {
            return -1;  // a value beyond the 256th
        }
        if (HexPairToByte(all.substr(p, 3), image[count]) != 0) {
            return -1;
        }
        ++count;
    }
    return static_cast<int>(count);
}

std::string edidChunkText(std::span<const std::uint8_t> bytes) {
    std::string out;
    out.reserve(3 * bytes.size());
    for (std::uint8_t b : bytes) {
        appendHex(out, b);
        out.push_back(' ');
    }
    if (!out.empty()) {
        out.back() = '\n';
    }
    return out;
}

std::string EdidBytesToText(const EdidImage &image) {
    std::string out;
    out.reserve(kEdidTextSize);
    const std::span<const std::uint8_t> all(image);
    for (std::size_t line = 0; line < kEdidSize / kEdidValuesPerLine; ++line) {
        out += edidChunkText(all.subspan(line * kEdidValuesPerLine, kEdidValuesPerLine));
    }
    return out;
}

}  // namespace brimel
