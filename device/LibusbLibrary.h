// The real device library on libusb-1.0: enumerates the Brimel's USB bridge by its
// VID:PID, and buffers what the device sends so that a queue check can report a count.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "device/UsbLibrary.h"

struct libusb_context;
struct libusb_device;
struct libusb_device_handle;
struct libusb_transfer;

namespace brimel {

// The standard-error line for a Brimel that cannot be opened for lack of permission:
// which device (`device`, e.g. "10c4:ea61 on bus 001 device 004"), its node, who may
// open it (`owner`, e.g. "group 'plugdev'"), and the two ways to get access.
std::string accessDeniedLine(const std::string &device, const std::string &node,
                             const std::string &owner);

// The port path of a device as the kernel names it under /sys/bus/usb/devices: the bus
// number, a dash, then the hub port numbers joined by dots ("1-2.3"). Empty when libusb
// cannot tell.
std::string portPath(libusb_device *device);

class LibusbLibrary final : public UsbLibrary {
public:
    struct Options {
        // Tell a permission problem or a device held by another program on standard
        // error, once per device. A front end that reports these itself turns it off.
        bool reportProblems = true;
    };

    LibusbLibrary() : LibusbLibrary(Options{}) {}
    explicit LibusbLibrary(Options options);
    ~LibusbLibrary() override;
    LibusbLibrary(const LibusbLibrary &) = delete;
    LibusbLibrary &operator=(const LibusbLibrary &) = delete;

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

    // How long one queue check waits for data before it reports an empty queue.
    static constexpr int kQueueWaitMs = 5;

    struct OpenDevice;

private:
    OpenDevice *deviceFor(UsbHandle handle);
    // Clears a halted IN endpoint and submits its transfer again.
    void recoverFromStall(OpenDevice &dev);
    // Runs libusb's event handling for at most `ms` milliseconds, or until `done`.
    void handleEvents(int ms, int *done = nullptr);
    void reportAccessDenied(libusb_device *device);
    void releaseList();

    Options options_;
    libusb_context *context_ = nullptr;
    libusb_device **list_ = nullptr;
    std::vector<libusb_device *> matches_;
    std::map<UsbHandle, std::unique_ptr<OpenDevice>> open_;
    std::set<std::string> reported_;  // devices whose permission problem was told once
    std::uint32_t readTimeout_ = 1000;
    std::uint32_t writeTimeout_ = 1000;
};

}  // namespace brimel
