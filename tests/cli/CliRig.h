// brimelctl run in-process on a bus of emulated Brimels and the fake clock: its exit
// code, what it printed on each stream, and the frames each device received.
#pragma once

#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "cli/Brimelctl.h"
#include "cli/DeviceBus.h"
#include "device/Clock.h"
#include "emulator/EmulatedDevice.h"
#include "emulator/EmulatedUsbLibrary.h"

namespace brimel::cli::test {

struct Outcome {
    int exit = -1;
    std::string out;
    std::string err;
};

class CliRig {
public:
    // One Brimel at port 1-1 unless `devices` is 0.
    explicit CliRig(int devices = 1);

    // Runs brimelctl with `args`; `input` is its standard input.
    Outcome run(const std::vector<std::string> &args, const std::string &input = "");

    EmulatedDevice &device(std::size_t i = 0) { return *devices_.at(i); }
    EmulatedBus &bus() { return bus_; }
    EmulatedUsbLibrary &usb() { return bus_.library(); }
    // Frames device `i` received since the last call.
    std::vector<Bytes> takeFrames(std::size_t i = 0);

    FakeClock clock{1000};
    volatile std::sig_atomic_t interrupted = 0;
    // Called on every open the program tries; may change the bus (a busy device lets go).
    std::function<void(int attempt)> onOpen;
    std::string edidDecodeProgram = "edid-decode";
    // Where `doctor` looks for udev's folders ("" is the real system).
    std::string systemRoot;

private:
    EmulatedBus bus_{clock};
    std::vector<EmulatedDevice *> devices_;
    std::vector<std::size_t> seen_;
    int opens_ = 0;
};

Bytes frame(std::initializer_list<int> values);
// The frames of an upload of `image` with `command` (0xB6 or 0xB0), `n` data frames.
std::vector<Bytes> uploadFrames(std::uint8_t command, std::span<const std::uint8_t> image,
                                int n = 32);
std::string hexFrames(const std::vector<Bytes> &frames);

// A golden file of tests/cli/golden, compared byte for byte; BRIMEL_UPDATE_GOLDEN=1
// rewrites it instead.
std::string golden(const std::string &name, const std::string &actual);

}  // namespace brimel::cli::test
