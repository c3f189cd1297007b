#!/usr/bin/env python3
"""Composes the built-in EDID tables from items.toml and writes their C++ source.

Usage:
  edidgen.py                 write edid/BuiltinEdids.h and edid/BuiltinEdids.cpp
  edidgen.py --check         exit 1 (and show a diff) when the checked-in source differs
  edidgen.py --bin-dir DIR   also write each image as DIR/itemNN.bin

Each image is a VESA E-EDID 1.3 base block and one CTA-861 extension block (revision 3).
"""

import argparse
import difflib
import pathlib
import sys
import textwrap
import tomllib

HERE = pathlib.Path(__file__).resolve().parent
ROOT = HERE.parent.parent
DESCRIPTION = HERE / "items.toml"
HEADER_PATH = pathlib.Path("edid/BuiltinEdids.h")
SOURCE_PATH = pathlib.Path("edid/BuiltinEdids.cpp")

FIRST_ITEM = 2
LAST_ITEM = 25
BLOCK = 128


class DescriptionError(Exception):
    pass


def require(cond, what):
    if not cond:
        raise DescriptionError(what)


def byte(value, what):
    require(isinstance(value, int) and 0 <= value <= 0xFF, f"{what}: {value!r} is not a byte")
    return value


def checksum(block):
    return (-sum(block[:127])) & 0xFF


# --- Base block -------------------------------------------------------------------------------


def manufacturer_id(letters):
    require(len(letters) == 3 and all("A" <= c <= "Z" for c in letters),
            f"manufacturer {letters!r} must be three capital letters")
    code = 0
    for c in letters:
        code = (code << 5) | (ord(c) - ord("A") + 1)
    return [code >> 8, code & 0xFF]


def detailed_timing(t, name):
    """18-byte detailed timing descriptor (E-EDID 1.3, section 3.10.2)."""
    hact, hfp, hsync, hbp = t["h"]
    vact, vfp, vsync, vbp = t["v"]
    hblank = hfp + hsync + hbp
    vblank = vfp + vsync + vbp
    clock = t["clock_khz"]
    require(clock % 10 == 0 and 0 < clock // 10 <= 0xFFFF, f"{name}: pixel clock")
    require(hact < 4096 and hblank < 4096 and vact < 4096 and vblank < 4096, f"{name}: size")
    require(hfp < 1024 and hsync < 1024 and vfp < 64 and vsync < 64, f"{name}: sync")
    width_mm, height_mm = t.get("image_mm", [0, 0])
    sync = t["sync"]
    require(sync in ("+h+v", "+h-v", "-h+v", "-h-v"), f"{name}: sync {sync!r}")
    flags = 0x18  # digital separate sync
    if t.get("interlaced", False):
        flags |= 0x80
    if sync[0] == "+":
        flags |= 0x02  # positive horizontal sync
    if sync[2] == "+":
        flags |= 0x04  # positive vertical sync
    pclk = clock // 10
    return [
        pclk & 0xFF, pclk >> 8,
        hact & 0xFF, hblank & 0xFF, ((hact >> 8) << 4) | (hblank >> 8),
        vact & 0xFF, vblank & 0xFF, ((vact >> 8) << 4) | (vblank >> 8),
        hfp & 0xFF, hsync & 0xFF, ((vfp & 0x0F) << 4) | (vsync & 0x0F),
        ((hfp >> 8) << 6) | ((hsync >> 8) << 4) | ((vfp >> 4) << 2) | (vsync >> 4),
        width_mm & 0xFF, height_mm & 0xFF, ((width_mm >> 8) << 4) | (height_mm >> 8),
        0, 0,
        flags,
    ]


def range_limits(r):
    """Monitor range limits descriptor (tag 0xFD), no secondary GTF curve."""
    clock = r["max_clock_mhz"]
    require(clock % 10 == 0, "range limits: clock must be a multiple of 10 MHz")
    return [0, 0, 0, 0xFD, 0,
            byte(r["v_min_hz"], "v min"), byte(r["v_max_hz"], "v max"),
            byte(r["h_min_khz"], "h min"), byte(r["h_max_khz"], "h max"),
            byte(clock // 10, "max clock"),
            0x00, 0x0A] + [0x20] * 6


def monitor_name(name):
    """Monitor name descriptor (tag 0xFC): up to 13 characters, a line feed, blank padding."""
    require(len(name) <= 12 and name.isascii(), f"monitor name {name!r}")
    text = list(name.encode("ascii")) + [0x0A]
    return [0, 0, 0, 0xFC, 0] + text + [0x20] * (13 - len(text))


def base_block(desc, profile, preferred):
    timings = desc["timing"]
    b = [0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00]
    b += manufacturer_id(desc["manufacturer"])
    product = desc["product_code"]
    b += [product & 0xFF, product >> 8]
    serial = desc["serial_number"]
    b += [(serial >> (8 * i)) & 0xFF for i in range(4)]
    b += [byte(profile["week"], "week"), byte(desc["year_byte"], "year")]
    b += [1, 3]  # E-EDID 1.3
    b += [byte(profile["video_input"], "video input")]
    b += [byte(v, "screen size") for v in profile["screen_size_cm"]]
    b += [byte(profile["gamma"], "gamma"), byte(profile["features"], "features")]
    require(len(profile["chromaticity"]) == 10, "chromaticity needs 10 bytes")
    b += [byte(v, "chromaticity") for v in profile["chromaticity"]]
    require(len(profile["established_timings"]) == 3, "established timings need 3 bytes")
    b += [byte(v, "established timings") for v in profile["established_timings"]]
    require(len(profile["standard_timings"]) == 16, "standard timings need 16 bytes")
    b += [byte(v, "standard timings") for v in profile["standard_timings"]]
    b += detailed_timing(timings[preferred], preferred)
    b += detailed_timing(timings[profile["second_timing"]], profile["second_timing"])
    b += range_limits(profile["range_limits"])
    b += monitor_name(profile["monitor_name"])
    b += [1]  # one extension block
    assert len(b) == 127
    return b + [checksum(b + [0])]


# --- CTA-861 extension block ------------------------------------------------------------------

# Data block tag codes and extended tag codes (CTA-861 tables 54 and 55).
TAG_AUDIO, TAG_VIDEO, TAG_VENDOR, TAG_SPEAKER, TAG_EXTENDED = 1, 2, 3, 4, 7
EXT_VIDEO_CAPABILITY, EXT_COLORIMETRY, EXT_HDR_STATIC = 0, 5, 6
EXT_Y420_VIDEO, EXT_Y420_CAPABILITY_MAP = 14, 15
OUI_HDMI = [0x03, 0x0C, 0x00]  # 00-0C-03, least significant byte first
OUI_HDMI_FORUM = [0xD8, 0x5D, 0xC4]  # C4-5D-D8

AUDIO_FORMATS = {"LPCM": 1, "AC-3": 2, "DTS": 7, "DSD": 9, "E-AC-3": 10, "DTS-HD": 11, "MAT": 12}
SAMPLE_RATES_KHZ = [32, 44.1, 48, 88.2, 96, 176.4, 192]
SAMPLE_SIZES_BITS = [16, 20, 24]


def data_block(tag, payload):
    require(len(payload) <= 31, f"data block tag {tag} too long")
    return [(tag << 5) | len(payload)] + payload


def extended_block(ext_tag, payload):
    return data_block(TAG_EXTENDED, [ext_tag] + payload)


def bits(values, table, what):
    mask = 0
    for v in values:
        require(v in table, f"{what}: {v!r}")
        mask |= 1 << table.index(v)
    return mask


def short_audio_descriptor(d):
    fmt = d["format"]
    require(fmt in AUDIO_FORMATS, f"audio format {fmt!r}")
    channels = d["channels"]
    require(1 <= channels <= 8, f"{fmt}: channels")
    first = (AUDIO_FORMATS[fmt] << 3) | (channels - 1)
    rates = bits(d["rates_khz"], SAMPLE_RATES_KHZ, f"{fmt} sample rate")
    if fmt == "LPCM":
        third = bits(d["sizes_bits"], SAMPLE_SIZES_BITS, "LPCM sample size")
    elif fmt in ("AC-3", "DTS"):
        require(d["max_kbps"] % 8 == 0, f"{fmt}: bit rate must be a multiple of 8 kbit/s")
        third = byte(d["max_kbps"] // 8, f"{fmt} bit rate")
    else:
        third = byte(d["dependent"], f"{fmt} format-dependent byte")
    return [first, rates, third]


def svd(code):
    native = code.endswith("N")
    vic = int(code.rstrip("N"))
    require(1 <= vic <= 127, f"VIC {code}")
    if native:
        require(vic <= 64, f"VIC {vic} cannot be marked native")
        return 0x80 | vic
    return vic


def physical_address(text):
    parts = [int(p) for p in text.split(".")]
    require(len(parts) == 4 and all(0 <= p <= 15 for p in parts), "physical address")
    return [(parts[0] << 4) | parts[1], (parts[2] << 4) | parts[3]]


def tmds_byte(mhz, what):
    require(mhz % 5 == 0, f"{what}: TMDS clock must be a multiple of 5 MHz")
    return byte(mhz // 5, what)


def extension_block(desc, item):
    timings = desc["timing"]
    audio = desc["audio"][item["audio"]]
    blocks = []
    blocks += data_block(TAG_VIDEO, [svd(v) for v in desc["vics"][item["vics"]]])
    blocks += data_block(TAG_AUDIO, sum((short_audio_descriptor(d) for d in audio["descriptors"]), []))
    blocks += data_block(TAG_SPEAKER, [byte(audio["speaker_allocation"], "speakers"), 0, 0])
    hdmi = item["hdmi"]
    blocks += data_block(TAG_VENDOR, OUI_HDMI + physical_address(desc["physical_address"]) +
                         [byte(hdmi["deep_color"], "deep colour"),
                          tmds_byte(hdmi["max_tmds_mhz"], "HDMI max TMDS")])
    if "hf" in item:
        hf = item["hf"]
        flags = 0x80 if hf.get("scdc", False) else 0x00
        dc420 = bits(hf.get("dc_420_bits", []), [30, 36, 48], "4:2:0 deep colour")
        blocks += data_block(TAG_VENDOR, OUI_HDMI_FORUM +
                             [1, tmds_byte(hf["max_tmds_mhz"], "HF max TMDS"), flags, dc420])
    if "video_cap" in item:
        blocks += extended_block(EXT_VIDEO_CAPABILITY, [byte(item["video_cap"], "video cap")])
    if "colorimetry" in item:
        blocks += extended_block(EXT_COLORIMETRY, [byte(item["colorimetry"], "colorimetry"), 0])
    if "hdr_eotf" in item:
        # EOTF bits, then static metadata descriptor type 1.
        blocks += extended_block(EXT_HDR_STATIC, [byte(item["hdr_eotf"], "EOTF"), 0x01])
    if "y420_vics" in item:
        blocks += extended_block(EXT_Y420_VIDEO, [svd(str(v)) for v in item["y420_vics"]])
    if "y420_map" in item:
        blocks += extended_block(EXT_Y420_CAPABILITY_MAP, [byte(item["y420_map"], "4:2:0 map")])
    dtd_offset = 4 + len(blocks)
    e = [0x02, 0x03, dtd_offset, byte(item["cta_byte3"], "CTA byte 3")] + blocks
    for name in item["ext_timings"]:
        e += detailed_timing(timings[name], name)
    require(len(e) <= 127, f"item {item['number']}: extension block overflows by {len(e) - 127}")
    e += [0] * (127 - len(e))
    return e + [checksum(e + [0])]


def compose(desc, item):
    image = base_block(desc, desc["base"][item["base"]], item["preferred"])
    image += extension_block(desc, item)
    assert len(image) == 2 * BLOCK
    return bytes(image)


def summary(desc, item):
    """One-line description of an item's features for the generated source."""
    parts = [f"DTD {item['preferred']}", f"VICs {item['vics']}",
             f"HDMI {item['hdmi']['max_tmds_mhz']} MHz"]
    parts.append(f"HF {item['hf']['max_tmds_mhz']} MHz" if "hf" in item else "no HF block")
    if "y420_map" in item:
        parts.append(f"4:2:0 map 0x{item['y420_map']:02X}")
    if "y420_vics" in item:
        parts.append("4:2:0 VICs " + " ".join(str(v) for v in item["y420_vics"]))
    if "hdr_eotf" in item:
        parts.append(f"HDR EOTF 0x{item['hdr_eotf']:02X}")
    parts.append(f"{item['audio']} audio")
    return ", ".join(parts)


# --- C++ source -------------------------------------------------------------------------------

GENERATED = "// Generated by tools/edidgen/edidgen.py from tools/edidgen/items.toml; do not edit."

HEADER = f"""\
// Built-in EDID tables of the table list, items 2 to 25: lookup of image and text by item number.
{GENERATED}
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace brimel {{

// Items of the EDID table list are counted from 1 (combo index + 1). Item 1 is the user's own
// EDID and has no built-in table.
inline constexpr int kFirstBuiltinEdidItem = {FIRST_ITEM};
inline constexpr int kLastBuiltinEdidItem = {LAST_ITEM};
inline constexpr std::size_t kBuiltinEdidSize = 256;

using BuiltinEdid = std::span<const std::uint8_t, kBuiltinEdidSize>;

// The constant 256-byte image of `item` (2 to 25); no table for any other number.
std::optional<BuiltinEdid> builtinEdid(int item);

// The text of `item` (2 to 25) in the table list, e.g. "2 - 4k60-444 600MHz HDR BT.2020 All
// Sound"; no text for any other number.
std::optional<std::string_view> builtinEdidName(int item);

}}  // namespace brimel
"""


def render_source(desc, images):
    out = ["// Built-in EDID tables of the table list, items 2 to 25: the 256-byte images and texts.",
           GENERATED,
           '#include "edid/BuiltinEdids.h"',
           "",
           "#include <array>",
           "",
           "namespace brimel {",
           "namespace {",
           "",
           "using Image = std::array<std::uint8_t, kBuiltinEdidSize>;",
           "",
           "// clang-format off"]
    names = []
    for item, image in zip(desc["item"], images):
        name = f"kItem{item['number']:02d}"
        names.append(name)
        out.append(f"// {item['text']}")
        out += ["// " + line for line in textwrap.wrap(summary(desc, item), 97)]
        out.append(f"constexpr Image {name} = {{{{")
        for row in range(0, len(image), 16):
            out.append("    " + " ".join(f"0x{b:02X}," for b in image[row:row + 16]))
        out += ["}};", ""]
    out.append(f"constexpr std::array<const Image *, {len(names)}> kTables = {{")
    for row in range(0, len(names), 6):
        out.append("    " + " ".join(f"&{n}," for n in names[row:row + 6]))
    out.append("};")
    out.append("")
    out.append(f"constexpr std::array<std::string_view, {len(names)}> kNames = {{")
    for item in desc["item"]:
        require('"' not in item["text"] and "\\" not in item["text"],
                f"item {item['number']}: text must not hold quotes or backslashes")
        out.append(f'    "{item["text"]}",')
    out += ["};",
            "// clang-format on",
            "",
            "}  // namespace",
            "",
            "std::optional<BuiltinEdid> builtinEdid(int item) {",
            "    if (item < kFirstBuiltinEdidItem || item > kLastBuiltinEdidItem) {",
            "        return std::nullopt;",
            "    }",
            "    return BuiltinEdid(*kTables[static_cast<std::size_t>(item - kFirstBuiltinEdidItem)]);",
            "}",
            "",
            "std::optional<std::string_view> builtinEdidName(int item) {",
            "    if (item < kFirstBuiltinEdidItem || item > kLastBuiltinEdidItem) {",
            "        return std::nullopt;",
            "    }",
            "    return kNames[static_cast<std::size_t>(item - kFirstBuiltinEdidItem)];",
            "}",
            "",
            "}  // namespace brimel",
            ""]
    return "\n".join(out)


ITEM_KEYS = {"number", "text", "base", "preferred", "cta_byte3", "vics", "audio", "hdmi", "hf",
             "y420_map", "y420_vics", "hdr_eotf", "colorimetry", "video_cap", "ext_timings"}


def load_description(path):
    with open(path, "rb") as f:
        desc = tomllib.load(f)
    numbers = [item["number"] for item in desc["item"]]
    require(numbers == list(range(FIRST_ITEM, LAST_ITEM + 1)),
            f"items must be numbered {FIRST_ITEM} to {LAST_ITEM} in order, got {numbers}")
    for item in desc["item"]:
        require(item["text"].startswith(f"{item['number']} - "), f"item {item['number']}: text")
        unknown = set(item) - ITEM_KEYS
        require(not unknown, f"item {item['number']}: unknown fields {sorted(unknown)}")
    return desc


def generate(description=DESCRIPTION):
    desc = load_description(description)
    images = [compose(desc, item) for item in desc["item"]]
    files = {HEADER_PATH: HEADER, SOURCE_PATH: render_source(desc, images)}
    return images, files


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--check", action="store_true",
                        help="compare with the checked-in source instead of writing it")
    parser.add_argument("--root", type=pathlib.Path, default=ROOT,
                        help="source tree to write to or check (default: this checkout)")
    parser.add_argument("--bin-dir", type=pathlib.Path, help="also write itemNN.bin files here")
    args = parser.parse_args(argv)

    try:
        images, files = generate()
    except (DescriptionError, KeyError) as e:
        print(f"edidgen: {DESCRIPTION}: {e}", file=sys.stderr)
        return 2

    if args.bin_dir:
        args.bin_dir.mkdir(parents=True, exist_ok=True)
        for number, image in enumerate(images, FIRST_ITEM):
            (args.bin_dir / f"item{number:02d}.bin").write_bytes(image)

    stale = False
    for rel, text in files.items():
        path = args.root / rel
        if args.check:
            current = path.read_text() if path.exists() else ""
            if current != text:
                stale = True
                sys.stdout.writelines(difflib.unified_diff(
                    current.splitlines(keepends=True), text.splitlines(keepends=True),
                    f"{rel} (checked in)", f"{rel} (generated)"))
        else:
            path.write_text(text)
    if stale:
        print("edidgen: the checked-in tables are out of date; run tools/edidgen/edidgen.py",
              file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
