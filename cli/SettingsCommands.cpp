// get, set and settings (describe, save, load): the device's settings by name.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <fstream>
#include <iomanip>
#include <ostream>
#include <sstream>

#include "cli/Commands.h"
#include "cli/Context.h"
#include "cli/Profile.h"
#include "device/Commands.h"
#include "edid/BuiltinEdids.h"
#include "infoframes/InfoframeText.h"
#include "settings/RegisterMap.h"

namespace brimel::cli {

namespace {

// The settings `get` shows and a profile keeps: those the device reports back.
bool reported(const Setting &s) {
    return s.kind != SettingKind::Action && s.readBack.has_value();
}

std::string valueNames(const Setting &s) {
    std::string names;
    for (const SettingValue &v : s.values)
        if (!v.name.empty()) names += (names.empty() ? "" : ", ") + std::string(v.name);
    return names;
}

Json valueJson(const Setting &s, std::uint8_t code) {
    const SettingValue *v = s.valueOf(code);
    return {{"value", v && !v->name.empty() ? Json(std::string(v->name)) : Json()}, {"code", code}};
}

std::string valueText(const Setting &s, std::uint8_t code) {
    const SettingValue *v = s.valueOf(code);
    if (v && !v->name.empty()) return std::string(v->name);
    return std::to_string(code) + " (unknown)";
}

// NAME=VALUE, checked against the settings table; the value is a value name, or a code
// the setting knows.
std::pair<const Setting *, std::uint8_t> parsePair(const std::string &pair) {
    const auto eq = pair.find('=');
    if (eq == std::string::npos)
        throw Failure{kExitUsage, "usage", "'" + pair + "': NAME=VALUE expected"};
    const std::string name = pair.substr(0, eq);
    const std::string value = pair.substr(eq + 1);
    const Setting *s = findSetting(name);
    if (s == nullptr)
        throw Failure{kExitUsage, "invalid-value",
                      "no setting '" + name + "' ('brimelctl settings describe' lists them)"};
    if (s->kind == SettingKind::Action)
        throw Failure{kExitUsage, "invalid-value", name + " is an action: use 'brimelctl reset'"};
    if (s->kind == SettingKind::ReadOnly)
        throw Failure{kExitUsage, "invalid-value", name + " is set by the device's slide switch"};
    if (const SettingValue *v = s->valueNamed(value)) return {s, v->code};
    if (!value.empty() && std::all_of(value.begin(), value.end(), ::isdigit) && value.size() <= 3) {
        const int code = std::stoi(value);
        if (code <= 255) {
            if (const SettingValue *v = s->valueOf(static_cast<std::uint8_t>(code));
                v && !v->name.empty())
                return {s, v->code};
        }
    }
    throw Failure{
        kExitUsage, "invalid-value",
        "'" + value + "' is not a value of " + name + " (values: " + valueNames(*s) + ")"};
}

// Dependent settings go after what they depend on: the EDID mode, then the table, then
// the preset switches, then their modes, then the rest in the table's order.
int applyRank(const Setting &s) {
    switch (s.reg) {
        case reg::EdidMode:
            return 0;
        case reg::EdidTable:
            return 1;
        case reg::Preset4k30:
        case reg::Preset4k60:
            return 2;
        case reg::Preset4k30Mode:
        case reg::Preset4k60Mode:
            return 3;
        default:
            return 4;
    }
}

struct Change {
    const Setting *setting;
    std::uint8_t from;
    std::uint8_t to;
};

std::uint8_t current(const SettingsBlock &block, const Setting &s) {
    return block.entries[*s.readBack];
}

// The writes that make the device hold `wanted`, in dependency order; nothing for what
// it already holds.
std::vector<Change> plan(const SettingsBlock &block,
                         const std::vector<std::pair<const Setting *, std::uint8_t>> &wanted) {
    std::vector<Change> changes;
    for (const auto &[s, code] : wanted) {
        const auto same = [s = s](const Change &c) { return c.setting == s; };
        changes.erase(std::remove_if(changes.begin(), changes.end(), same), changes.end());
        if (current(block, *s) != code) changes.push_back({s, current(block, *s), code});
    }
    std::stable_sort(changes.begin(), changes.end(), [](const Change &a, const Change &b) {
        return applyRank(*a.setting) < applyRank(*b.setting);
    });
    return changes;
}

// Writes one setting as the window does: a built-in EDID table is uploaded before the
// table number selects it.
void write(Context &ctx, const Change &c) {
    ctx.checkInterrupted("not every setting was written");
    Session &s = ctx.session();
    if (c.setting->reg == reg::EdidTable) {
        if (const auto table = builtinEdid(c.to)) {
            EdidImage image{};
            std::copy(table->begin(), table->end(), image.begin());
            const auto upload =
                s.uploadEdid(EdidUploadKind::Builtin, image,
                             ctx.transferControl("EDID table " + std::to_string(c.to)));
            ctx.endProgress();
            if (!upload)
                ctx.fail(upload.error(), "uploading built-in EDID table " + std::to_string(c.to));
        }
    }
    if (const Status w = s.writeRegister(c.setting->reg, c.to); !w)
        ctx.fail(w.error(), "writing " + std::string(c.setting->name));
}

// The settings the device did not take, read back after the writes.
std::vector<Change> notTaken(Context &ctx, const std::vector<Change> &changes) {
    const SettingsBlock after = ctx.readSettings();
    std::vector<Change> refused;
    for (const Change &c : changes)
        if (current(after, *c.setting) != c.to)
            refused.push_back({c.setting, current(after, *c.setting), c.to});
    return refused;
}

// `others`: what else the device did not keep, in words.
[[noreturn]] void failNotTaken(const std::vector<Change> &refused,
                               const std::vector<std::string> &others = {}) {
    std::string text;
    Json list = Json::array();
    for (const Change &c : refused) {
        text += "\n  " + std::string(c.setting->name) + ": wanted " + valueText(*c.setting, c.to) +
                ", the device holds " + valueText(*c.setting, c.from);
        list.push_back({{"name", c.setting->name},
                        {"wanted", valueJson(*c.setting, c.to)},
                        {"device", valueJson(*c.setting, c.from)}});
    }
    for (const std::string &o : others) {
        text += "\n  " + o;
        list.push_back({{"name", o}});
    }
    throw Failure{kExitNotTaken, "not-taken", "the Brimel did not take every value:" + text,
                  Json{{"settings", list}}};
}

std::string readFileBounded(const std::string &path, std::size_t limit) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw Failure{kExitBadInput, "bad-file", "cannot read " + path};
    std::string text;
    text.resize(limit + 1);
    in.read(text.data(), static_cast<std::streamsize>(limit + 1));
    text.resize(static_cast<std::size_t>(in.gcount()));
    if (in.bad()) throw Failure{kExitBadInput, "bad-file", "cannot read " + path};
    return text;
}

// The text the device shows for a custom infoframe once `text` was sent: its register
// reply holds 31 (HDR) or 17 (AVI) bytes after the echo and the status byte, zero past what
// was sent, and shows as many as the infoframe's length byte names.
std::string storedForm(InfoframeKind kind, const std::string &text) {
    const std::vector<std::uint8_t> bytes = parseInfoframeText(*prepareInfoframeText(text, kind));
    Record reply(kind == InfoframeKind::Hdr ? readlen::CustomHdr : readlen::CustomAvi, 0);
    reply[0] = cmd::Register;
    std::copy_n(bytes.begin(), std::min(bytes.size(), reply.size() - 2), reply.begin() + 2);
    return storedInfoframeText(reply);
}

// What the device holds, as a profile.
Profile deviceProfile(Context &ctx, bool withEdid) {
    Session &s = ctx.session();
    const SettingsBlock block = ctx.readSettings();
    Profile p;
    for (const Setting &setting : settingsTable())
        if (setting.kind == SettingKind::Setting && setting.readBack)
            p.settings.emplace_back(&setting, current(block, setting));
    const auto matrix = s.readMatrix();
    if (!matrix) ctx.fail(matrix.error(), "reading the colour matrix");
    p.matrix = decodeMatrix(*matrix);
    const auto hdr = s.readStoredInfoframe(InfoframeKind::Hdr);
    if (!hdr) ctx.fail(hdr.error(), "reading the stored HDR infoframe");
    const auto avi = s.readStoredInfoframe(InfoframeKind::Avi);
    if (!avi) ctx.fail(avi.error(), "reading the stored AVI infoframe");
    p.hdrInfoframe = storedInfoframeText(*hdr);
    p.aviInfoframe = storedInfoframeText(*avi);
    if (withEdid) {
        const auto edid = s.readEdid(EdidSource::Device, ctx.transferControl("EDID"));
        ctx.endProgress();
        if (!edid) ctx.fail(edid.error(), "reading the EDID");
        p.edid = *edid;
    }
    return p;
}

void describe(Context &ctx) {
    if (ctx.json()) {
        Json list = Json::array();
        for (const Setting &s : settingsTable()) {
            if (s.kind == SettingKind::Action) continue;
            Json values = Json::array();
            for (const SettingValue &v : s.values) {
                if (v.name.empty()) continue;
                values.push_back(
                    {{"name", v.name},
                     {"code", v.code},
                     {"label", v.label.empty() ? Json() : Json(std::string(v.label))}});
            }
            list.push_back({{"name", s.name},
                            {"description", s.description},
                            {"writable", s.kind == SettingKind::Setting},
                            {"values", values}});
        }
        ctx.emit({{"settings", list}});
        return;
    }
    for (const Setting &s : settingsTable()) {
        if (s.kind == SettingKind::Action) continue;
        ctx.out() << s.name << (s.kind == SettingKind::ReadOnly ? " (read-only)" : "") << "\n    "
                  << s.description << "\n";
        for (const SettingValue &v : s.values) {
            if (v.name.empty()) continue;
            ctx.out() << "    " << std::left << std::setw(16) << v.name;
            if (!v.label.empty()) ctx.out() << v.label;
            ctx.out() << "\n";
        }
    }
}

}  // namespace

void addSettingsCommands(CLI::App &app, Context &ctx, Action &action) {
    auto names = std::make_shared<std::vector<std::string>>();
    auto *get =
        app.add_subcommand("get", "The device's settings by name (one settings-block read)");
    get->add_option("NAME", *names, "Only these settings");
    get->callback([&ctx, &action, names] {
        action = [&ctx, names] {
            std::vector<const Setting *> shown;
            for (const std::string &n : *names) {
                const Setting *s = findSetting(n);
                if (s == nullptr || !reported(*s))
                    throw Failure{
                        kExitUsage, "invalid-value",
                        "no setting '" + n + "' ('brimelctl settings describe' lists them)"};
                shown.push_back(s);
            }
            if (shown.empty())
                for (const Setting &s : settingsTable())
                    if (reported(s)) shown.push_back(&s);
            const SettingsBlock block = ctx.readSettings();
            if (ctx.json()) {
                Json settings = Json::object();
                for (const Setting *s : shown)
                    settings[std::string(s->name)] = valueJson(*s, current(block, *s));
                ctx.emit({{"settings", settings}});
                return;
            }
            for (const Setting *s : shown)
                ctx.out() << s->name << '=' << valueText(*s, current(block, *s)) << '\n';
        };
    });

    auto pairs = std::make_shared<std::vector<std::string>>();
    auto *set = app.add_subcommand(
        "set",
        "Change settings: every NAME=VALUE is checked before anything is sent, only what "
        "differs is written, and the device is read back");
    set->add_option("NAME=VALUE", *pairs, "Settings and their new values")->required();
    set->callback([&ctx, &action, pairs] {
        action = [&ctx, pairs] {
            std::vector<std::pair<const Setting *, std::uint8_t>> wanted;
            for (const std::string &p : *pairs) wanted.push_back(parsePair(p));
            const SettingsBlock block = ctx.readSettings();
            const std::vector<Change> changes = plan(block, wanted);
            for (const Change &c : changes) write(ctx, c);
            const std::vector<Change> refused =
                changes.empty() ? std::vector<Change>{} : notTaken(ctx, changes);
            if (!refused.empty()) failNotTaken(refused);
            if (ctx.json()) {
                Json changed = Json::array();
                for (const Change &c : changes)
                    changed.push_back({{"name", c.setting->name},
                                       {"from", valueJson(*c.setting, c.from)},
                                       {"to", valueJson(*c.setting, c.to)}});
                ctx.emit({{"changed", changed}});
                return;
            }
            for (const auto &[s, code] : wanted) {
                const auto it = std::find_if(changes.begin(), changes.end(),
                                             [s = s](const Change &c) { return c.setting == s; });
                ctx.out() << s->name << '=' << valueText(*s, code)
                          << (it == changes.end() ? " (unchanged)"
                                                  : " (was " + valueText(*s, it->from) + ")")
                          << '\n';
            }
        };
    });

    auto *settings =
        app.add_subcommand("settings", "Describe every setting, or save and load profiles");
    settings->require_subcommand(1);
    auto *describeCmd = settings->add_subcommand("describe", "Every setting with its values");
    describeCmd->callback([&ctx, &action] { action = [&ctx] { describe(ctx); }; });

    auto saveFile = std::make_shared<std::string>();
    auto withEdid = std::make_shared<bool>(false);
    auto *save = settings->add_subcommand(
        "save",
        "Write a profile of the device: every setting, the colour matrix, the stored "
        "custom infoframes (and with --with-edid the EDID it presents)");
    save->add_option("FILE", *saveFile, "The profile file ('-' for standard output)")->required();
    save->add_flag("--with-edid", *withEdid, "Also the EDID the device presents");
    save->callback([&ctx, &action, saveFile, withEdid] {
        action = [&ctx, saveFile, withEdid] {
            const std::string text = writeProfile(deviceProfile(ctx, *withEdid));
            if (*saveFile == "-") {
                // With --json the profile is a member of the one object printed.
                if (ctx.json())
                    ctx.emit({{"profile", Json::parse(text)}});
                else
                    ctx.out() << text;
                return;
            }
            std::ofstream out(*saveFile, std::ios::binary | std::ios::trunc);
            out << text;
            out.flush();
            if (!out) throw Failure{kExitFailure, "write-failed", "cannot write " + *saveFile};
            if (ctx.json()) ctx.emit({{"saved", *saveFile}});
        };
    });

    auto loadFile = std::make_shared<std::string>();
    auto dryRun = std::make_shared<bool>(false);
    auto *load = settings->add_subcommand(
        "load",
        "Make the device hold a profile: the whole file is checked first, only what "
        "differs is written (a preset switch before its mode), then everything is "
        "read back");
    load->add_option("FILE", *loadFile, "The profile file ('-' for standard input)")->required();
    load->add_flag("--dry-run", *dryRun, "Only tell what would change");
    load->callback([&ctx, &action, loadFile, dryRun] {
        action = [&ctx, loadFile, dryRun] {
            std::string text;
            if (*loadFile == "-") {
                std::ostringstream all;
                all << ctx.env.console.in.rdbuf();
                text = all.str();
            } else {
                text = readFileBounded(*loadFile, kProfileMaxBytes);
            }
            const ProfileRead read = readProfile(text);
            if (!read.profile)
                throw Failure{kExitBadInput, "bad-file", *loadFile + ": " + read.error};
            const Profile &want = *read.profile;
            const Profile have = deviceProfile(ctx, false);
            Session &s = ctx.session();

            const SettingsBlock block = ctx.readSettings();
            const std::vector<Change> changes = plan(block, want.settings);
            const MatrixBlock wantMatrix = want.matrix ? encodeMatrix(*want.matrix) : MatrixBlock{};
            const bool matrixChanges = want.matrix && encodeMatrix(*have.matrix) != wantMatrix;
            // Infoframes compare as the device will show them, so a text without its
            // trailing zeros does not count as a change on every load.
            const std::optional<std::string> wantHdr =
                want.hdrInfoframe
                    ? std::optional(storedForm(InfoframeKind::Hdr, *want.hdrInfoframe))
                    : std::nullopt;
            const std::optional<std::string> wantAvi =
                want.aviInfoframe
                    ? std::optional(storedForm(InfoframeKind::Avi, *want.aviInfoframe))
                    : std::nullopt;
            const bool hdrChanges = wantHdr && *wantHdr != *have.hdrInfoframe;
            const bool aviChanges = wantAvi && *wantAvi != *have.aviInfoframe;
            // The EDID image matters for table 1, the one the user uploads.
            const auto tableSetting = findRegister(reg::EdidTable);
            std::uint8_t table = current(block, *tableSetting);
            for (const auto &[setting, code] : want.settings)
                if (setting == tableSetting) table = code;
            const bool edidUpload = want.edid && table == 1;

            Json planned = Json::array();
            std::vector<std::string> lines;
            for (const Change &c : changes) {
                planned.push_back({{"name", c.setting->name},
                                   {"from", valueJson(*c.setting, c.from)},
                                   {"to", valueJson(*c.setting, c.to)}});
                lines.push_back(std::string(c.setting->name) + ": " +
                                valueText(*c.setting, c.from) + " -> " +
                                valueText(*c.setting, c.to));
            }
            const auto other = [&](const char *name, std::string line) {
                planned.push_back({{"name", name}});
                lines.push_back(std::move(line));
            };
            if (matrixChanges) other("matrix-values", "colour matrix values");
            if (hdrChanges) other("hdr-infoframe", "custom HDR infoframe: " + *want.hdrInfoframe);
            if (aviChanges) other("avi-infoframe", "custom AVI infoframe: " + *want.aviInfoframe);
            if (edidUpload) other("edid", "EDID table 1 (uploaded)");

            if (!*dryRun) {
                if (edidUpload) {
                    const auto up =
                        s.uploadEdid(EdidUploadKind::User, *want.edid, ctx.transferControl("EDID"));
                    ctx.endProgress();
                    if (!up) ctx.fail(up.error(), "uploading the EDID");
                }
                for (const Change &c : changes) write(ctx, c);
                if (matrixChanges) {
                    ctx.checkInterrupted("the matrix was not written");
                    if (const Status w = s.writeMatrix(wantMatrix); !w)
                        ctx.fail(w.error(), "writing the colour matrix");
                }
                for (const auto &[kind, wanted, changed] :
                     {std::tuple{InfoframeKind::Hdr, want.hdrInfoframe, hdrChanges},
                      std::tuple{InfoframeKind::Avi, want.aviInfoframe, aviChanges}}) {
                    if (!changed) continue;
                    ctx.checkInterrupted("not every infoframe was sent");
                    const auto bytes = parseInfoframeText(*prepareInfoframeText(*wanted, kind));
                    if (const Status w = s.sendInfoframe(kind, bytes); !w)
                        ctx.fail(w.error(), "sending the custom infoframe");
                }
                // Everything read back.
                const std::vector<Change> refused = notTaken(ctx, changes);
                const Profile after = deviceProfile(ctx, false);
                std::vector<std::string> others;
                if (want.matrix && encodeMatrix(*after.matrix) != wantMatrix)
                    others.push_back("colour matrix: the device holds other values");
                if (wantHdr && *after.hdrInfoframe != *wantHdr)
                    others.push_back("custom HDR infoframe: the device holds " +
                                     *after.hdrInfoframe);
                if (wantAvi && *after.aviInfoframe != *wantAvi)
                    others.push_back("custom AVI infoframe: the device holds " +
                                     *after.aviInfoframe);
                if (!refused.empty() || !others.empty()) failNotTaken(refused, others);
            }
            if (ctx.json()) {
                ctx.emit({{"dry_run", *dryRun}, {"changes", planned}});
                return;
            }
            if (lines.empty()) ctx.out() << "The device already holds the profile.\n";
            for (const std::string &l : lines)
                ctx.out() << (*dryRun ? "would change " : "changed ") << l << '\n';
        };
    });
}

}  // namespace brimel::cli
