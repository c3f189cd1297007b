// status and watch: the signal the Brimel receives and sends, once or as it changes.
#include <CLI/CLI.hpp>
#include <chrono>
#include <ctime>
#include <iomanip>
#include <ostream>

#include "cli/Commands.h"
#include "cli/Context.h"
#include "settings/RegisterMap.h"

namespace brimel::cli {

namespace {

Json optional(const std::optional<std::string> &v) {
    return v ? Json(*v) : Json();
}
Json text(const std::string &v) {
    return v.empty() ? Json() : Json(v);
}

struct Reading {
    FirmwareVersion firmware;
    bool shown = false;
    StatusFacts facts;
};

Reading readStatus(Context &ctx) {
    Session &s = ctx.session();
    const SettingsBlock block = ctx.readSettings();
    const auto firmware = s.readFirmwareVersion();
    if (!firmware) ctx.fail(firmware.error(), "reading the firmware version");
    const auto readout = s.readStatus();
    if (!readout) ctx.fail(readout.error(), "reading the signal status");
    if (readout->failedReads > 0)
        throw Failure{kExitIo, "io-error",
                      std::to_string(readout->failedReads) +
                          " of the infoframe and display-name reads failed"};
    Reading r;
    r.firmware = *firmware;
    r.shown = readout->shown;
    if (r.shown) {
        // The matrix makes the output RGB, as the window's status frame shows it.
        const auto entry = *findRegister(reg::MatrixEnable)->readBack;
        r.facts = statusFacts(readout->records(), block.entries[entry] == 1);
    }
    return r;
}

Json statusJson(const Reading &r, bool infoframes) {
    char version[16];
    std::snprintf(version, sizeof version, "%u.%u", unsigned{r.firmware.major},
                  unsigned{r.firmware.minor});
    Json j{{"firmware", version}, {"signal", r.shown}};
    if (!r.shown) {
        j["input"] = nullptr;
        j["output"] = nullptr;
        j["display"] = nullptr;
        return j;
    }
    const StatusFacts &f = r.facts;
    j["input"] = {{"code", f.inputCode},
                  {"format", text(f.inputFormat)},
                  {"3d", optional(f.input3d)},
                  {"colour", text(f.inputColour)},
                  {"pixel_clock_khz", f.inputClockKhz},
                  {"hdcp", optional(f.hdcpIn)},
                  {"deep_colour", optional(f.deepColourIn)},
                  {"hdr", optional(f.hdrInput)},
                  {"source", optional(f.sourceName)}};
    j["output"] = {
        {"code", f.outputCode},
        {"format", text(f.outputFormat)},
        {"scaling", optional(f.scaling)},
        {"colour", text(f.outputColour)},
        {"pixel_clock_khz", f.output422At16BitUnsupported ? Json() : Json(f.outputClockKhz)},
        {"over_limit", f.outputOverLimit},
        {"hdcp", optional(f.hdcpOut)},
        {"deep_colour", optional(f.deepColourOut)},
        {"sink_limited", f.sinkLimited}};
    j["display"] = text(f.displayName);
    if (infoframes) {
        j["infoframes"] = {{"spd", text(f.spd)},          {"hdr", text(f.hdr)},
                           {"hdmi_vsi", text(f.hdmiVsi)}, {"forum_vsi", text(f.forumVsi)},
                           {"audio", text(f.audio)},      {"avi", text(f.avi)}};
    }
    return j;
}

void printRows(std::ostream &out, const std::vector<std::pair<std::string, std::string>> &rows) {
    std::size_t width = 0;
    for (const auto &row : rows) width = std::max(width, row.first.size());
    for (const auto &[key, value] : rows)
        out << std::left << std::setw(static_cast<int>(width + 2)) << (key + ":") << value << '\n';
}

std::string orDash(const std::optional<std::string> &v) {
    return v ? *v : std::string("-");
}

void printStatus(std::ostream &out, const Reading &r, bool infoframes) {
    std::vector<std::pair<std::string, std::string>> rows;
    rows.emplace_back("Firmware",
                      std::to_string(r.firmware.major) + "." + std::to_string(r.firmware.minor));
    if (!r.shown) {
        rows.emplace_back("Signal", "none shown (no source, or the device reports no status)");
        printRows(out, rows);
        return;
    }
    const StatusFacts &f = r.facts;
    std::string input =
        f.inputFormat.empty() ? "code " + std::to_string(f.inputCode) : f.inputFormat;
    if (f.input3d) input += " (3D " + *f.input3d + ")";
    std::string output =
        f.outputFormat.empty() ? "code " + std::to_string(f.outputCode) : f.outputFormat;
    if (f.scaling) output += " [" + *f.scaling + "]";
    std::string outClock = std::to_string(f.outputClockKhz) + " kHz";
    if (f.outputOverLimit) outClock += " [over HDMI2.0 limit]";
    if (f.output422At16BitUnsupported) outClock = "N/A [422 16bit not supported]";
    rows.emplace_back("Input", input);
    rows.emplace_back("Output", output);
    rows.emplace_back("Input colour", f.inputColour);
    rows.emplace_back("Output colour", f.outputColour);
    rows.emplace_back("Input pixel clock", std::to_string(f.inputClockKhz) + " kHz");
    rows.emplace_back("Output pixel clock", outClock);
    rows.emplace_back("Input HDCP", orDash(f.hdcpIn));
    rows.emplace_back("Output HDCP", orDash(f.hdcpOut));
    rows.emplace_back("Input deep colour", orDash(f.deepColourIn));
    rows.emplace_back("Output deep colour", orDash(f.deepColourOut));
    rows.emplace_back("HDR input", f.hdrInput ? *f.hdrInput : std::string("not active"));
    rows.emplace_back("Sink EDID limited", f.sinkLimited ? "yes" : "no");
    rows.emplace_back("Source", f.sourceName ? *f.sourceName : std::string("no info received"));
    rows.emplace_back("Display", f.displayName);
    if (infoframes) {
        rows.emplace_back("SPD infoframe", f.spd);
        rows.emplace_back("HDR infoframe", f.hdr);
        rows.emplace_back("HDMI VSI", f.hdmiVsi);
        rows.emplace_back("Forum VSI", f.forumVsi);
        rows.emplace_back("Audio infoframe", f.audio);
        rows.emplace_back("AVI infoframe", f.avi);
    }
    printRows(out, rows);
}

// One line for a change seen by watch.
std::string summary(const Reading &r) {
    if (!r.shown) return "no signal shown";
    const StatusFacts &f = r.facts;
    std::string s = (f.inputFormat.empty() ? "?" : f.inputFormat) + " " + f.inputColour + " -> " +
                    (f.outputFormat.empty() ? "?" : f.outputFormat) + " " + f.outputColour;
    if (f.hdrInput && *f.hdrInput != "not active") s += ", HDR " + *f.hdrInput;
    if (f.outputOverLimit) s += ", output over the HDMI 2.0 limit";
    if (!f.displayName.empty()) s += ", display " + f.displayName;
    return s;
}

std::string clockTime() {
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm local{};
    localtime_r(&now, &local);
    char text[16];
    std::strftime(text, sizeof text, "%H:%M:%S", &local);
    return text;
}

}  // namespace

void addStatusCommands(CLI::App &app, Context &ctx, Action &action) {
    auto *status = app.add_subcommand(
        "status",
        "The live signal status: formats, colour spaces, pixel clocks, HDCP, deep "
        "colour, HDR, source and display names, firmware version");
    auto infoframes = std::make_shared<bool>(false);
    status->add_flag("--infoframes", *infoframes, "Also the six infoframes the source sends");
    status->callback([&ctx, &action, infoframes] {
        action = [&ctx, infoframes] {
            const Reading r = readStatus(ctx);
            if (ctx.json()) {
                Json j{{"device",
                        {{"port", ctx.device().device.portPath},
                         {"serial", ctx.device().device.serial}}}};
                j.update(statusJson(r, *infoframes));
                ctx.emit(j);
            } else {
                printStatus(ctx.out(), r, *infoframes);
            }
        };
    });

    auto *watch = app.add_subcommand(
        "watch",
        "Poll the status like the window does and print what changed (with --json one "
        "object per line); ends on Ctrl-C or SIGTERM with exit code 0");
    auto interval = std::make_shared<double>(5.0);
    auto count = std::make_shared<int>(0);
    watch->add_option("--interval", *interval, "Seconds between polls (default 5)")
        ->check(CLI::Range(0.1, 86400.0));
    watch->add_option("--count", *count, "Stop after this many polls (default: run until stopped)")
        ->check(CLI::NonNegativeNumber);
    watch->callback([&ctx, &action, interval, count] {
        action = [&ctx, interval, count] {
            std::optional<Json> last;
            for (int polls = 0; *count == 0 || polls < *count; ++polls) {
                if (ctx.interrupted()) return;
                const Reading r = readStatus(ctx);
                Json now = statusJson(r, false);
                if (!last || *last != now) {
                    if (ctx.json())
                        ctx.emit(now);
                    else
                        ctx.out() << clockTime() << "  " << summary(r) << std::endl;
                    last = std::move(now);
                }
                if (*count != 0 && polls + 1 >= *count) break;
                ctx.pause(static_cast<std::uint32_t>(*interval * 1000.0));
            }
        };
    });
}

}  // namespace brimel::cli
