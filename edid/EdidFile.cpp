// EDID file forms: the binary file, the binary/text decision and the line-end rule.
#include "edid/EdidFile.h"

#include <algorithm>

namespace brimel {

std::vector<std::uint8_t> edidFileBytes(const EdidImage &image) {
    return {image.begin(), image.end()};
}

bool isBinaryEdidFile(std::span<const std::uint8_t> content) {
    return content.empty() || content[0] == 0x00;
}

EdidImage edidImageFromFile(std::span<const std::uint8_t> content) {
    EdidImage image{};
    const std::size_t n = std::min(content.size(), image.size());
    std::copy_n(content.begin(), n, image.begin());
    return image;
}

std::string edidTextFromFile(std::span<const std::uint8_t> content) {
    content = content.first(std::min(content.size(), kEdidFileReadMax));
    // Bytes past the content never match a line end; the text stops at a NUL.
    auto at = [&](std::size_t i) -> std::uint8_t { return i < content.size() ? content[i] : 0; };
    std::string out;
    out.reserve(content.size());
    std::size_t column = 0;
    std::size_t p = 0;
    while (p < content.size() && content[p] != 0x00) {
        ++column;
        if (column == kEdidFileLineLength && at(p) == ' ' && at(p + 1) == '\r' &&
            at(p + 2) == '\n') {
            out.push_back('\n');
            column = 0;
            p += 3;
        } else if (column == kEdidFileLineLength && at(p) == ' ' && at(p + 1) == '\n') {
            out.push_back('\n');
            column = 0;
            p += 2;
        } else {
            out.push_back(static_cast<char>(content[p]));
            ++p;
        }
    }
    return out;
}

EdidFileContent decodeEdidFile(std::span<const std::uint8_t> content) {
    EdidFileContent result;
    result.binary = isBinaryEdidFile(content);
    if (result.binary) {
        result.image = edidImageFromFile(content);
    } else {
        result.text = edidTextFromFile(content);
    }
    return result;
}

}  // namespace brimel
