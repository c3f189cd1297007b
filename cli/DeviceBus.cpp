// The real USB bus and the demo's emulated Brimel with its state file.
#include "cli/DeviceBus.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "cli/Context.h"
#include "device/LibusbLibrary.h"
#include "emulator/DemoDevice.h"
#include "emulator/EmulatedDevice.h"
#include "emulator/EmulatedUsbLibrary.h"
#include "session/Session.h"

namespace brimel::cli {

Status DeviceBus::open(Session &session, const std::string &portPath) {
    const auto index = session.findByPort(portPath);
    if (!index) return index.error();
    return session.open(*index);
}

void DeviceBus::close(Session &session) {
    (void)session.close();
}

std::vector<ProcessHolder> DeviceBus::holders(const std::string &portPath) {
    for (const BusDevice &d : scan())
        if (d.device.portPath == portPath) return d.holders;
    return {};
}

struct EmulatedBus::Plugged {
    EmulatedDevice device;
    std::string serial;
    std::string portPath;
    std::string product;
};

EmulatedBus::EmulatedBus(Clock &clock, std::uint32_t latencyMs)
    : clock_(clock), usb_(std::make_unique<EmulatedUsbLibrary>(clock, latencyMs)) {}

EmulatedBus::~EmulatedBus() = default;

EmulatedDevice &EmulatedBus::add(const std::string &serial, const std::string &portPath,
                                 const std::string &product) {
    auto plugged = std::make_unique<Plugged>();
    plugged->serial = serial;
    plugged->portPath = portPath.empty() ? "1-" + std::to_string(devices_.size() + 1) : portPath;
    plugged->product = product;
    usb_->attach(plugged->device, serial, product, false, plugged->portPath);
    devices_.push_back(std::move(plugged));
    return devices_.back()->device;
}

UsbLibrary &EmulatedBus::usb() {
    return *usb_;
}

std::vector<BusDevice> EmulatedBus::scan() {
    std::vector<BusDevice> out;
    for (const auto &p : devices_) {
        if (p->device.unplugged()) continue;
        BusDevice d;
        d.device.portPath = p->portPath;
        d.device.serial = p->serial;
        d.device.product = p->product;
        const auto access = nodeAccess.find(p->portPath);
        d.access =
            access != nodeAccess.end() ? access->second : NodeAccess{true, true, 0600, {}, {}};
        const auto held = heldBy.find(p->portPath);
        if (held != heldBy.end()) d.holders = held->second;
        d.emulated = true;
        out.push_back(std::move(d));
    }
    return out;
}

namespace {

class UsbBus final : public DeviceBus {
public:
    UsbBus() : usb_(LibusbLibrary::Options{false}) {}

    std::vector<BusDevice> scan() override {
        std::vector<BusDevice> out;
        for (const InventoryDevice &d : inventory_.devices()) {
            out.push_back({d, inventory_.access(d.node),
                           inventory_.holders(UsbInventory::devicePaths(d)), false});
        }
        return out;
    }
    UsbLibrary &usb() override { return usb_; }
    Clock &clock() override { return clock_; }

    // A serial terminal on the kernel driver's port would lose its device if libusb
    // detached the driver: such a device counts as held.
    Status open(Session &session, const std::string &portPath) override {
        for (const InventoryDevice &d : inventory_.devices()) {
            if (d.portPath == portPath && !d.tty.empty() && !inventory_.holders({d.tty}).empty())
                return SessionError::DeviceBusy;
        }
        return DeviceBus::open(session, portPath);
    }

private:
    LibusbLibrary usb_;
    SteadyClock clock_;
    UsbInventory inventory_;
};

// The demo's port path and description.
constexpr const char *kDemoPort = "1-1";
constexpr const char *kDemoProduct = "Brimel (emulated)";

class DemoBus final : public EmulatedBus {
public:
    DemoBus(std::string stateFile, std::uint32_t latencyMs)
        : EmulatedBus(clock_, latencyMs),
          stateFile_(std::move(stateFile)),
          device_(add(Session::kSerial, kDemoPort, kDemoProduct)) {
        setUpDemoDevice(device_);
        library().queueWaitMs = 5;  // wait for replies without spinning, as the real backend does
    }
    ~DemoBus() override { unlock(); }

    std::vector<BusDevice> scan() override {
        if (lockFd_ < 0) heldBy[kDemoPort] = lockHolders();
        return EmulatedBus::scan();
    }

    // The state file's lock stands for the USB interface: one call at a time.
    Status open(Session &session, const std::string &portPath) override {
        if (lockFd_ < 0) {
            const int fd = ::open(stateFile_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
            if (fd < 0) return SessionError::OpenFailed;
            struct flock lock {};
            lock.l_type = F_WRLCK;
            lock.l_whence = SEEK_SET;
            if (::fcntl(fd, F_SETLK, &lock) != 0) {
                ::close(fd);
                return SessionError::DeviceBusy;
            }
            lockFd_ = fd;
            loaded_ = readAll();
            loadDemoState(device_, loaded_);
        }
        return DeviceBus::open(session, portPath);
    }

    void close(Session &session) override {
        DeviceBus::close(session);
        // Written back only when it changed; truncated after the write, so a shrinking
        // file never shows a torn state and an unchanged length costs no truncation.
        if (lockFd_ >= 0) {
            const std::string text = saveDemoState(device_);
            if (text != loaded_ &&
                ::pwrite(lockFd_, text.data(), text.size(), 0) ==
                    static_cast<ssize_t>(text.size()) &&
                text.size() < loaded_.size()) {
                const int truncated = ::ftruncate(lockFd_, static_cast<off_t>(text.size()));
                (void)truncated;
            }
        }
        unlock();
    }

    std::vector<ProcessHolder> holders(const std::string &) override { return lockHolders(); }

private:
    std::string readAll() const {
        std::string text;
        char buffer[4096];
        off_t at = 0;
        for (;;) {
            const ssize_t n = ::pread(lockFd_, buffer, sizeof buffer, at);
            if (n <= 0 || text.size() > (1u << 20)) break;
            text.append(buffer, static_cast<std::size_t>(n));
            at += n;
        }
        return text;
    }

    std::vector<ProcessHolder> lockHolders() const {
        const int fd = ::open(stateFile_.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return {};
        struct flock lock {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        std::vector<ProcessHolder> out;
        if (::fcntl(fd, F_GETLK, &lock) == 0 && lock.l_type != F_UNLCK) {
            std::ifstream comm("/proc/" + std::to_string(lock.l_pid) + "/comm");
            std::string name;
            std::getline(comm, name);
            out.push_back({lock.l_pid, name});
        }
        ::close(fd);
        return out;
    }

    void unlock() {
        if (lockFd_ >= 0) ::close(lockFd_);  // closing drops the lock
        lockFd_ = -1;
    }

    SteadyClock clock_;  // set up before the base class uses it: it only keeps a reference
    std::string stateFile_;
    EmulatedDevice &device_;
    int lockFd_ = -1;
    std::string loaded_;  // the state file's text when it was locked
};

}  // namespace

std::unique_ptr<DeviceBus> makeUsbBus() {
    return std::make_unique<UsbBus>();
}

std::unique_ptr<DeviceBus> makeDemoBus(const std::string &stateFile, std::uint32_t latencyMs) {
    return std::make_unique<DemoBus>(stateFile, latencyMs);
}

std::string demoStateFile() {
    if (const char *file = std::getenv("BRIMELCTL_DEMO_STATE"); file && *file) return file;
    if (const char *dir = std::getenv("XDG_RUNTIME_DIR"); dir && *dir)
        return std::string(dir) + "/brimelctl-demo.json";
    std::error_code ec;
    const auto tmp = std::filesystem::temp_directory_path(ec);
    return (ec ? std::string("/tmp") : tmp.string()) + "/brimelctl-demo-" +
           std::to_string(::getuid()) + ".json";
}

// What the demo keeps between calls: the settings, the stored custom infoframes, the
// matrix and the EDID tables the user uploaded. The signal and the display stay the
// demo's own.
namespace {
constexpr const char *kStateFormat = "brimelctl-demo";
constexpr std::uint8_t kKeptRegisters[] = {0x23, 0x24, 0x2C};
}  // namespace

std::string saveDemoState(const EmulatedDevice &device) {
    Json state{{"format", kStateFormat}, {"version", 1}};
    state["settings"] = device.settings;
    Json registers = Json::object();
    for (std::uint8_t r : kKeptRegisters) {
        const auto it = device.registerData.find(r);
        if (it != device.registerData.end()) registers[std::to_string(r)] = hexBytes(it->second);
    }
    state["registers"] = registers;
    state["user_edid"] = hexBytes(device.userEdid);
    state["builtin_edid"] = hexBytes(device.builtinTableEdid);
    return state.dump(1) + "\n";
}

bool loadDemoState(EmulatedDevice &device, const std::string &text) {
    const Json state = Json::parse(text, nullptr, false);
    if (state.is_discarded() || !state.is_object() || state.value("format", "") != kStateFormat)
        return false;
    try {
        const auto settings = state.at("settings").get<std::vector<int>>();
        if (settings.size() != device.settings.size()) return false;
        const auto userEdid = parseHexBytes(state.at("user_edid").get<std::string>());
        const auto builtinEdid = parseHexBytes(state.at("builtin_edid").get<std::string>());
        if (!userEdid || userEdid->size() != kEdidSize || !builtinEdid ||
            builtinEdid->size() != kEdidSize)
            return false;
        for (std::size_t i = 0; i < settings.size(); ++i)
            device.settings[i] = static_cast<std::uint8_t>(settings[i]);
        for (std::uint8_t r : kKeptRegisters) {
            const std::string key = std::to_string(r);
            if (!state.at("registers").contains(key)) continue;
            if (const auto bytes = parseHexBytes(state.at("registers").at(key).get<std::string>()))
                device.registerData[r] = *bytes;
        }
        std::copy(userEdid->begin(), userEdid->end(), device.userEdid.begin());
        std::copy(builtinEdid->begin(), builtinEdid->end(), device.builtinTableEdid.begin());
    } catch (const Json::exception &) {
        return false;
    }
    return true;
}

}  // namespace brimel::cli
