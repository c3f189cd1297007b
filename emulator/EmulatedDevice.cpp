// The emulated Brimel's frame handling: one handler per command code.
#include "emulator/EmulatedDevice.h"

#include <algorithm>

#include "settings/RegisterMap.h"

namespace brimel {

namespace {
// Writes are acknowledged with the echo and a zero status byte.
Bytes ack(std::uint8_t code) {
    return {code, 0x00};
}
}  // namespace

std::array<std::uint8_t, kSettingsEntries> EmulatedDevice::defaultSettings() {
    std::array<std::uint8_t, kSettingsEntries> s{};
    s[0] = 2;                // port A
    s[1] = 1;                // scaling: pass through
    s[2] = 1;                // EDID mode: the display's EDID
    s[3] = 3;                // HDCP 2.2
    s[6] = 1;                // automatic switching on
    s[entry::EdidLock] = 1;  // slide switches free
    s[entry::ScalingLock] = 1;
    s[19] = 1;   // EDID table 1
    s[26] = 1;   // logo LED on
    s[35] = 18;  // output colour space: follow input
    s[36] = 4;   // deep colour: follow input
    s[37] = 8;   // downscaled: RGB 0-255
    s[38] = 4;
    s[46] = 4;
    s[49] = 0;
    return s;
}

EmulatedDevice::EmulatedDevice() : settings(defaultSettings()) {
    setHandler(cmd::Register, [](EmulatedDevice &d, auto r) { return d.registerCommand(r); });
    setHandler(cmd::SettingsRead, [](EmulatedDevice &d, auto r) { return d.settingsRead(r); });
    setHandler(cmd::SettingsWrite, [](EmulatedDevice &d, auto r) { return d.settingsWrite(r); });
    setHandler(cmd::BracketOpen, [](EmulatedDevice &d, auto r) { return d.bracket(r); });
    setHandler(cmd::BracketClose, [](EmulatedDevice &d, auto r) { return d.bracket(r); });
    installStatusFeature(*this);
    installSettingsFeature(*this);
    installInfoframeFeature(*this);
    installEdidFeature(*this);
}

std::optional<Bytes> EmulatedDevice::receive(std::span<const std::uint8_t> request) {
    if (unplugged_) return std::nullopt;
    log_.emplace_back(request.begin(), request.end());

    std::optional<Bytes> reply;
    if (request.size() >= 3) {
        const auto it = handlers_.find(request[2]);
        if (it != handlers_.end()) reply = it->second(*this, request);
    }

    const bool faulty = !faults.applies || faults.applies(request);
    if (reply && faulty) {
        if (faults.noReply) reply.reset();
        if (reply && faults.wrongEcho && !reply->empty()) (*reply)[0] ^= 0xFF;
        if (reply && faults.shortReply) reply->resize(std::min(reply->size(), *faults.shortReply));
    }
    if (faults.unplugAfter) {
        if (*faults.unplugAfter <= 0) {
            unplugged_ = true;
            return std::nullopt;
        }
        --*faults.unplugAfter;
    }
    return reply;
}

std::optional<Bytes> EmulatedDevice::registerCommand(std::span<const std::uint8_t> request) {
    if (request.size() < 4) return std::nullopt;
    if (request[0] == kDirRead) {
        const std::size_t n = std::min<std::size_t>(request[1], kReplySize);
        Bytes reply(std::max<std::size_t>(n, 2), 0x00);
        reply[0] = cmd::Register;
        Bytes data;
        if (request[3] == regread::Firmware) {
            data = {firmwareMajor, firmwareMinor};
        } else if (const auto it = registerData.find(request[3]); it != registerData.end()) {
            data = it->second;
        }
        for (std::size_t i = 0; i < data.size() && i + 2 < reply.size(); ++i)
            reply[i + 2] = data[i];
        return reply;
    }
    if (request[0] == kDirWrite && request.size() >= 5) {
        const std::uint8_t r = request[3];
        const std::uint8_t value = request[4];
        registerWrites.emplace_back(r, value);
        if (const Setting *info = findRegister(r); info && info->readBack)
            settings[*info->readBack] = value;
        if (onRegisterWrite) onRegisterWrite(*this, r, value);
        return ack(cmd::Register);
    }
    return std::nullopt;
}

std::optional<Bytes> EmulatedDevice::settingsRead(std::span<const std::uint8_t> request) {
    if (request[0] != kDirRead) return std::nullopt;
    Bytes reply{cmd::SettingsRead, stateByte};
    reply.insert(reply.end(), settings.begin(), settings.end());
    return reply;
}

std::optional<Bytes> EmulatedDevice::settingsWrite(std::span<const std::uint8_t> request) {
    if (request[0] != kDirWrite || request.size() < 3 + kSettingsWriteEntries) return std::nullopt;
    std::copy_n(request.begin() + 3, kSettingsWriteEntries, settings.begin());
    return ack(cmd::SettingsWrite);
}

std::optional<Bytes> EmulatedDevice::bracket(std::span<const std::uint8_t> request) {
    return ack(request[2]);
}

}  // namespace brimel
