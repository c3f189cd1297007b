// The in-process brimelctl rig.
#include "tests/cli/CliRig.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "emulator/DemoDevice.h"
#include "session/Session.h"

namespace brimel::cli::test {

namespace {

// Hands the rig's bus to one run of the program without giving it away, and tells the
// rig of every open.
class BorrowedBus final : public DeviceBus {
public:
    BorrowedBus(EmulatedBus &bus, std::function<void()> onOpen)
        : bus_(bus), onOpen_(std::move(onOpen)) {}
    std::vector<BusDevice> scan() override { return bus_.scan(); }
    UsbLibrary &usb() override { return bus_.usb(); }
    Clock &clock() override { return bus_.clock(); }
    Status open(Session &session, const std::string &portPath) override {
        onOpen_();
        return bus_.open(session, portPath);
    }
    void close(Session &session) override { bus_.close(session); }
    std::vector<ProcessHolder> holders(const std::string &portPath) override {
        return bus_.holders(portPath);
    }

private:
    EmulatedBus &bus_;
    std::function<void()> onOpen_;
};

}  // namespace

CliRig::CliRig(int devices) {
    for (int i = 0; i < devices; ++i) {
        EmulatedDevice &d = bus_.add();
        setUpDemoDevice(d);
        devices_.push_back(&d);
        seen_.push_back(0);
    }
}

Outcome CliRig::run(const std::vector<std::string> &args, const std::string &input) {
    std::ostringstream out, err;
    std::istringstream in(input);
    Environment env{{out, err, in, false, false, false},
                    [this](bool) {
                        return std::make_unique<BorrowedBus>(bus_, [this] {
                            if (onOpen) onOpen(++opens_);
                        });
                    },
                    &interrupted,
                    {"/opt/brimel/lib/udev/rules.d"},
                    edidDecodeProgram,
                    systemRoot};
    Outcome o;
    o.exit = brimel::cli::run(args, env);
    o.out = out.str();
    o.err = err.str();
    return o;
}

std::vector<Bytes> CliRig::takeFrames(std::size_t i) {
    const auto &log = devices_.at(i)->log();
    std::vector<Bytes> out(log.begin() + static_cast<std::ptrdiff_t>(seen_[i]), log.end());
    seen_[i] = log.size();
    return out;
}

Bytes frame(std::initializer_list<int> values) {
    Bytes out;
    for (int v : values) out.push_back(static_cast<std::uint8_t>(v));
    return out;
}

std::vector<Bytes> uploadFrames(std::uint8_t command, std::span<const std::uint8_t> image, int n) {
    std::vector<Bytes> out;
    for (int i = 0; i < n; ++i) {
        Bytes f{0x10, 0x08, command, static_cast<std::uint8_t>(8 * i)};
        f.insert(f.end(), image.begin() + 8 * i, image.begin() + 8 * i + 8);
        out.push_back(f);
    }
    return out;
}

std::string hexFrames(const std::vector<Bytes> &frames) {
    std::string text;
    for (const Bytes &f : frames) {
        for (std::size_t i = 0; i < f.size(); ++i) {
            char b[4];
            std::snprintf(b, sizeof b, i ? " %02X" : "%02X", f[i]);
            text += b;
        }
        text += '\n';
    }
    return text;
}

std::string golden(const std::string &name, const std::string &actual) {
    const std::string path = std::string(BRIMEL_SOURCE_DIR) + "/tests/cli/golden/" + name;
    if (const char *update = std::getenv("BRIMEL_UPDATE_GOLDEN"); update && *update == '1') {
        std::ofstream(path, std::ios::binary) << actual;
        return actual;
    }
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace brimel::cli::test
