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
#include "edid/EdidFile.h"
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
            if (ctx.json()) {
                ctx.emit({{"source", ro->display ? "display" : "device"},
                          {"checksums_ok", edidChecksumsOk(*image)},
                          {"edid", hexBytes(*image)}});
                return;
            }
            const std::string format =
                !ro->format.empty() ? ro->format
                                    : (ro->file.empty() && ctx.env.console.outTty ? "hex" : "bin");
            const std::string text = format == "hex" ? EdidBytesToText(*image)
                                                     : std::string(image->begin(), image->end());
            if (ro->file.empty()) {
                ctx.out() << text;
                ctx.out().flush();
                return;
            }
            std::ofstream out(ro->file, std::ios::binary | std::ios::trunc);
            out << text;
            out.flush();
            if (!out) throw Failure{kExitFailure, "write-failed", "cannot write " + ro->file};
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
