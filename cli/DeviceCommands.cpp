// list and doctor: which Brimels the system sees, and what stands in the way when
// nothing works.
#include <grp.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdlib>
#include <iomanip>
#include <ostream>

#include "cli/Commands.h"
#include "cli/Context.h"
#include "device/UsbInventory.h"

namespace brimel::cli {

namespace {

std::string stateText(const BusDevice &d) {
    const std::string state = deviceState(d);
    if (state == "busy")
        return "busy: held by " +
               (d.holders.empty() ? std::string("another program") : holdersText(d.holders));
    if (state == "no-permission")
        return "not accessible: " + d.device.node + " is " + d.access.owner + ":" + d.access.group +
               "; install the udev rule ('brimelctl doctor')";
    if (state == "unknown") return "no device node " + d.device.node;
    if (d.device.serial != Session::kSerial) return "not a Brimel (serial number is not 2024)";
    return "usable";
}

std::string modeText(unsigned mode) {
    char text[8];
    std::snprintf(text, sizeof text, "%04o", mode);
    return text;
}

// The user's primary group, then the supplementary ones.
std::vector<std::string> userGroups() {
    std::vector<gid_t> ids{::getgid()};
    const int n = ::getgroups(0, nullptr);
    if (n > 0) {
        std::vector<gid_t> more(static_cast<std::size_t>(n));
        if (::getgroups(n, more.data()) >= 0)
            for (gid_t id : more)
                if (std::find(ids.begin(), ids.end(), id) == ids.end()) ids.push_back(id);
    }
    std::vector<std::string> out;
    for (gid_t id : ids) {
        if (const struct group *g = ::getgrgid(id))
            out.push_back(g->gr_name);
        else
            out.push_back(std::to_string(id));
    }
    return out;
}

struct Check {
    std::string name;
    bool ok;
    std::string detail;
    std::string fix;
};

constexpr const char *kApplyRule = "'sudo udevadm control --reload' and re-plug the Brimel";

// Whether udev applies a rule for the bridge, and if not, what keeps it from doing so.
Check udevRuleCheck(const std::vector<UdevRuleFile> &rules) {
    std::string applied;
    for (const UdevRuleFile &r : rules)
        if (r.applied) applied += (applied.empty() ? "" : ", ") + r.path;
    if (!applied.empty()) return {"udev rule", true, "installed: " + applied, ""};
    for (const UdevRuleFile &r : rules)
        if (!r.replacedBy.empty())
            return {"udev rule", false,
                    r.path + " is replaced by " + r.replacedBy +
                        " (a file of the same name that udev reads instead)",
                    "remove " + r.replacedBy + " or give it the rule of " + r.path + ", then " +
                        kApplyRule};
    if (!rules.empty())
        return {"udev rule", false, rules.front().path + " lies in a folder udev does not read",
                "'sudo cp " + rules.front().path + " /etc/udev/rules.d/', then " + kApplyRule};
    return {"udev rule", false, "no udev rule names 10c4:ea61",
            std::string("install 70-brimel.rules into /etc/udev/rules.d (it comes with the "
                        "package, or with 'cmake --install' under <prefix>/lib/udev/rules.d), "
                        "then ") +
                kApplyRule};
}

}  // namespace

void addDeviceCommands(CLI::App &app, Context &ctx, Action &action) {
    auto *list = app.add_subcommand(
        "list",
        "Every Brimel bridge (USB 10c4:ea61): port path, serial number, and whether it "
        "is usable, held by another program or not accessible");
    list->callback([&ctx, &action] {
        action = [&ctx] {
            const std::vector<BusDevice> devices = ctx.bus().scan();
            bool anyBrimel = false;
            for (const BusDevice &d : devices)
                anyBrimel = anyBrimel || d.device.serial == Session::kSerial;
            if (ctx.json()) {
                Json list = Json::array();
                for (const BusDevice &d : devices) list.push_back(deviceJson(d));
                ctx.emit({{"devices", list}});
            } else if (devices.empty()) {
                ctx.out() << "No Brimel bridge (USB 10c4:ea61) is attached.\n";
            } else {
                ctx.out() << std::left << std::setw(10) << "PORT" << std::setw(10) << "SERIAL"
                          << "STATE\n";
                for (const BusDevice &d : devices)
                    ctx.out() << std::left << std::setw(10) << d.device.portPath << std::setw(10)
                              << (d.device.serial.empty() ? "-" : d.device.serial) << stateText(d)
                              << '\n';
            }
            if (!anyBrimel) throw Failure{kExitNoDevice, "", ""};
        };
    });

    auto *doctor = app.add_subcommand(
        "doctor",
        "What a user needs when nothing works: the devices seen, the permissions of "
        "their nodes, the udev rule, the kernel driver, who holds the device");
    doctor->callback([&ctx, &action] {
        action = [&ctx] {
            std::vector<Check> checks;
            const std::vector<BusDevice> devices = ctx.bus().scan();
            const bool demo = ctx.options.demo;
            checks.push_back(
                {"devices", !devices.empty(),
                 std::to_string(devices.size()) + " Brimel bridge(s) (USB 10c4:ea61) on the bus",
                 devices.empty() ? "check the cable (a data cable, not a charging one) and "
                                   "'lsusb -d 10c4:ea61'"
                                 : ""});
            for (const BusDevice &d : devices) {
                const std::string at = "port " + d.device.portPath;
                const bool brimel = d.device.serial == Session::kSerial;
                checks.push_back(
                    {at + " serial", brimel,
                     "serial number " +
                         (d.device.serial.empty() ? std::string("(none)") : d.device.serial) +
                         (d.device.product.empty() ? "" : ", " + d.device.product),
                     brimel ? "" : "only a device with the serial number 2024 is taken"});
                if (!d.emulated) {
                    checks.push_back(
                        {at + " node", d.access.exists && d.access.readWrite,
                         d.device.node + (d.access.exists
                                              ? " " + d.access.owner + ":" + d.access.group + " " +
                                                    modeText(d.access.mode) +
                                                    (d.access.readWrite ? ", you may open it"
                                                                        : ", you may not open it")
                                              : " is missing"),
                         d.access.readWrite ? "" : Context::permissionMessage(d)});
                    const std::string driver = d.device.driver.empty() ? "none" : d.device.driver;
                    checks.push_back(
                        {at + " driver", driver != "usbfs",
                         "kernel driver on interface 0: " + driver +
                             (driver == "cp210x"
                                  ? " (detached while a Brimel program uses the device)"
                              : driver == "usbfs" ? " (a program has claimed it)"
                                                  : ""),
                         driver == "usbfs" ? "close the program that holds the device" : ""});
                }
                checks.push_back(
                    {at + " holders", d.holders.empty(),
                     d.holders.empty() ? "no other program has it open"
                                       : "held by " + holdersText(d.holders),
                     d.holders.empty() ? "" : "close that program, or use --wait SECONDS"});
            }
            if (!demo) {
                checks.push_back(
                    udevRuleCheck(udevRulesFor(ctx.env.udevRuleDirs, ctx.env.systemRoot)));
                std::string groups;
                for (const std::string &g : userGroups()) groups += (groups.empty() ? "" : " ") + g;
                const char *seat = std::getenv("XDG_SEAT");
                checks.push_back(
                    {"session", true,
                     std::string(seat && *seat
                                     ? "at seat " + std::string(seat) +
                                           ": the rule's uaccess tag applies"
                                     : "no seat (SSH or a service): uaccess does not apply, "
                                       "the rule needs GROUP=\"plugdev\", MODE=\"0660\"") +
                         "; your groups: " + groups,
                     ""});
            }
            bool ok = true;
            for (const Check &c : checks) ok = ok && c.ok;
            if (ctx.json()) {
                Json list = Json::array();
                for (const Check &c : checks)
                    list.push_back({{"check", c.name},
                                    {"ok", c.ok},
                                    {"detail", c.detail},
                                    {"fix", c.fix.empty() ? Json() : Json(c.fix)}});
                ctx.emit({{"ok", ok}, {"checks", list}});
            } else {
                for (const Check &c : checks) {
                    ctx.out() << (c.ok ? "  ok    " : "  FAIL  ") << c.name << ": " << c.detail
                              << '\n';
                    if (!c.fix.empty()) ctx.out() << "        fix: " << c.fix << '\n';
                }
                ctx.out() << (ok ? "Everything looks right.\n" : "See the fixes above.\n");
            }
            if (!ok) throw Failure{kExitFailure, "", ""};
        };
    });
}

}  // namespace brimel::cli
