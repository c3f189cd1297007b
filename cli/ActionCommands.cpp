// infoframe, matrix and reset: the custom infoframes, the 3x3 colour matrix, and the
// device and factory resets.
#include <CLI/CLI.hpp>
#include <cmath>
#include <iomanip>
#include <istream>
#include <ostream>
#include <sstream>

#include "cli/Commands.h"
#include "cli/Context.h"
#include "infoframes/InfoframeText.h"
#include "settings/MatrixCoding.h"
#include "settings/RegisterMap.h"

namespace brimel::cli {

namespace {

constexpr const char *kRowNames[] = {"R", "G", "B"};

std::string numberText(double v) {
    std::ostringstream s;
    s << std::setprecision(6) << v;
    return s.str();
}

void showMatrix(Context &ctx, const MatrixValues &m, bool enabled) {
    if (ctx.json()) {
        Json rows = Json::object();
        for (std::size_t r = 0; r < 3; ++r)
            rows[kRowNames[r]] = {{"offset", m.offsets[r]},
                                  {"y", m.coefficients[r][0]},
                                  {"cb", m.coefficients[r][1]},
                                  {"cr", m.coefficients[r][2]}};
        ctx.emit({{"enabled", enabled}, {"matrix", rows}});
        return;
    }
    ctx.out() << "Matrix " << (enabled ? "on" : "off")
              << "; output = offset + matrix x (Y, Cb, Cr):\n"
              << "     offset         Y        Cb        Cr\n";
    for (std::size_t r = 0; r < 3; ++r) {
        ctx.out() << "  " << kRowNames[r] << std::setw(8) << m.offsets[r];
        for (double c : m.coefficients[r]) ctx.out() << std::setw(10) << numberText(c);
        ctx.out() << '\n';
    }
}

bool matrixEnabled(Context &ctx) {
    return ctx.readSettings().entries[*findRegister(reg::MatrixEnable)->readBack] == 1;
}

void writeMatrix(Context &ctx, const MatrixValues &m) {
    if (const Status w = ctx.session().writeMatrix(encodeMatrix(m)); !w)
        ctx.fail(w.error(), "writing the colour matrix");
    // What the device holds now, as it codes it.
    const auto block = ctx.session().readMatrix();
    if (!block) ctx.fail(block.error(), "reading the colour matrix back");
    if (*block != encodeMatrix(m))
        throw Failure{kExitNotTaken, "not-taken",
                      "the Brimel holds other matrix values than those written"};
    showMatrix(ctx, decodeMatrix(*block), matrixEnabled(ctx));
}

// Asks on the terminal, or wants --yes when standard input is not one.
void confirm(Context &ctx, bool yes, const std::string &question) {
    if (yes) return;
    if (!ctx.env.console.inTty)
        throw Failure{kExitUsage, "usage",
                      "standard input is not a terminal: add --yes to " + question};
    ctx.err() << question << "? [y/N] ";
    ctx.err().flush();
    std::string answer;
    std::getline(ctx.env.console.in, answer);
    if (answer != "y" && answer != "Y" && answer != "yes")
        throw Failure{kExitFailure, "cancelled", "nothing was reset"};
}

}  // namespace

void addActionCommands(CLI::App &app, Context &ctx, Action &action) {
    // --- infoframe ---
    auto *infoframe = app.add_subcommand(
        "infoframe", "Send a custom HDR or AVI infoframe, or show the stored ones");
    infoframe->require_subcommand(1);
    struct SendOptions {
        std::string text;
        bool crc = false;
    };
    for (const auto &[name, kind] :
         {std::pair{"hdr", InfoframeKind::Hdr}, std::pair{"avi", InfoframeKind::Avi}}) {
        auto o = std::make_shared<SendOptions>();
        const bool hdr = kind == InfoframeKind::Hdr;
        auto *send = infoframe->add_subcommand(
            name, hdr ? "Send a custom HDR infoframe (2 to 31 bytes, e.g. 87:01:1a:...)"
                      : "Send a custom AVI infoframe (2 to 17 bytes, e.g. 82:02:0d:...)");
        send->add_option("TEXT", o->text, "Bytes as two hex digits joined by ':'")->required();
        if (hdr)
            send->add_flag("--autofill-crc", o->crc, "Fill in the infoframe checksum (byte 3)");
        send->callback([&ctx, &action, o, kind = kind, hdr] {
            action = [&ctx, o, kind, hdr] {
                const auto working = prepareInfoframeText(o->text, kind);
                const bool hexColons = std::all_of(o->text.begin(), o->text.end(), [](char c) {
                    return std::isxdigit(static_cast<unsigned char>(c)) || c == ':';
                });
                if (!working || !hexColons)
                    throw Failure{kExitUsage, "invalid-value",
                                  hdr ? "Error: min 2, max 31 bytes (hex pairs joined by ':')"
                                      : "Error: min 2, max 17 bytes (hex pairs joined by ':')"};
                std::vector<std::uint8_t> bytes = parseInfoframeText(*working);
                if (o->crc) applyHdrChecksum(bytes);
                if (const Status w = ctx.session().sendInfoframe(kind, bytes); !w)
                    ctx.fail(w.error(),
                             hdr ? "sending the HDR infoframe" : "sending the AVI infoframe");
                std::vector<std::uint8_t> reply{0xE0, 0x00};
                reply.insert(reply.end(), bytes.begin(), bytes.end());
                const std::string sent = storedInfoframeText(reply);
                if (ctx.json())
                    ctx.emit({{"sent", hdr ? "hdr" : "avi"}, {"infoframe", sent}});
                else
                    ctx.out() << (hdr ? "HDR" : "AVI") << " infoframe sent: " << sent << '\n';
            };
        });
    }
    auto *show =
        infoframe->add_subcommand("show", "The custom HDR and AVI infoframes stored in the device");
    show->callback([&ctx, &action] {
        action = [&ctx] {
            Session &s = ctx.session();
            const auto hdr = s.readStoredInfoframe(InfoframeKind::Hdr);
            if (!hdr) ctx.fail(hdr.error(), "reading the stored HDR infoframe");
            const auto avi = s.readStoredInfoframe(InfoframeKind::Avi);
            if (!avi) ctx.fail(avi.error(), "reading the stored AVI infoframe");
            if (ctx.json()) {
                ctx.emit({{"hdr", storedInfoframeText(*hdr)}, {"avi", storedInfoframeText(*avi)}});
                return;
            }
            ctx.out() << "HDR: " << storedInfoframeText(*hdr)
                      << "\nAVI: " << storedInfoframeText(*avi) << '\n';
        };
    });

    // --- matrix ---
    auto *matrix = app.add_subcommand("matrix", "The 3x3 colour matrix with its offsets");
    matrix->require_subcommand(1);
    matrix->add_subcommand("get", "The matrix the device holds, and whether it is on")
        ->callback([&ctx, &action] {
            action = [&ctx] {
                const auto block = ctx.session().readMatrix();
                if (!block) ctx.fail(block.error(), "reading the colour matrix");
                showMatrix(ctx, decodeMatrix(*block), matrixEnabled(ctx));
            };
        });
    auto values = std::make_shared<std::vector<double>>();
    auto *setMatrix = matrix->add_subcommand(
        "set",
        "Write 12 values, row by row R, G, B: offset (0 to 255), then the Y, Cb and Cr "
        "coefficients (-3 to 3)");
    setMatrix->add_option("V", *values, "R offset, R Y, R Cb, R Cr, G offset, ..., B Cr")
        ->required()
        ->expected(12);
    setMatrix->callback([&ctx, &action, values] {
        action = [&ctx, values] {
            MatrixValues m;
            for (std::size_t r = 0; r < 3; ++r) {
                const double offset = (*values)[r * 4];
                if (offset < 0 || offset > 255 || offset != std::floor(offset))
                    throw Failure{kExitUsage, "invalid-value",
                                  "offsets are whole numbers from 0 to 255"};
                m.offsets[r] = offset;
                for (std::size_t c = 0; c < 3; ++c) {
                    const double v = (*values)[r * 4 + 1 + c];
                    if (!(v >= -3.0 && v <= 3.0))
                        throw Failure{kExitUsage, "invalid-value", "coefficients go from -3 to 3"};
                    m.coefficients[r][c] = v;
                }
            }
            writeMatrix(ctx, m);
        };
    });
    matrix->add_subcommand("identity", "Write the identity matrix (offsets 0)")
        ->callback([&ctx, &action] {
            action = [&ctx] {
                MatrixValues m;
                for (std::size_t i = 0; i < 3; ++i) m.coefficients[i][i] = 1.0;
                writeMatrix(ctx, m);
            };
        });
    matrix
        ->add_subcommand(
            "bt709", "Write the BT.709 YCbCr to RGB matrix (the window's \"Reset to 709->RGB\")")
        ->callback([&ctx, &action] { action = [&ctx] { writeMatrix(ctx, standardMatrix()); }; });
    auto onOff = std::make_shared<std::string>();
    auto *enable = matrix->add_subcommand("enable", "Switch the matrix on or off");
    enable->add_option("STATE", *onOff, "on or off")
        ->required()
        ->check(CLI::IsMember({"on", "off"}));
    enable->callback([&ctx, &action, onOff] {
        action = [&ctx, onOff] {
            const bool on = *onOff == "on";
            if (const Status w = ctx.session().enableMatrix(on); !w)
                ctx.fail(w.error(), "switching the matrix");
            if (matrixEnabled(ctx) != on)
                throw Failure{kExitNotTaken, "not-taken",
                              "the Brimel did not switch the matrix " + *onOff};
            if (ctx.json())
                ctx.emit({{"enabled", on}});
            else
                ctx.out() << "Matrix " << *onOff << ".\n";
        };
    });

    // --- reset ---
    auto *reset =
        app.add_subcommand("reset", "Restart the device, or put it back to the factory's settings");
    reset->require_subcommand(1);
    auto yes = std::make_shared<bool>(false);
    auto *device = reset->add_subcommand("device", "Restart the Brimel");
    device->add_flag("-y,--yes", *yes, "Do not ask (needed when standard input is not a terminal)");
    device->callback([&ctx, &action, yes] {
        action = [&ctx, yes] {
            confirm(ctx, *yes, "restart the Brimel");
            if (const Status w = ctx.session().resetDevice(); !w)
                ctx.fail(w.error(), "resetting the device");
            if (ctx.json())
                ctx.emit({{"reset", "device"}});
            else
                ctx.out() << "The Brimel restarts.\n";
        };
    });
    struct FactoryOptions {
        bool settings = false;
        bool edid = false;
        bool yes = false;
    };
    auto fo = std::make_shared<FactoryOptions>();
    auto *factory = reset->add_subcommand(
        "factory", "Put the settings, the EDID or both back to the factory's");
    factory->add_flag("--settings", fo->settings, "All settings");
    factory->add_flag("--edid", fo->edid, "The EDID");
    factory->add_flag("-y,--yes", fo->yes,
                      "Do not ask (needed when standard input is not a terminal)");
    factory->callback([&ctx, &action, fo] {
        action = [&ctx, fo] {
            if (!fo->settings && !fo->edid)
                throw Failure{kExitUsage, "usage", "choose the reset: --settings, --edid or both"};
            const std::string what = fo->settings && fo->edid ? "settings and EDID"
                                     : fo->settings           ? "settings"
                                                              : "EDID";
            confirm(ctx, fo->yes, "reset the Brimel's " + what + " to the factory's");
            if (const Status w = ctx.session().factoryReset(fo->settings, fo->edid); !w)
                ctx.fail(w.error(), "the factory reset");
            if (ctx.json())
                ctx.emit({{"reset", "factory"}, {"settings", fo->settings}, {"edid", fo->edid}});
            else
                ctx.out() << "Factory reset of the " << what << " sent.\n";
        };
    });
}

}  // namespace brimel::cli
