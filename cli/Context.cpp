// The shared part of every command: choosing and opening the device, output, failures.
#include "cli/Context.h"

#include <algorithm>
#include <cstdio>
#include <ostream>
#include <sstream>

namespace brimel::cli {

namespace {

constexpr std::uint32_t kBusyRetryMs = 200;        // between two opens of a busy device
constexpr std::uint32_t kDeviceBusyWaitMs = 2000;  // a device that reports itself busy

std::string deviceList(const std::vector<BusDevice> &devices) {
    std::string text;
    for (const BusDevice &d : devices) {
        text += "\n  " + d.device.portPath + "  serial " +
                (d.device.serial.empty() ? std::string("(none)") : d.device.serial);
    }
    return text;
}

std::string seconds(std::uint32_t ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%g s", ms / 1000.0);
    return text;
}

}  // namespace

Context::Context(Environment &e) : env(e) {}

Context::~Context() {
    endProgress();
    if (session_ && bus_) bus_->close(*session_);
}

DeviceBus &Context::bus() {
    if (!bus_) bus_ = env.bus(options.demo);
    return *bus_;
}

bool Context::interrupted() const {
    return env.interrupted != nullptr && *env.interrupted != 0;
}

void Context::checkInterrupted(const std::string &what) {
    if (interrupted()) throw Failure{kExitInterrupted, "interrupted", "interrupted: " + what};
}

void Context::pause(std::uint32_t ms) {
    constexpr std::uint32_t kSlice = 50;
    while (ms > 0 && !interrupted()) {
        const std::uint32_t step = std::min(ms, kSlice);
        bus().clock().sleepMs(step);
        ms -= step;
    }
}

Session &Context::session() {
    if (session_) return *session_;
    const std::vector<BusDevice> devices = bus().scan();
    const BusDevice *target = nullptr;
    if (!options.device.empty()) {
        for (const BusDevice &d : devices)
            if (d.device.portPath == options.device) target = &d;
        if (target == nullptr) {
            throw Failure{kExitNoDevice, "no-device",
                          "no Brimel at USB port " + options.device +
                              (devices.empty() ? std::string(" (no Brimel is attached)")
                                               : "; attached:" + deviceList(devices))};
        }
        // Another bridge with the same IDs may be something else altogether: nothing is
        // sent to a device that does not say it is a Brimel.
        if (target->device.serial != Session::kSerial) {
            throw Failure{
                kExitNoDevice, "no-device",
                "the device at USB port " + options.device + " is not a Brimel (serial number " +
                    (target->device.serial.empty() ? std::string("none") : target->device.serial) +
                    ", not 2024)"};
        }
    } else {
        std::vector<const BusDevice *> brimels;
        for (const BusDevice &d : devices)
            if (d.device.serial == Session::kSerial) brimels.push_back(&d);
        if (brimels.empty()) {
            throw Failure{kExitNoDevice, "no-device",
                          "no Brimel found (a USB device 10c4:ea61 with serial number 2024); "
                          "'brimelctl doctor' tells what the system sees"};
        }
        if (brimels.size() > 1) {
            std::vector<BusDevice> several;
            Json list = Json::array();
            for (const BusDevice *d : brimels) {
                several.push_back(*d);
                list.push_back(deviceJson(*d));
            }
            throw Failure{kExitSeveral, "several-devices",
                          "several Brimels are attached; choose one with --device PORT:" +
                              deviceList(several),
                          Json{{"devices", list}}};
        }
        target = brimels.front();
    }
    chosen_ = *target;
    checkInterrupted("nothing was sent");

    auto session = std::make_unique<Session>(bus().usb(), bus().clock());
    const auto waitMs = static_cast<std::uint32_t>(std::max(0.0, options.waitSeconds) * 1000.0);
    // The wait counts real time, the tries' own included, not only the pauses.
    const std::uint32_t waitStart = bus().clock().tickMs();
    for (;;) {
        const Status opened = bus().open(*session, chosen_->device.portPath);
        if (opened) break;
        const std::string where = "the Brimel at USB port " + chosen_->device.portPath;
        switch (opened.error()) {
            case SessionError::DeviceBusy: {
                const std::uint32_t waited = bus().clock().tickMs() - waitStart;
                if (waited < waitMs && !interrupted()) {
                    pause(std::min(kBusyRetryMs, waitMs - waited));
                    continue;
                }
                const auto holders = bus().holders(chosen_->device.portPath);
                Json list = Json::array();
                for (const ProcessHolder &h : holders)
                    list.push_back({{"pid", h.pid}, {"command", h.command}});
                throw Failure{
                    kExitBusy, "busy",
                    where + " is in use by " +
                        (holders.empty() ? std::string("another program") : holdersText(holders)) +
                        (waitMs > 0 ? " (after waiting " + seconds(waitMs) + ")"
                                    : std::string("; --wait SECONDS retries")),
                    Json{{"holders", list}}};
            }
            case SessionError::AccessDenied:
                throw Failure{kExitPermission, "permission-denied", permissionMessage(*chosen_)};
            case SessionError::NotFound:
            case SessionError::NoDevice:
                throw Failure{kExitNoDevice, "no-device", where + " is gone"};
            default:
                throw Failure{kExitIo, "io-error", where + " could not be opened"};
        }
    }
    session_ = std::move(session);
    return *session_;
}

void Context::emit(Json object) {
    Json line{{"schema", kJsonSchema}};
    for (auto &[key, value] : object.items()) line[key] = std::move(value);
    out() << line.dump(-1, ' ', false, Json::error_handler_t::replace) << '\n';
    out().flush();
}

void Context::fail(SessionError error, const std::string &what) {
    switch (error) {
        case SessionError::Cancelled:
            throw Failure{kExitInterrupted, "interrupted", "interrupted: " + what};
        case SessionError::InvalidArgument:
            throw Failure{kExitUsage, "invalid-value", what + ": invalid value"};
        case SessionError::NoReply:
            throw Failure{kExitIo, "no-reply", "no reply from the Brimel: " + what};
        default:
            throw Failure{kExitIo, std::string(errorCode(error)),
                          "the Brimel did not answer properly (" + std::string(errorCode(error)) +
                              "): " + what};
    }
}

SettingsBlock Context::readSettings() {
    Session &s = session();
    std::uint32_t waited = 0;
    for (;;) {
        const auto block = s.readSettingsBlock();
        if (!block) fail(block.error(), "reading the settings");
        if (!block->busy) return *block;
        if (waited >= kDeviceBusyWaitMs)
            throw Failure{kExitIo, "device-busy", "the Brimel keeps reporting itself busy"};
        checkInterrupted("waiting for the Brimel");
        pause(kBusyRetryMs);
        waited += kBusyRetryMs;
    }
}

TransferControl Context::transferControl(const std::string &label) {
    TransferControl control;
    control.cancelRequested = [this] { return interrupted(); };
    if (env.console.errTty && !json()) {
        control.progress = [this, label](int done, int total) {
            char line[96];
            std::snprintf(line, sizeof line, "\r%s: %d/%d", label.c_str(), done + 1, total);
            err() << line;
            err().flush();
            progressShown_ = true;
        };
    }
    return control;
}

void Context::endProgress() {
    if (!progressShown_) return;
    err() << '\n';
    progressShown_ = false;
}

std::string Context::permissionMessage(const BusDevice &d) {
    const std::string node = d.device.node;
    std::string who = "its group";
    if (d.access.exists)
        who = "the group '" + d.access.group + "' (" + d.access.owner + ":" + d.access.group +
              ", mode " +
              [&] {
                  char m[8];
                  std::snprintf(m, sizeof m, "%04o", d.access.mode);
                  return std::string(m);
              }() +
              ")";
    return "permission denied opening the Brimel at USB port " + d.device.portPath + " (" + node +
           "). Fix: install the udev rule 70-brimel.rules into /etc/udev/rules.d, run "
           "'sudo udevadm control --reload' and re-plug the Brimel; on a machine without a "
           "seat (SSH, services) use GROUP=\"plugdev\", MODE=\"0660\" in the rule and add your "
           "user to plugdev. The node now belongs to " +
           who + ".";
}

std::string deviceState(const BusDevice &d) {
    // Interface 0 bound to usbfs is claimed by a program, also one whose open files
    // /proc does not show (another user's, a service's).
    if (!d.holders.empty() || d.device.driver == "usbfs") return "busy";
    if (d.emulated) return "usable";
    if (!d.access.exists) return "unknown";
    if (!d.access.readWrite) return "no-permission";
    return "usable";
}

Json deviceJson(const BusDevice &d) {
    Json holders = Json::array();
    for (const ProcessHolder &h : d.holders)
        holders.push_back(
            {{"pid", h.pid}, {"command", h.command.empty() ? Json() : Json(h.command)}});
    return {
        {"port", d.device.portPath},
        {"serial", d.device.serial.empty() ? Json() : Json(d.device.serial)},
        {"brimel", d.device.serial == Session::kSerial},
        {"product", d.device.product.empty() ? Json() : Json(d.device.product)},
        {"node", d.emulated ? Json() : Json(d.device.node)},
        {"driver", d.device.driver.empty() ? Json() : Json(d.device.driver)},
        {"state", deviceState(d)},
        {"holders", holders},
        {"fix", deviceState(d) == "no-permission" ? Json(Context::permissionMessage(d)) : Json()}};
}

std::string holdersText(const std::vector<ProcessHolder> &holders) {
    std::string text;
    for (const ProcessHolder &h : holders) {
        if (!text.empty()) text += ", ";
        text += (h.command.empty() ? std::string("a process") : h.command) + " (pid " +
                std::to_string(h.pid) + ")";
    }
    return text;
}

std::string hexBytes(std::span<const std::uint8_t> bytes) {
    static const char *const digits = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (std::uint8_t b : bytes) {
        text += digits[b >> 4];
        text += digits[b & 0x0F];
    }
    return text;
}

std::optional<std::vector<std::uint8_t>> parseHexBytes(std::string_view text) {
    if (text.size() % 2 != 0) return std::nullopt;
    const auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    std::vector<std::uint8_t> out;
    out.reserve(text.size() / 2);
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const int hi = digit(text[i]);
        const int lo = digit(text[i + 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        out.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
    }
    return out;
}

}  // namespace brimel::cli
