// A model of the Brimel: answers every request frame as the device would, keeps its
// registers, settings block and stores, and can be told to misbehave.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <vector>

#include "device/Commands.h"
#include "edid/EdidText.h"
#include "emulator/SignalScenario.h"

namespace brimel {

class EmulatedDevice;
void installStatusFeature(EmulatedDevice &device);
void installSettingsFeature(EmulatedDevice &device);
void installInfoframeFeature(EmulatedDevice &device);
void installEdidFeature(EmulatedDevice &device);

using Bytes = std::vector<std::uint8_t>;

// Ways the device (or its cable) can fail; each applies to every frame it matches
// until cleared, except where a count says otherwise.
struct DeviceFaults {
    bool noReply = false;                   // the device stays silent
    std::optional<std::size_t> shortReply;  // the reply is cut to this many bytes
    bool wrongEcho = false;                 // reply byte 0 is not the command code
    // Which frames the reply faults above apply to; all frames when empty.
    std::function<bool(std::span<const std::uint8_t>)> applies;
    // The device is unplugged after answering this many more frames.
    std::optional<int> unplugAfter;
};

class EmulatedDevice {
public:
    // Answers one request; nothing for no reply.
    using Handler =
        std::function<std::optional<Bytes>(EmulatedDevice &, std::span<const std::uint8_t>)>;

    EmulatedDevice();

    // Takes one request frame as it arrived on the wire.
    std::optional<Bytes> receive(std::span<const std::uint8_t> request);

    void setHandler(std::uint8_t command, Handler handler) {
        handlers_[command] = std::move(handler);
    }

    // Every request frame received, in order (also those that got no reply).
    const std::vector<Bytes> &log() const { return log_; }
    void clearLog() { log_.clear(); }

    bool unplugged() const { return unplugged_; }
    void unplug() { unplugged_ = true; }

    DeviceFaults faults;

    // Firmware version reported by register 0x07.
    std::uint8_t firmwareMajor = 1;
    std::uint8_t firmwareMinor = 23;
    // Settings block: byte 1 of the 0xE1 reply, then the 60 entries.
    std::uint8_t stateByte = 0;  // bit 0: busy
    std::array<std::uint8_t, kSettingsEntries> settings{};
    // Data bytes (from reply byte 2 on) of registers read with 0xE0.
    std::map<std::uint8_t, Bytes> registerData;
    // Register writes as the device took them, in order (register, value).
    std::vector<std::pair<std::uint8_t, std::uint8_t>> registerWrites;
    // Called on every register write after the settings block was updated.
    std::function<void(EmulatedDevice &, std::uint8_t reg, std::uint8_t value)> onRegisterWrite;

    // The factory defaults of the settings block.
    static std::array<std::uint8_t, kSettingsEntries> defaultSettings();

    // Each feature's state and frames; the handlers live in the feature's own file
    // (emulator/<Feature>Feature.cpp) and are installed by the constructor.

    // Signal status (StatusFeature.cpp).
    // The signal the device sees, or none (no source: the status registers read as
    // zero records). The status, infoframe and name registers answer from it, so a
    // change goes through setScenario(), which brings their register data in step.
    void setScenario(std::optional<SignalScenario> scenario);
    const std::optional<SignalScenario> &scenario() const { return scenario_; }

private:
    std::optional<SignalScenario> scenario_;

public:
    // Settings and colour matrix (SettingsFeature.cpp).
    // The 24-byte matrix block; it is kept where the register read of 0x2C answers
    // from (registerData), so the 0xE8 write and that read cannot disagree.
    std::array<std::uint8_t, 24> matrixBlock() const;
    void setMatrixBlock(const std::array<std::uint8_t, 24> &block);
    // Device resets (register 0x37) and factory resets (register 0x19) taken so far.
    int deviceResets = 0;
    int settingsFactoryResets = 0;
    int edidFactoryResets = 0;
    // A factory reset that clears the EDID (0x19 = 1 or 3) calls this to return the
    // EDID store to its default; the EDID feature sets it.
    std::function<void(EmulatedDevice &)> resetEdidStore;
    // The settings feature takes `onRegisterWrite` for the resets; whoever sets it
    // later keeps the previous function and calls it.

    // Custom infoframes (InfoframeFeature.cpp).
    // The stored custom HDR and AVI infoframes (type, version, length, checksum,
    // payload) are registerData[0x23] and registerData[0x24], so the register read
    // answers with them; the device keeps 31 and 17 bytes, zero after the last one
    // stored. 0xE5 and 0xE6 replace them; 0xB3 (activation) is acknowledged. They start
    // as an HDR10 mastering infoframe and an AVI infoframe for 2160p60 BT.2020.
    static constexpr std::size_t kCustomHdrBytes = 31;
    static constexpr std::size_t kCustomAviBytes = 17;
    // Replaces the infoframe of register 0x23 or 0x24 as a data frame does: the bytes
    // beyond what the device keeps are dropped.
    void storeCustomInfoframe(std::uint8_t reg, std::span<const std::uint8_t> frame);
    // The stored infoframe of register 0x23 or 0x24 (empty for another register).
    Bytes customInfoframe(std::uint8_t reg) const;

    // EDID stores (EdidFeature.cpp).
    // The device's fixed default table: presented in FIXED mode, held as table 1 until
    // the user uploads one, and put back by restoreFactoryEdid().
    EdidImage factoryEdid{};
    // Table 1: the user's EDID (0xB6 data frames, committed by the apply frame 10 08 B1).
    EdidImage userEdid{};
    // The built-in table the host uploaded last (0xB0 data frames, committed by the
    // apply frame); presented for table numbers 2 to 25.
    EdidImage builtinTableEdid{};
    // The connected display's EDID, answered to 0xB5 chunk reads.
    EdidImage displayEdid{};
    // Data frames collect here until the apply frame; the command of the upload in
    // progress (0xB6 or 0xB0), 0 when none.
    EdidImage edidStaging{};
    std::uint8_t edidStagingCommand = 0;
    // Reply byte 0 to a 0xB6 data frame.
    std::uint8_t edidUserUploadAck = cmd::EdidDevice;
    // What 0xB0 chunk reads answer: by the EDID mode (settings entry 2) the display's
    // EDID, the factory EDID, or (CUSTOM) table 1 or the uploaded built-in table by the
    // table number (entry 19).
    const EdidImage &presentedEdid() const;
    // The EDID part of a factory reset: both tables back to the factory EDID, mode and
    // table number back to their defaults. Installed as resetEdidStore.
    void restoreFactoryEdid();

private:
    std::optional<Bytes> registerCommand(std::span<const std::uint8_t> request);
    std::optional<Bytes> settingsRead(std::span<const std::uint8_t> request);
    std::optional<Bytes> settingsWrite(std::span<const std::uint8_t> request);
    std::optional<Bytes> bracket(std::span<const std::uint8_t> request);

    std::map<std::uint8_t, Handler> handlers_;
    std::vector<Bytes> log_;
    bool unplugged_ = false;
};

}  // namespace brimel
