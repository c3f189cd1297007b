// Where brimelctl finds its Brimels: the real USB bus (libusb, with what sysfs and
// /proc tell about each device), or the emulated Brimel of --demo whose state is kept
// in a file between calls. Tests bring a bus of their own.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "device/Clock.h"
#include "device/UsbInventory.h"
#include "device/UsbLibrary.h"
#include "session/Result.h"

namespace brimel {
class Session;
class EmulatedDevice;
class EmulatedUsbLibrary;
}  // namespace brimel

namespace brimel::cli {

// A Brimel bridge on the bus, with what can be known without opening it.
struct BusDevice {
    InventoryDevice device;
    NodeAccess access;
    std::vector<ProcessHolder> holders;  // other programs that have it open
    bool emulated = false;
};

class DeviceBus {
public:
    virtual ~DeviceBus() = default;

    // Every bridge on the bus.
    virtual std::vector<BusDevice> scan() = 0;
    virtual UsbLibrary &usb() = 0;
    virtual Clock &clock() = 0;
    // Opens `session` on the device at `portPath`.
    virtual Status open(Session &session, const std::string &portPath);
    // Closes it again; the demo bus keeps the device's state for the next call here.
    virtual void close(Session &session);
    // The programs that hold the device at `portPath` now.
    virtual std::vector<ProcessHolder> holders(const std::string &portPath);
};

// A bus of emulated Brimels on any clock: the demo builds on it, tests and fuzzing use it
// with the fake clock. What the system would tell about a device (who holds it, who may
// open it) is set per port path.
class EmulatedBus : public DeviceBus {
public:
    explicit EmulatedBus(Clock &clock, std::uint32_t latencyMs = 0);
    ~EmulatedBus() override;

    // Plugs in a device; without a port path it sits at "1-n".
    EmulatedDevice &add(const std::string &serial = "2024", const std::string &portPath = {},
                        const std::string &product = "Brimel");
    EmulatedUsbLibrary &library() { return *usb_; }

    std::vector<BusDevice> scan() override;
    UsbLibrary &usb() override;
    Clock &clock() override { return clock_; }

    std::map<std::string, std::vector<ProcessHolder>> heldBy;
    std::map<std::string, NodeAccess> nodeAccess;

private:
    struct Plugged;
    Clock &clock_;
    std::unique_ptr<EmulatedUsbLibrary> usb_;
    std::vector<std::unique_ptr<Plugged>> devices_;
};

// The real bus: libusb for the traffic, sysfs and /proc for the rest. libusb's own
// problem lines stay off: brimelctl reports every problem itself.
std::unique_ptr<DeviceBus> makeUsbBus();

// The emulated Brimel of brimel-demo, its state in `stateFile` (locked while a call
// uses it, so two calls never interleave), answering after `latencyMs` in real time.
std::unique_ptr<DeviceBus> makeDemoBus(const std::string &stateFile, std::uint32_t latencyMs);

// The demo's state file: $BRIMELCTL_DEMO_STATE, else brimelctl-demo.json in
// $XDG_RUNTIME_DIR, else in the temporary folder with the user's id in its name.
std::string demoStateFile();

// The demo device's state as text, and back (false for a text that is not one).
std::string saveDemoState(const EmulatedDevice &device);
bool loadDemoState(EmulatedDevice &device, const std::string &text);

}  // namespace brimel::cli
