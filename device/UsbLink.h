// The USB link: finds the Brimel by its serial-number string, opens and closes it,
// and carries one request/reply transaction at a time.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "device/Clock.h"
#include "device/Commands.h"
#include "device/UsbLibrary.h"

namespace brimel {

// Problems the link reports the moment they happen (the window shows each in a modal
// box; other front ends print or ignore them). Callers still get the failure as a result.
enum class LinkProblem : std::uint8_t {
    NoDevice,          // the device count could not be read, or no device matched
    OpenFailed,        // the device was found but could not be opened
    CloseFailed,       // the device did not close cleanly
    QueueCheckFailed,  // a receive-queue check failed while waiting for a reply
};

// Why a transaction failed.
enum class TransactFailure : std::uint8_t {
    None,
    NotOpen,           // no device open: nothing was sent
    WriteFailed,       // the request could not be written
    QueueCheckFailed,  // a receive-queue check failed while waiting
    NoReply,           // no reply byte within the wait
    ReadFailed,        // the read of a waiting reply failed
    ShortReply,        // fewer bytes than expected arrived
};

// Time limits of a transaction, in milliseconds.
inline constexpr std::uint32_t kWriteTimeoutMs = 4000;
inline constexpr std::uint32_t kReplyWaitMs = 4000;
inline constexpr std::uint32_t kReadTimeoutMs = 4000;

class UsbLink {
public:
    using ProblemReport = std::function<void(LinkProblem)>;

    UsbLink(UsbLibrary &library, Clock &clock, ProblemReport report);

    bool FindUsbDevice(const std::string &identity, std::uint32_t &index);
    bool OpenUsbDevice(std::uint32_t index);
    void CloseUsbDevice();
    bool UsbReadTimed(std::uint8_t *buffer, std::uint32_t count, std::uint32_t &got,
                      std::uint32_t timeoutMs);
    bool UsbWriteTimed(const std::uint8_t *buffer, std::uint32_t count, std::uint32_t &written,
                       std::uint32_t timeoutMs);
    // Sends the whole request frame and waits for one reply. True when at least
    // `expectedLength` bytes arrived; they (and any more, up to 64) are at the start of
    // `reply`. On a short reply the bytes that did arrive are there too.
    bool UsbTransact(ReplyBuffer &reply, std::span<const std::uint8_t> request,
                     std::uint32_t expectedLength);

    // Why the last transaction failed (None after a success), and how many reply bytes
    // it received.
    TransactFailure lastFailure() const { return lastFailure_; }
    std::uint32_t lastReceived() const { return lastReceived_; }
    // The library's status of the last open (UsbOk after a success).
    int lastOpenStatus() const { return lastOpenStatus_; }

    bool isOpen() const { return deviceHandle != kInvalidUsbHandle; }
    Clock &clock() { return clock_; }
    UsbLibrary &library() { return library_; }

    UsbHandle deviceHandle = kInvalidUsbHandle;
    std::uint32_t deviceIndex = 0;
    const std::string deviceSerial = "2024";
    std::uint8_t usbBusy = 0;

private:
    void report(LinkProblem problem) {
        if (report_) report_(problem);
    }

    UsbLibrary &library_;
    Clock &clock_;
    ProblemReport report_;
    TransactFailure lastFailure_ = TransactFailure::None;
    std::uint32_t lastReceived_ = 0;
    int lastOpenStatus_ = UsbOk;
};

}  // namespace brimel
