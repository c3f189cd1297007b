// Discovery, open/close and the request/reply transaction over a UsbLibrary.
#include "device/UsbLink.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace brimel {

UsbLink::UsbLink(UsbLibrary &library, Clock &clock, MessageBox messageBox)
    : library_(library), clock_(clock), messageBox_(std::move(messageBox)) {}

bool UsbLink::FindUsbDevice(const std::string &identity, std::uint32_t &index) {
    deviceHandle = kInvalidUsbHandle;
    std::uint32_t count = 0;
    if (library_.getNumDevices(count) != UsbOk) {
        messageBox_(linktext::ConnectAndRestart);
        return false;
    }
    for (std::uint32_t i = 0; i < count; ++i) {
        std::array<char, kDeviceStringSize> buffer{};
        if (library_.getDeviceString(i, buffer.data(), DeviceStringKind::SerialNumber) != UsbOk)
            continue;  // a device whose string cannot be fetched is skipped
        buffer.back() = '\0';  // never trust the backend to terminate it
        if (identity == buffer.data()) {
            index = i;
            return true;
        }
    }
    messageBox_(linktext::ConnectAndRestart);
    return false;
}

bool UsbLink::OpenUsbDevice(std::uint32_t index) {
    UsbHandle handle = kInvalidUsbHandle;
    if (library_.open(index, handle) != UsbOk) {
        messageBox_(linktext::OpenError);
        deviceHandle = kInvalidUsbHandle;
        return false;
    }
    deviceHandle = handle;
    return true;
}

void UsbLink::CloseUsbDevice() {
    if (deviceHandle == kInvalidUsbHandle) return;
    const UsbHandle handle = deviceHandle;
    deviceHandle = kInvalidUsbHandle;
    if (library_.close(handle) != UsbOk) messageBox_(linktext::CloseError);
}

bool UsbLink::UsbReadTimed(std::uint8_t *buffer, std::uint32_t count, std::uint32_t &got,
                           std::uint32_t timeoutMs) {
    std::uint32_t keptRead = 0, keptWrite = 0;
    library_.getTimeouts(keptRead, keptWrite);
    library_.setTimeouts(timeoutMs, 0);
    const int status = library_.read(deviceHandle, buffer, count, got);
    library_.setTimeouts(keptRead, keptWrite);
    return status == UsbOk;
}

bool UsbLink::UsbWriteTimed(const std::uint8_t *buffer, std::uint32_t count,
                            std::uint32_t &written, std::uint32_t timeoutMs) {
    std::uint32_t keptRead = 0, keptWrite = 0;
    library_.getTimeouts(keptRead, keptWrite);
    library_.setTimeouts(0, timeoutMs);
    const int status = library_.write(deviceHandle, buffer, count, written);
    library_.setTimeouts(keptRead, keptWrite);
    return status == UsbOk;
}

bool UsbLink::UsbTransact(ReplyBuffer &reply, const std::uint8_t *request,
                          std::uint32_t expectedLength, std::uint32_t requestLength) {
    // The busy flag is cleared on every way out of this function.
    struct BusyGuard {
        std::uint8_t &flag;
        explicit BusyGuard(std::uint8_t &f) : flag(f) { flag = 1; }
        ~BusyGuard() { flag = 0; }
    };

    bool ok = true;
    std::uint32_t queued = 0;
    std::uint32_t got = 0;
    const std::uint32_t start = clock_.tickMs();
    BusyGuard busy(usbBusy);

    if (deviceHandle == kInvalidUsbHandle) return false;

    library_.flushBuffers(deviceHandle, true, true);

    std::uint32_t written = 0;
    if (!UsbWriteTimed(request, requestLength, written, kWriteTimeoutMs)) return false;

    // Wait for the first reply byte. The time limit counts from the start of the
    // transaction; unsigned subtraction stays right across the tick's wrap.
    while (queued < 1) {
        if (clock_.tickMs() - start >= kReplyWaitMs) break;
        std::uint32_t queueStatus = 0;
        if (library_.checkRxQueue(deviceHandle, queued, queueStatus) != UsbOk) {
            queued = 0;
            messageBox_(linktext::RxQueueError);
            ok = false;
        }
    }

    if (ok && queued >= 1) {
        std::array<std::uint8_t, kReplySize> scratch{};
        ok = UsbReadTimed(scratch.data(), kReplySize, got, kReadTimeoutMs);
        got = std::min<std::uint32_t>(got, kReplySize);
        std::copy_n(scratch.begin(), got, reply.begin());
        if (got < expectedLength) ok = false;
    }
    if (queued < 1) ok = false;
    return ok;
}

}  // namespace brimel
