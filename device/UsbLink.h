// The USB link: finds the Brimel by its serial-number string, opens and closes it,
// and carries one request/reply transaction at a time.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "device/Clock.h"
#include "device/Commands.h"
#include "device/UsbLibrary.h"

namespace brimel {

// Texts of the transport message boxes.
namespace linktext {
inline constexpr const char *ConnectAndRestart = "CONNECT BRIMEL USB AND RESTART GUI";
inline constexpr const char *OpenError = "Usb device open error!";
inline constexpr const char *CloseError = "Unable to close device handle!";
inline constexpr const char *RxQueueError = "Error Checking RX Queue";
}  // namespace linktext

// Time limits of a transaction, in milliseconds.
inline constexpr std::uint32_t kWriteTimeoutMs = 4000;
inline constexpr std::uint32_t kReplyWaitMs = 4000;
inline constexpr std::uint32_t kReadTimeoutMs = 4000;

class UsbLink {
public:
    // Shows a modal warning box without a parent window and with the caption " ".
    using MessageBox = std::function<void(const char *text)>;

    UsbLink(UsbLibrary &library, Clock &clock, MessageBox messageBox);

    bool FindUsbDevice(const std::string &identity, std::uint32_t &index);
    bool OpenUsbDevice(std::uint32_t index);
    void CloseUsbDevice();
    bool UsbReadTimed(std::uint8_t *buffer, std::uint32_t count, std::uint32_t &got,
                      std::uint32_t timeoutMs);
    bool UsbWriteTimed(const std::uint8_t *buffer, std::uint32_t count, std::uint32_t &written,
                       std::uint32_t timeoutMs);
    // Sends `requestLength` bytes of `request` and waits for one reply. True when at
    // least `expectedLength` bytes arrived; they (and any more, up to 64) are at the
    // start of `reply`. On a short reply the bytes that did arrive are there too.
    bool UsbTransact(ReplyBuffer &reply, const std::uint8_t *request,
                     std::uint32_t expectedLength, std::uint32_t requestLength);

    bool isOpen() const { return deviceHandle != kInvalidUsbHandle; }
    Clock &clock() { return clock_; }

    UsbHandle deviceHandle = kInvalidUsbHandle;
    std::uint32_t deviceIndex = 0;
    const std::string deviceSerial = "2024";
    std::uint8_t usbBusy = 0;

private:
    UsbLibrary &library_;
    Clock &clock_;
    MessageBox messageBox_;
};

}  // namespace brimel
