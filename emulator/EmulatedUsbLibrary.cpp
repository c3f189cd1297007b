// The emulated bus and its receive queue.
#include "emulator/EmulatedUsbLibrary.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace brimel {

EmulatedUsbLibrary::EmulatedUsbLibrary(Clock &clock, std::uint32_t latency)
    : latencyMs(latency), clock_(clock) {}

void EmulatedUsbLibrary::attach(EmulatedDevice &device, std::string serial, std::string description,
                                bool stringFails, std::string portPath) {
    Slot slot;
    slot.device = &device;
    slot.serial = std::move(serial);
    slot.description = std::move(description);
    slot.stringFails = stringFails;
    slot.portPath = portPath.empty() ? "1-" + std::to_string(bus_.size() + 1) : std::move(portPath);
    bus_.push_back(std::move(slot));
}

// Handles are the bus position plus one, so that 0 and all ones are never valid.
EmulatedUsbLibrary::Slot *EmulatedUsbLibrary::slotFor(UsbHandle handle) {
    if (handle == 0 || handle > bus_.size()) return nullptr;
    Slot &slot = bus_[handle - 1];
    return slot.open ? &slot : nullptr;
}

bool EmulatedUsbLibrary::isOpen(std::uint32_t index) const {
    return index < bus_.size() && bus_[index].open;
}

bool EmulatedUsbLibrary::arrived(const Slot &slot) {
    return slot.pending && static_cast<std::int32_t>(clock_.tickMs() - slot.readyAt) >= 0;
}

int EmulatedUsbLibrary::getNumDevices(std::uint32_t &count) {
    if (faults.countFails) return UsbIoError;
    // An unplugged device stays counted but its string can no longer be fetched,
    // so positions on the bus never shift under a test.
    count = static_cast<std::uint32_t>(bus_.size());
    return UsbOk;
}

int EmulatedUsbLibrary::getDeviceString(std::uint32_t index, char *buffer, DeviceStringKind kind) {
    if (index >= bus_.size() || buffer == nullptr) return UsbDeviceNotFound;
    const Slot &slot = bus_[index];
    if (slot.device->unplugged()) return UsbIoError;
    // The port path comes from the bus's topology; the other strings from the device.
    if (slot.stringFails && kind != DeviceStringKind::PortPath) return UsbIoError;
    const std::string &text = kind == DeviceStringKind::SerialNumber ? slot.serial
                              : kind == DeviceStringKind::PortPath   ? slot.portPath
                                                                     : slot.description;
    const std::size_t n = std::min<std::size_t>(text.size(), kDeviceStringSize - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return UsbOk;
}

int EmulatedUsbLibrary::open(std::uint32_t index, UsbHandle &handle) {
    if (faults.openFails || index >= bus_.size() || bus_[index].device->unplugged())
        return UsbDeviceNotFound;
    if (faults.openStatus != UsbOk) return faults.openStatus;
    bus_[index].open = true;
    bus_[index].pending.reset();
    handle = index + 1;
    ++openCount;
    return UsbOk;
}

int EmulatedUsbLibrary::close(UsbHandle handle) {
    Slot *slot = slotFor(handle);
    if (!slot) return UsbInvalidHandle;
    ++closeCount;
    slot->open = false;
    slot->pending.reset();
    return faults.closeFails ? UsbIoError : UsbOk;
}

int EmulatedUsbLibrary::write(UsbHandle handle, const std::uint8_t *buffer, std::uint32_t toWrite,
                              std::uint32_t &written) {
    ++writeCount;
    written = 0;
    Slot *slot = slotFor(handle);
    if (!slot) return UsbInvalidHandle;
    if (faults.writeFails || slot->device->unplugged()) {
        clock_.sleepMs(writeTimeout_);
        return UsbWriteError;
    }
    written = toWrite;
    slot->pending = slot->device->receive(std::span<const std::uint8_t>(buffer, toWrite));
    if (slot->pending && slot->pending->empty()) slot->pending.reset();
    slot->readyAt = clock_.tickMs() + latencyMs;
    return UsbOk;
}

int EmulatedUsbLibrary::checkRxQueue(UsbHandle handle, std::uint32_t &queued,
                                     std::uint32_t &queueStatus) {
    ++queueChecks;
    queued = 0;
    queueStatus = 0;
    Slot *slot = slotFor(handle);
    if (!slot) return UsbInvalidHandle;
    if (faults.queueCheckFails || slot->device->unplugged()) {
        clock_.sleepMs(1);
        return UsbIoError;
    }
    if (arrived(*slot)) {
        queued = static_cast<std::uint32_t>(slot->pending->size());
        return UsbOk;
    }
    // Nothing yet: wait a little, as a real queue check would, but not past the reply.
    std::uint32_t wait = queueWaitMs;
    if (slot->pending) wait = std::min(wait, slot->readyAt - clock_.tickMs());
    clock_.sleepMs(std::max<std::uint32_t>(wait, 1));
    return UsbOk;
}

int EmulatedUsbLibrary::read(UsbHandle handle, std::uint8_t *buffer, std::uint32_t toRead,
                             std::uint32_t &got) {
    ++readCount;
    got = 0;
    Slot *slot = slotFor(handle);
    if (!slot) return UsbInvalidHandle;
    const std::uint32_t start = clock_.tickMs();
    while (!arrived(*slot)) {
        if (slot->device->unplugged() || !slot->pending || clock_.tickMs() - start >= readTimeout_)
            return UsbTimeout;
        clock_.sleepMs(1);
    }
    const std::size_t n = std::min<std::size_t>(toRead, slot->pending->size());
    std::copy_n(slot->pending->begin(), n, buffer);
    got = static_cast<std::uint32_t>(n);
    slot->pending.reset();
    return UsbOk;
}

int EmulatedUsbLibrary::flushBuffers(UsbHandle handle, bool, bool flushReceive) {
    Slot *slot = slotFor(handle);
    if (!slot) return UsbInvalidHandle;
    if (flushReceive) slot->pending.reset();
    return UsbOk;
}

int EmulatedUsbLibrary::setTimeouts(std::uint32_t readMs, std::uint32_t writeMs) {
    readTimeout_ = readMs;
    writeTimeout_ = writeMs;
    return UsbOk;
}

int EmulatedUsbLibrary::getTimeouts(std::uint32_t &readMs, std::uint32_t &writeMs) {
    readMs = readTimeout_;
    writeMs = writeTimeout_;
    return UsbOk;
}

}  // namespace brimel
