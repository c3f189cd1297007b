// A UsbLibrary whose bus holds emulated Brimels. Time passes on the given clock: a
// queue check that finds nothing waits 1 ms, a reply is ready after the latency.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "device/Clock.h"
#include "device/UsbLibrary.h"
#include "emulator/EmulatedDevice.h"

namespace brimel {

struct LibraryFaults {
    bool countFails = false;  // the device count cannot be read
    bool openFails = false;
    // The status an open fails with instead (UsbBusy, UsbAccessDenied, ...); 0: none.
    int openStatus = 0;
    bool closeFails = false;
    bool queueCheckFails = false;
    bool writeFails = false;
};

class EmulatedUsbLibrary final : public UsbLibrary {
public:
    explicit EmulatedUsbLibrary(Clock &clock, std::uint32_t latencyMs = 0);

    // Plugs a device into the bus; `device` must outlive the library. Without a port
    // path the device sits at "1-n", n being its place on the bus counted from 1.
    void attach(EmulatedDevice &device, std::string serial = "2024",
                std::string description = "Brimel", bool stringFails = false,
                std::string portPath = {});

    int getNumDevices(std::uint32_t &count) override;
    int getDeviceString(std::uint32_t index, char *buffer, DeviceStringKind kind) override;
    int open(std::uint32_t index, UsbHandle &handle) override;
    int close(UsbHandle handle) override;
    int read(UsbHandle handle, std::uint8_t *buffer, std::uint32_t toRead,
             std::uint32_t &got) override;
    int write(UsbHandle handle, const std::uint8_t *buffer, std::uint32_t toWrite,
              std::uint32_t &written) override;
    int flushBuffers(UsbHandle handle, bool flushTransmit, bool flushReceive) override;
    int setTimeouts(std::uint32_t readMs, std::uint32_t writeMs) override;
    int getTimeouts(std::uint32_t &readMs, std::uint32_t &writeMs) override;
    int checkRxQueue(UsbHandle handle, std::uint32_t &queued, std::uint32_t &queueStatus) override;

    LibraryFaults faults;
    std::uint32_t latencyMs;
    // How long a queue check that finds nothing waits (never past a reply's arrival).
    std::uint32_t queueWaitMs = 1;

    // Bookkeeping that tests look at.
    int openCount = 0;
    int closeCount = 0;
    int writeCount = 0;  // every write asked for, also those that fail
    int readCount = 0;
    int queueChecks = 0;
    bool isOpen(std::uint32_t index) const;

private:
    struct Slot {
        EmulatedDevice *device = nullptr;
        std::string serial;
        std::string description;
        std::string portPath;
        bool stringFails = false;
        bool open = false;
        std::optional<Bytes> pending;  // reply waiting in the receive queue
        std::uint32_t readyAt = 0;     // tick at which it has arrived
    };
    Slot *slotFor(UsbHandle handle);
    bool arrived(const Slot &slot);

    Clock &clock_;
    std::vector<Slot> bus_;
    std::uint32_t readTimeout_ = 1000;
    std::uint32_t writeTimeout_ = 1000;
};

}  // namespace brimel
