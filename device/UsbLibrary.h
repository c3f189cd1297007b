// The device library's operations, as the USB link uses them. Every call returns a
// status code; 0 means success and the link never tells failure codes apart.
#pragma once

#include <cstdint>

namespace brimel {

// Opaque handle of an open device; all ones is the invalid value.
using UsbHandle = std::uintptr_t;
inline constexpr UsbHandle kInvalidUsbHandle = ~UsbHandle{0};

// Size of the buffer a device string is fetched into (zero-terminated).
inline constexpr std::uint32_t kDeviceStringSize = 256;

// Kinds of device string. The port path ("1-2.3": bus, then the hub ports) stays the
// same while the device stays plugged into the same socket, so scripts can name it.
enum class DeviceStringKind : std::uint32_t { SerialNumber = 0, Description = 1, PortPath = 2 };

// Status codes the backends return; callers only compare against UsbOk.
enum UsbStatus : int {
    UsbOk = 0,
    UsbInvalidHandle = 1,
    UsbReadError = 2,
    UsbWriteError = 3,
    UsbDeviceNotFound = 4,
    UsbIoError = 5,
    UsbInvalidParameter = 6,
    UsbAccessDenied = 7,
    UsbTimeout = 8,
    UsbBusy = 9,  // another program holds the device
};

class UsbLibrary {
public:
    virtual ~UsbLibrary() = default;

    virtual int getNumDevices(std::uint32_t &count) = 0;
    // Fills `buffer` (kDeviceStringSize bytes) with a zero-terminated string.
    virtual int getDeviceString(std::uint32_t index, char *buffer, DeviceStringKind kind) = 0;
    virtual int open(std::uint32_t index, UsbHandle &handle) = 0;
    virtual int close(UsbHandle handle) = 0;
    // Reads up to `toRead` bytes within the library's read timeout.
    virtual int read(UsbHandle handle, std::uint8_t *buffer, std::uint32_t toRead,
                     std::uint32_t &got) = 0;
    // Writes `toWrite` bytes within the library's write timeout.
    virtual int write(UsbHandle handle, const std::uint8_t *buffer, std::uint32_t toWrite,
                      std::uint32_t &written) = 0;
    virtual int flushBuffers(UsbHandle handle, bool flushTransmit, bool flushReceive) = 0;
    // Library-wide timeouts in milliseconds (not per handle).
    virtual int setTimeouts(std::uint32_t readMs, std::uint32_t writeMs) = 0;
    virtual int getTimeouts(std::uint32_t &readMs, std::uint32_t &writeMs) = 0;
    // Number of received bytes waiting. A backend may wait briefly for data here so
    // that a caller polling this in a loop does not spin a CPU core.
    virtual int checkRxQueue(UsbHandle handle, std::uint32_t &queued,
                             std::uint32_t &queueStatus) = 0;
};

}  // namespace brimel
