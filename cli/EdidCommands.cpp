// edid: read the device's or the display's EDID, upload one, pick a built-in table,
// switch the EDID mode.
#include <CLI/CLI.hpp>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <ostream>

#include "cli/Commands.h"
#include "cli/Context.h"
#include "edid/BuiltinEdids.h"
#include "edid/EdidDecode.h"
#include "edid/EdidFile.h"
#include "edid/EdidSummary.h"
#include "edid/EdidText.h"
#include "settings/RegisterMap.h"

namespace brimel::cli {

namespace {

EdidImage tableImage(int item) {
    EdidImage image{};
    if (const auto table = builtinEdid(item))
        std::copy(table->begin(), table->end(), image.begin());
    return image;
}

// The table's name without its number ("4k60-444 600MHz HDR BT.2020 All Sound").
std::string tableName(int item) {
    const std::string_view text = kEdidTableTexts[static_cast<std::size_t>(item - 1)];
    const auto dash = text.find(" - ");
    return std::string(dash == std::string_view::npos ? text : text.substr(dash + 3));
}

// An EDID file or standard input, by the window's loading rule: binary when the first
// byte is 0x00, else hexadecimal text; at most 256 bytes of EDID either way.
EdidImage loadEdid(Context &ctx, const std::string &file) {
    std::string content;
    // One byte more than the longest text the window takes tells a too-long input.
    const std::size_t limit = kEdidFileReadMax + 1;
    content.resize(limit);
    std::streamsize got = 0;
    if (file == "-") {
        ctx.env.console.in.read(content.data(), static_cast<std::streamsize>(limit));
        got = ctx.env.console.in.gcount();
    } else {
        std::ifstream in(file, std::ios::binary);
        if (!in) throw Failure{kExitBadInput, "bad-file", "cannot read " + file};
        in.read(content.data(), static_cast<std::streamsize>(limit));
        got = in.gcount();
        if (in.bad()) throw Failure{kExitBadInput, "bad-file", "cannot read " + file};
    }
    content.resize(static_cast<std::size_t>(got));
    const std::string name = file == "-" ? "standard input" : file;
    const std::span<const std::uint8_t> bytes(
        reinterpret_cast<const std::uint8_t *>(content.data()), content.size());
    if (bytes.empty()) throw Failure{kExitBadInput, "bad-file", name + " is empty"};
    if (isBinaryEdidFile(bytes)) {
        if (bytes.size() > kEdidSize)
            throw Failure{
                kExitBadInput, "bad-file",
                name + " holds more than 256 bytes; an EDID image here is two 128-byte blocks"};
        return edidImageFromFile(bytes);
    }
    if (bytes.size() > kEdidFileReadMax)
        throw Failure{kExitBadInput, "bad-file",
                      name + ": Hex Format Error (longer than the 16 x 16 text)"};
    EdidImage image{};
    if (EdidTextToBytes(edidTextFromFile(bytes), image) < 0)
        throw Failure{kExitBadInput, "bad-file", name + ": Hex Format Error"};
    return image;
}

Json opt(const std::optional<int> &v) {
    return v ? Json(*v) : Json();
}
Json opt(const std::optional<std::string> &v) {
    return v ? Json(*v) : Json();
}

Json summaryJson(const EdidSummary &s) {
    Json blocks = Json::array();
    for (const EdidBlockSummary &b : s.blocks)
        blocks.push_back({{"index", b.index}, {"tag", b.tag}, {"checksum_ok", b.checksumOk}});
    Json j{{"header_valid", s.headerValid},
           {"blocks", blocks},
           {"version", s.version && s.revision
                           ? Json(std::to_string(*s.version) + "." + std::to_string(*s.revision))
                           : Json()},
           {"manufacturer", opt(s.manufacturer)},
           {"product_code", opt(s.productCode)},
           {"name", opt(s.monitorName)}};
    if (s.preferredTiming) {
        const EdidDetailedTiming &t = *s.preferredTiming;
        j["preferred_timing"] = {{"width", t.width},
                                 {"height", t.height},
                                 {"interlaced", t.interlaced},
                                 {"refresh_hz", t.refreshHz},
                                 {"pixel_clock_khz", t.pixelClockKhz}};
    } else {
        j["preferred_timing"] = nullptr;
    }
    if (!s.cta) {
        j["cta"] = nullptr;
        return j;
    }
    const CtaSummary &c = *s.cta;
    Json dataBlocks = Json::array();
    for (const CtaDataBlock &b : c.dataBlocks) dataBlocks.push_back(b.name);
    const auto formats = [](const std::vector<VideoFormat> &list) {
        Json out = Json::array();
        for (const VideoFormat &f : list) {
            Json v{{"vic", f.vic}, {"native", f.native}, {"y420_only", f.y420Only}};
            if (f.timing) {
                v["width"] = f.timing->width;
                v["height"] = f.timing->height;
                v["interlaced"] = f.timing->interlaced;
                v["refresh_hz"] = f.timing->refreshHz;
            }
            out.push_back(v);
        }
        return out;
    };
    Json audio = Json::array();
    for (const AudioFormat &a : c.audio)
        audio.push_back({{"format", a.name},
                         {"channels", a.channels},
                         {"sample_rates_hz", a.sampleRatesHz},
                         {"sample_sizes_bits", a.sampleSizesBits}});
    Json hdr = nullptr;
    if (c.hdr) {
        Json eotfs = Json::array();
        if (c.hdr->sdrGamma) eotfs.push_back("traditional gamma SDR");
        if (c.hdr->hdrGamma) eotfs.push_back("traditional gamma HDR");
        if (c.hdr->smpteSt2084) eotfs.push_back("SMPTE ST 2084");
        if (c.hdr->hlg) eotfs.push_back("HLG");
        hdr = {{"eotfs", eotfs}, {"metadata_types", c.hdr->metadataTypes}};
    }
    j["cta"] = {
        {"revision", c.revision},
        {"data_blocks", dataBlocks},
        {"highest_formats", formats(c.highestFormats)},
        {"video_formats", formats(c.videoFormats)},
        {"max_tmds_rate_mhz", opt(c.maxTmdsRateMhz)},
        {"max_tmds_rate_from",
         c.maxTmdsRateSource
             ? Json(*c.maxTmdsRateSource == TmdsRateSource::HfVsdb ? "HF-VSDB" : "HDMI VSDB")
             : Json()},
        {"hdr", hdr},
        {"audio", audio},
        {"speakers", c.speakers},
        {"colorimetry", c.colorimetryNames}};
    return j;
}

Json findingsJson(const std::vector<EdidFinding> &findings) {
    Json out = Json::array();
    for (const EdidFinding &f : findings)
        out.push_back({{"block", f.block}, {"text", f.text}, {"details", f.details}});
    return out;
}

// The image `edid decode` and `edid check` look at.
struct DecodeSource {
    std::string file;
    bool device = false;
    bool display = false;
    int builtin = 0;
};

EdidImage sourceImage(Context &ctx, const DecodeSource &src) {
    const int chosen = (src.file.empty() ? 0 : 1) + (src.device ? 1 : 0) + (src.display ? 1 : 0) +
                       (src.builtin ? 1 : 0);
    if (chosen != 1)
        throw Failure{kExitUsage, "usage",
                      "give one of FILE, '-', --device, --display or --builtin N"};
    if (src.builtin) return tableImage(src.builtin);
    if (!src.file.empty()) return loadEdid(ctx, src.file);
    const auto image = ctx.session().readEdid(
        src.display ? EdidSource::Display : EdidSource::Device, ctx.transferControl("EDID"));
    ctx.endProgress();
    if (!image)
        ctx.fail(image.error(), src.display ? "reading the display's EDID" : "reading the EDID");
    return *image;
}

void addDecodeSource(CLI::App *cmd, DecodeSource &src) {
    cmd->add_option("FILE", src.file,
                    "An EDID file (binary or hex text), or '-' for standard input");
    cmd->add_flag("--device", src.device, "The EDID the Brimel presents");
    cmd->add_flag("--display", src.display, "The connected display's EDID");
    cmd->add_option("--builtin", src.builtin, "Built-in table N (2 to 25)")
        ->check(CLI::Range(kFirstBuiltinEdidItem, kLastBuiltinEdidItem));
}

// The summary from the bytes, the findings and the full text from edid-decode. `check`
// only tells the findings and ends with 1 when there is a failure.
void decode(Context &ctx, const DecodeSource &src, bool check) {
    const EdidImage image = sourceImage(ctx, src);
    const EdidSummary summary = summarizeEdid(edidPresentedBytes(image));
    EdidDecodeOptions options;
    options.program = ctx.env.edidDecodeProgram;
    const EdidDecodeResult result = runEdidDecode(edidPresentedBytes(image), options);
    const std::string problem = edidDecodeProblem(result, options);
    const auto &conformity = result.conformity;
    if (ctx.json()) {
        Json j{{"summary", summaryJson(summary)}};
        j["conformity"] = conformity ? Json{{"passed", conformity->passed},
                                            {"failures", findingsJson(conformity->failures)},
                                            {"warnings", findingsJson(conformity->warnings)},
                                            {"edid_decode", conformity->version}}
                                     : Json();
        if (!check) j["decode"] = result.output;
        if (!problem.empty()) j["problem"] = problem;
        ctx.emit(j);
    } else {
        for (const std::string &line : edidSummaryLines(summary)) ctx.out() << line << '\n';
        if (conformity) {
            ctx.out() << "Conformity: " << (conformity->passed ? "passes" : "fails") << " ("
                      << conformity->failures.size() << " failures, " << conformity->warnings.size()
                      << " warnings)\n";
            if (check) {
                for (const auto &[kind, list] : {std::pair{"failure", &conformity->failures},
                                                 std::pair{"warning", &conformity->warnings}})
                    for (const EdidFinding &f : *list)
                        ctx.out() << "  " << kind << ": " << f.block << ": " << f.text << '\n';
            }
        }
        if (!check && !result.output.empty()) ctx.out() << '\n' << result.output;
    }
    if (!problem.empty()) throw Failure{kExitFailure, "edid-decode", problem};
    if (check && (!conformity || !conformity->passed)) throw Failure{kExitFailure, "", ""};
}

}  // namespace

void addEdidCommands(CLI::App &app, Context &ctx, Action &action) {
    auto *edid = app.add_subcommand("edid", "The EDID the Brimel presents to sources");
    edid->require_subcommand(1);

    struct ReadOptions {
        bool display = false;
        std::string file;
        std::string format;
    };
    auto ro = std::make_shared<ReadOptions>();
    auto *read = edid->add_subcommand(
        "read",
        "Read the device's EDID (or the display's): the 16 x 16 hex text on a terminal, "
        "raw bytes into a file or a pipe");
    read->add_flag("--display", ro->display, "The connected display's EDID");
    read->add_option("-o,--output", ro->file, "Write it to this file");
    read->add_option("--format", ro->format, "bin or hex (default: hex on a terminal, else bin)")
        ->check(CLI::IsMember({"bin", "hex"}));
    read->callback([&ctx, &action, ro] {
        action = [&ctx, ro] {
            const EdidSource source = ro->display ? EdidSource::Display : EdidSource::Device;
            const auto image = ctx.session().readEdid(source, ctx.transferControl("EDID"));
            ctx.endProgress();
            if (!image)
                ctx.fail(image.error(),
                         ro->display ? "reading the display's EDID" : "reading the EDID");
            const std::string format =
                !ro->format.empty() ? ro->format
                                    : (ro->file.empty() && ctx.env.console.outTty ? "hex" : "bin");
            const std::string text = format == "hex" ? EdidBytesToText(*image)
                                                     : std::string(image->begin(), image->end());
            if (!ro->file.empty()) {
                std::ofstream out(ro->file, std::ios::binary | std::ios::trunc);
                out << text;
                out.flush();
                if (!out) throw Failure{kExitFailure, "write-failed", "cannot write " + ro->file};
            }
            if (ctx.json()) {
                ctx.emit({{"source", ro->display ? "display" : "device"},
                          {"checksums_ok", edidChecksumsOk(*image)},
                          {"edid", hexBytes(*image)},
                          {"file", ro->file.empty() ? Json() : Json(ro->file)}});
            } else if (ro->file.empty()) {
                ctx.out() << text;
                ctx.out().flush();
            }
        };
    });

    struct UploadOptions {
        std::string file;
        bool fix = false;
    };
    auto uo = std::make_shared<UploadOptions>();
    auto *upload = edid->add_subcommand(
        "upload",
        "Upload an EDID (binary or hex text, as the window loads files) as table 1 and "
        "select it; wrong checksums are refused unless --fix-checksums");
    upload->add_option("FILE", uo->file, "The EDID file, or '-' for standard input")->required();
    upload->add_flag("--fix-checksums", uo->fix, "Repair wrong checksums instead of refusing");
    upload->callback([&ctx, &action, uo] {
        action = [&ctx, uo] {
            EdidImage image = loadEdid(ctx, uo->file);
            const bool repaired = !edidChecksumsOk(image);
            if (repaired && !uo->fix)
                throw Failure{kExitBadInput, "bad-checksum",
                              "the EDID's checksums are wrong; --fix-checksums repairs them"};
            if (repaired) repairEdidChecksums(image);
            Session &s = ctx.session();
            const auto up =
                s.uploadEdid(EdidUploadKind::User, image, ctx.transferControl("Uploading EDID"));
            ctx.endProgress();
            if (!up && up.error() == SessionError::Cancelled)
                ctx.fail(up.error(),
                         "the upload stopped before its last step; the device keeps its EDID");
            if (!up) ctx.fail(up.error(), "applying the uploaded EDID");
            if (up->failedFrames > 0)
                throw Failure{
                    kExitIo, "io-error",
                    std::to_string(up->failedFrames) + " of 32 EDID frames were not acknowledged"};
            if (const Status w = s.selectEdidTable(1); !w) ctx.fail(w.error(), "selecting table 1");
            const SettingsBlock block = ctx.readSettings();
            const Setting &mode = *findRegister(reg::EdidMode);
            const bool custom =
                block.entries[*mode.readBack] == static_cast<std::uint8_t>(EdidMode::Custom);
            if (ctx.json()) {
                ctx.emit({{"uploaded", true},
                          {"table", 1},
                          {"checksums_repaired", repaired},
                          {"presented", custom}});
                return;
            }
            ctx.out() << "EDID uploaded as table 1" << (repaired ? " (checksums repaired)" : "")
                      << ".\n";
            if (!custom)
                ctx.out()
                    << "The EDID mode is not custom: 'brimelctl edid mode custom' presents it.\n";
        };
    });

    auto item = std::make_shared<int>(0);
    auto *builtin = edid->add_subcommand(
        "builtin", "List the 24 built-in EDID tables, or upload table N and select it");
    builtin->add_option("N", *item, "The table number (2 to 25; 1 selects the uploaded EDID)")
        ->check(CLI::Range(1, kLastBuiltinEdidItem));
    builtin->callback([&ctx, &action, item] {
        action = [&ctx, item] {
            if (*item == 0) {
                if (ctx.json()) {
                    Json list = Json::array();
                    for (int n = 1; n <= kLastBuiltinEdidItem; ++n)
                        list.push_back({{"number", n},
                                        {"name", tableName(n)},
                                        {"builtin", n >= kFirstBuiltinEdidItem}});
                    ctx.emit({{"tables", list}});
                    return;
                }
                for (int n = 1; n <= kLastBuiltinEdidItem; ++n)
                    ctx.out() << std::setw(3) << n << "  " << tableName(n) << '\n';
                return;
            }
            Session &s = ctx.session();
            if (*item >= kFirstBuiltinEdidItem) {
                const auto up =
                    s.uploadEdid(EdidUploadKind::Builtin, tableImage(*item),
                                 ctx.transferControl("EDID table " + std::to_string(*item)));
                ctx.endProgress();
                if (!up)
                    ctx.fail(up.error(), "uploading built-in EDID table " + std::to_string(*item));
                if (up->failedFrames > 0)
                    throw Failure{kExitIo, "io-error",
                                  std::to_string(up->failedFrames) +
                                      " of 32 EDID frames were not acknowledged"};
            }
            if (const Status w = s.selectEdidTable(*item); !w)
                ctx.fail(w.error(), "selecting the table");
            if (ctx.json())
                ctx.emit({{"table", *item}, {"name", tableName(*item)}});
            else
                ctx.out() << "EDID table " << *item << " (" << tableName(*item) << ") selected.\n";
        };
    });

    auto decodeSource = std::make_shared<DecodeSource>();
    auto *decodeCmd = edid->add_subcommand(
        "decode", "What an EDID means: a short summary and edid-decode's full decode");
    addDecodeSource(decodeCmd, *decodeSource);
    decodeCmd->callback([&ctx, &action, decodeSource] {
        action = [&ctx, decodeSource] { decode(ctx, *decodeSource, false); };
    });
    auto checkSource = std::make_shared<DecodeSource>();
    auto *checkCmd = edid->add_subcommand(
        "check", "Check an EDID with edid-decode: exit 0 when it reports no failure, 1 otherwise");
    addDecodeSource(checkCmd, *checkSource);
    checkCmd->callback([&ctx, &action, checkSource] {
        action = [&ctx, checkSource] { decode(ctx, *checkSource, true); };
    });

    auto mode = std::make_shared<std::string>();
    auto *modeCmd = edid->add_subcommand(
        "mode",
        "The EDID mode: sink (the display's EDID), fixed (the device's default) or "
        "custom (the selected table)");
    modeCmd->add_option("MODE", *mode, "sink, fixed or custom")
        ->required()
        ->check(CLI::IsMember({"sink", "fixed", "custom"}));
    modeCmd->callback([&ctx, &action, mode] {
        action = [&ctx, mode] {
            const EdidMode m = *mode == "sink"    ? EdidMode::Sink
                               : *mode == "fixed" ? EdidMode::Fixed
                                                  : EdidMode::Custom;
            if (const Status w = ctx.session().setEdidMode(m); !w)
                ctx.fail(w.error(), "writing the EDID mode");
            if (ctx.json())
                ctx.emit({{"mode", *mode}});
            else
                ctx.out() << "EDID mode " << *mode << ".\n";
        };
    });
}

}  // namespace brimel::cli
