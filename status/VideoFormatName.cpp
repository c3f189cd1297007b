// The table of video format names, indexed by CTA-861 video identification code.
#include "status/VideoFormatName.h"

#include <algorithm>
#include <array>

namespace brimel {

namespace {

// Codes 65 to 80, 91 and 92 carry the formats CTA-861 defines for them. Like the
// 64:27 forms of 3840x2160 (103 to 107), the 64:27 forms of 1280x720 and 1920x1080
// (65 to 78) read as their 16:9 counterparts.
constexpr std::array<VideoFormatRow, kVideoFormatCount + 1> kTable{{
    {"bypass", "", 0},
    {"dmt0660", "640x480p60", 1},
    {"", "720x480p60", 2},
    {"", "720x480p60w", 3},
    {"", "1280x720p60", 4},
    {"", "1920x1080i60", 5},
    {"", "720x480i60", 6},
    {"", "720x480i60w", 7},
    {"", "720x240p60n", 8},
    {"", "720x240p60w", 9},
    {"", "2880x480i60n", 10},
    {"", "2880x480i60w", 11},
    {"", "2880x240p60n", 12},
    {"", "2880x240p60w", 13},
    {"", "1440x480p60n", 14},
    {"", "1440x480p60w", 15},
    {"", "1920x1080p60", 16},
    {"", "720x576p50", 17},
    {"", "720x576p50w", 18},
    {"", "1280x720p50", 19},
    {"", "1920x1080i50", 20},
    {"", "720x576i50", 21},
    {"", "720x576i50w", 22},
    {"", "720x288p50n", 23},
    {"", "720x288p50w", 24},
    {"", "2880x576i50n", 25},
    {"", "2880x576i50w", 26},
    {"", "2880x288p50n", 27},
    {"", "2880x288p50w", 28},
    {"", "1440x576p50n", 29},
    {"", "1440x576p50w", 30},
    {"", "1920x1080p50", 31},
    {"", "1920x1080p24", 32},
    {"", "1920x1080p25", 33},
    {"", "1920x1080p30", 34},
    {"", "2880x480p60n", 35},
    {"", "2880x480p60w", 36},
    {"", "2880x576p50n", 37},
    {"", "2880x576p50w", 38},
    {"", "1920x1080i50", 39},
    {"", "1920x1080i100", 40},
    {"", "1280x720p100", 41},
    {"", "720x576p100n", 42},
    {"", "720x576p100w", 43},
    {"", "720x576i100n", 44},
    {"", "720x576i100w", 45},
    {"", "1920x1080i120", 46},
    {"", "1280x720p120", 47},
    {"", "720x480p120n", 48},
    {"", "720x480p120w", 49},
    {"", "720x480i120n", 50},
    {"", "720x480i120w", 51},
    {"", "720x576p200n", 52},
    {"", "720x576p200w", 53},
    {"", "720x576i200n", 54},
    {"", "720x576i200w", 55},
    {"", "720x480p240n", 56},
    {"", "720x480p240w", 57},
    {"", "720x480i240n", 58},
    {"", "720x480i240w", 59},
    {"", "1280x720p24", 60},
    {"", "1280x720p25", 61},
    {"", "1280x720p30", 62},
    {"", "1920x1080p120", 63},
    {"", "1920x1080p100", 64},
    {"", "1280x720p24", 65},
    {"", "1280x720p25", 66},
    {"", "1280x720p30", 67},
    {"", "1280x720p50", 68},
    {"", "1280x720p60", 69},
    {"", "1280x720p100", 70},
    {"", "1280x720p120", 71},
    {"", "1920x1080p24", 72},
    {"", "1920x1080p25", 73},
    {"", "1920x1080p30", 74},
    {"", "1920x1080p50", 75},
    {"", "1920x1080p60", 76},
    {"", "1920x1080p100", 77},
    {"", "1920x1080p120", 78},
    {"", "1680x720p24", 79},
    {"", "1680x720p25", 80},
    {"", "1680x720p30", 81},
    {"", "1680x720p50", 82},
    {"", "1680x720p60", 83},
    {"", "1680x720p100", 84},
    {"", "1680x720p120", 85},
    {"", "2560x1080p24", 86},
    {"", "2560x1080p25", 87},
    {"", "2560x1080p30", 88},
    {"", "2560x1080p50", 89},
    {"", "2560x1080p60", 90},
    {"", "2560x1080p100", 91},
    {"", "2560x1080p120", 92},
    {"4kx2k24", "3840x2160p24", 93},
    {"", "3840x2160p25", 94},
    {"", "3840x2160p30", 95},
    {"", "3840x2160p50", 96},
    {"", "3840x2160p60", 97},
    {"4kx2ksmp24", "4096x2160p24", 98},
    {"", "4096x2160p25", 99},
    {"", "4096x2160p30", 100},
    {"", "4096x2160p50", 101},
    {"", "4096x2160p60", 102},
    {"", "3840x2160p24", 103},
    {"", "3840x2160p25", 104},
    {"", "3840x2160p30", 105},
    {"", "3840x2160p50", 106},
    {"", "3840x2160p60", 107},
    {"END", "END", 0},
}};

constexpr bool rowsMatchIndices() {
    for (std::size_t i = 0; i < kVideoFormatCount; ++i) {
        if (kTable[i].code != i) return false;
    }
    return true;
}
static_assert(rowsMatchIndices(), "every row's code equals its index");

// Copies `text` with its terminating zero, truncating to the buffer.
void copyTerminated(std::string_view text, std::span<char> out) {
    if (out.empty()) return;
    const std::size_t n = std::min(text.size(), out.size() - 1);
    std::copy_n(text.data(), n, out.data());
    out[n] = '\0';
}

}  // namespace

std::span<const VideoFormatRow> videoFormatTable() {
    return kTable;
}

std::string_view videoFormatDisplayName(std::uint16_t code) {
    if (code >= kVideoFormatCount) return {};
    return kTable[code].displayName;
}

void VideoFormatName(std::uint16_t code, std::span<char> alias, std::span<char> displayName) {
    if (code >= kVideoFormatCount) {
        copyTerminated({}, alias);
        copyTerminated({}, displayName);
        return;
    }
    copyTerminated(kTable[code].alias, alias);
    copyTerminated(kTable[code].displayName, displayName);
}

}  // namespace brimel
