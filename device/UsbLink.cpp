// Discovery, open/close and the request/reply transaction over a UsbLibrary.
#include "device/UsbLink.h"

#include <algorithm>
#include <array>

namespace brimel {

UsbLink::UsbLink(UsbLibrary &library, Clock &clock, ProblemReport report)
    : library_(library), clock_(clock), report_(std::move(report)) {}

bool UsbLink::FindUsbDevice(const std::string &identity, std::uint32_t &index) {
    deviceHandle = kInvalidUsbHandle;
    std::uint32_t count = 0;
    if (library_.getNumDevices(count) != UsbOk) {
        report(LinkProblem::NoDevice);
        return false;
    }
    for (std::uint32_t i = 0; i < count; ++i) {
        std::array<char, kDeviceStringSize> buffer{};
        if (library_.getDeviceString(i, buffer.data(), DeviceStringKind::SerialNumber) != UsbOk)
            continue;          // a device whose string cannot be fetched is skipped
        buffer.back() = '\0';  // never trust the backend to terminate it
        if (identity == buffer.data()) {
            index = i;
            return true;
        }
    }
    report(LinkProblem::NoDevice);
    return false;
}

bool UsbLink::OpenUsbDevice(std::uint32_t index) {
    UsbHandle handle = kInvalidUsbHandle;
    lastOpenStatus_ = library_.open(index, handle);
    if (lastOpenStatus_ != UsbOk) {
        report(LinkProblem::OpenFailed);
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
    if (library_.close(handle) != UsbOk) report(LinkProblem::CloseFailed);
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

bool UsbLink::UsbWriteTimed(const std::uint8_t *buffer, std::uint32_t count, std::uint32_t &written,
                            std::uint32_t timeoutMs) {
    std::uint32_t keptRead = 0, keptWrite = 0;
    library_.getTimeouts(keptRead, keptWrite);
    library_.setTimeouts(0, timeoutMs);
    const int status = library_.write(deviceHandle, buffer, count, written);
    library_.setTimeouts(keptRead, keptWrite);
    return status == UsbOk;
}

bool UsbLink::UsbTransact(ReplyBuffer &reply, std::span<const std::uint8_t> request,
                          std::uint32_t expectedLength) {
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
    lastReceived_ = 0;
    lastFailure_ = TransactFailure::None;
    const auto fail = [this](TransactFailure why) {
        if (lastFailure_ == TransactFailure::None) lastFailure_ = why;
        return false;
    };

    if (deviceHandle == kInvalidUsbHandle) return fail(TransactFailure::NotOpen);

    library_.flushBuffers(deviceHandle, true, true);

    std::uint32_t written = 0;
    if (!UsbWriteTimed(request.data(), static_cast<std::uint32_t>(request.size()), written,
                       kWriteTimeoutMs))
        return fail(TransactFailure::WriteFailed);

    // Wait for the first reply byte. The time limit counts from the start of the
    // transaction; unsigned subtraction stays right across the tick's wrap.
    while (queued < 1) {
        if (clock_.tickMs() - start >= kReplyWaitMs) break;
        std::uint32_t queueStatus = 0;
        if (library_.checkRxQueue(deviceHandle, queued, queueStatus) != UsbOk) {
            queued = 0;
            report(LinkProblem::QueueCheckFailed);
            ok = fail(TransactFailure::QueueCheckFailed);
        }
    }

    if (ok && queued >= 1) {
        std::array<std::uint8_t, kReplySize> scratch{};
        if (!UsbReadTimed(scratch.data(), kReplySize, got, kReadTimeoutMs))
            ok = fail(TransactFailure::ReadFailed);
        got = std::min<std::uint32_t>(got, kReplySize);
        std::copy_n(scratch.begin(), got, reply.begin());
        lastReceived_ = got;
        if (got < expectedLength) ok = fail(TransactFailure::ShortReply);
    }
    if (queued < 1) ok = fail(TransactFailure::NoReply);
    return ok;
}

}  // namespace brimel
