// libusb-1.0 backend. Everything runs on the caller's thread: a bulk IN transfer stays
// submitted while a device is open, and libusb's events are handled inside the queue
// check, the read and the write, so received bytes collect in a host-side queue
// without a thread of our own and without busy polling.
#include "device/LibusbLibrary.h"

#include <grp.h>
#include <libusb.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "device/Commands.h"
#include "device/ScopeGuard.h"
#include "device/UsbDeviceTable.h"

namespace brimel {

namespace {

constexpr unsigned kControlTimeoutMs = 1000;

// One of the bridge's vendor requests (open, close, flush); its outcome is not used.
void vendorRequest(libusb_device_handle *handle, std::uint16_t value) {
    libusb_control_transfer(handle, bridge::VendorOut, bridge::Request, value, 0, nullptr, 0,
                            kControlTimeoutMs);
}

using SteadyMs = std::chrono::milliseconds;

std::chrono::steady_clock::time_point now() {
    return std::chrono::steady_clock::now();
}

std::string describe(libusb_device *device) {
    libusb_device_descriptor desc{};
    libusb_get_device_descriptor(device, &desc);
    char text[64];
    std::snprintf(text, sizeof text, "%04x:%04x on bus %03u device %03u", desc.idVendor,
                  desc.idProduct, libusb_get_bus_number(device), libusb_get_device_address(device));
    return text;
}

}  // namespace

std::string portPath(libusb_device *device) {
    std::uint8_t ports[8] = {};
    const int n = libusb_get_port_numbers(device, ports, sizeof ports);
    if (n < 0) return {};
    std::string path = std::to_string(libusb_get_bus_number(device));
    for (int i = 0; i < n; ++i) path += (i == 0 ? "-" : ".") + std::to_string(ports[i]);
    return path;
}

struct LibusbLibrary::OpenDevice {
    libusb_device *device = nullptr;
    libusb_device_handle *handle = nullptr;
    std::uint8_t endpointIn = 0;
    std::uint8_t endpointOut = 0;
    std::vector<std::uint8_t> inBuffer;
    libusb_transfer *transfer = nullptr;
    int transferDone = 1;  // 0 while the IN transfer is submitted
    bool gone = false;     // the device left the bus
    bool stalled = false;  // the IN endpoint halted; cleared before the next wait
    std::deque<std::uint8_t> received;

    static void LIBUSB_CALL inComplete(libusb_transfer *t) {
        auto *self = static_cast<OpenDevice *>(t->user_data);
        // Whatever arrived counts, also on a timeout; a zero-length packet adds nothing.
        if (t->actual_length > 0)
            self->received.insert(self->received.end(), t->buffer, t->buffer + t->actual_length);
        switch (t->status) {
            case LIBUSB_TRANSFER_CANCELLED:
                self->transferDone = 1;
                return;
            case LIBUSB_TRANSFER_NO_DEVICE:
                self->gone = true;
                self->transferDone = 1;
                return;
            case LIBUSB_TRANSFER_STALL:
                // Resubmitting to a halted endpoint only fails again at once. The halt
                // is cleared outside the callback, where a synchronous request may run.
                self->stalled = true;
                self->transferDone = 1;
                return;
            default:
                break;
        }
        if (libusb_submit_transfer(t) != LIBUSB_SUCCESS) {
            self->transferDone = 1;
            self->gone = true;
        }
    }
};

LibusbLibrary::LibusbLibrary(Options options) : options_(options) {
    if (libusb_init(&context_) != LIBUSB_SUCCESS) context_ = nullptr;
}

LibusbLibrary::~LibusbLibrary() {
    while (!open_.empty()) close(open_.begin()->first);
    releaseList();
    if (context_) libusb_exit(context_);
}

void LibusbLibrary::releaseList() {
    matches_.clear();
    if (list_) libusb_free_device_list(list_, 1);
    list_ = nullptr;
}

std::string accessDeniedLine(const std::string &device, const std::string &node,
                             const std::string &owner) {
    return "brimel: permission denied opening the USB device " + device + " (" + node +
           "). Install the udev rule 70-brimel.rules into /etc/udev/rules.d or "
           "/usr/lib/udev/rules.d, run 'sudo udevadm control --reload' and re-plug the "
           "Brimel; or add your user to " +
           owner + " of " + node + " and log in again.\n";
}

void LibusbLibrary::reportAccessDenied(libusb_device *device) {
    if (!options_.reportProblems) return;
    const std::string where = describe(device);
    if (!reported_.insert(where).second) return;
    char node[64];
    std::snprintf(node, sizeof node, "/dev/bus/usb/%03u/%03u", libusb_get_bus_number(device),
                  libusb_get_device_address(device));
    std::string owner = "its group";
    struct stat st {};
    if (::stat(node, &st) == 0) {
        if (const struct group *g = ::getgrgid(st.st_gid))
            owner = std::string("group '") + g->gr_name + "'";
    }
    std::fputs(accessDeniedLine(where, node, owner).c_str(), stderr);
}

void LibusbLibrary::handleEvents(int ms, int *done) {
    timeval tv{0, static_cast<suseconds_t>(ms) * 1000};
    libusb_handle_events_timeout_completed(context_, &tv, done);
}

LibusbLibrary::OpenDevice *LibusbLibrary::deviceFor(UsbHandle handle) {
    const auto it = open_.find(handle);
    return it == open_.end() ? nullptr : it->second.get();
}

int LibusbLibrary::getNumDevices(std::uint32_t &count) {
    if (!context_) return UsbIoError;
    releaseList();
    const ssize_t n = libusb_get_device_list(context_, &list_);
    if (n < 0) {
        list_ = nullptr;
        return UsbIoError;
    }
    for (ssize_t i = 0; i < n; ++i) {
        libusb_device_descriptor desc{};
        if (libusb_get_device_descriptor(list_[i], &desc) == LIBUSB_SUCCESS &&
            isSupportedUsbDevice(desc.idVendor, desc.idProduct))
            matches_.push_back(list_[i]);
    }
    count = static_cast<std::uint32_t>(matches_.size());
    return UsbOk;
}

int LibusbLibrary::getDeviceString(std::uint32_t index, char *buffer, DeviceStringKind kind) {
    if (index >= matches_.size() || buffer == nullptr) return UsbDeviceNotFound;
    libusb_device *device = matches_[index];
    if (kind == DeviceStringKind::PortPath) {
        const std::string path = portPath(device);
        if (path.empty()) return UsbIoError;
        const std::size_t n = std::min<std::size_t>(path.size(), kDeviceStringSize - 1);
        std::memcpy(buffer, path.data(), n);
        buffer[n] = '\0';
        return UsbOk;
    }
    libusb_device_descriptor desc{};
    if (libusb_get_device_descriptor(device, &desc) != LIBUSB_SUCCESS) return UsbIoError;
    const std::uint8_t stringIndex =
        kind == DeviceStringKind::SerialNumber ? desc.iSerialNumber : desc.iProduct;
    if (stringIndex == 0) return UsbInvalidParameter;

    // Use the open handle when we have one; otherwise open the device just for this.
    libusb_device_handle *handle = nullptr;
    for (const auto &[h, open] : open_)
        if (open->device == device) handle = open->handle;
    bool temporary = false;
    if (!handle) {
        const int r = libusb_open(device, &handle);
        if (r == LIBUSB_ERROR_ACCESS) reportAccessDenied(device);
        if (r != LIBUSB_SUCCESS) return r == LIBUSB_ERROR_ACCESS ? UsbAccessDenied : UsbIoError;
        temporary = true;
    }
    unsigned char text[kDeviceStringSize] = {};
    const int len = libusb_get_string_descriptor_ascii(handle, stringIndex, text, sizeof text);
    if (temporary) libusb_close(handle);
    if (len < 0) return UsbIoError;
    const std::size_t n =
        std::min<std::size_t>(static_cast<std::size_t>(len), kDeviceStringSize - 1);
    std::memcpy(buffer, text, n);
    buffer[n] = '\0';
    return UsbOk;
}

int LibusbLibrary::open(std::uint32_t index, UsbHandle &handle) {
    if (index >= matches_.size()) return UsbDeviceNotFound;
    auto dev = std::make_unique<OpenDevice>();
    dev->device = matches_[index];

    int r = libusb_open(dev->device, &dev->handle);
    if (r == LIBUSB_ERROR_ACCESS) reportAccessDenied(dev->device);
    if (r != LIBUSB_SUCCESS) return r == LIBUSB_ERROR_ACCESS ? UsbAccessDenied : UsbIoError;
    ScopeGuard closeHandle([&] { libusb_close(dev->handle); });

    // The kernel's cp210x driver binds these IDs: let libusb detach it while we hold
    // the interface and give it back on release. libusb never detaches another
    // program's claim (usbfs), so a device in use elsewhere fails with "busy".
    libusb_set_auto_detach_kernel_driver(dev->handle, 1);
    r = libusb_claim_interface(dev->handle, 0);
    if (r != LIBUSB_SUCCESS) {
        if (r == LIBUSB_ERROR_BUSY && options_.reportProblems)
            std::fprintf(stderr, "brimel: the USB device %s is in use by another program.\n",
                         describe(dev->device).c_str());
        if (r == LIBUSB_ERROR_BUSY) return UsbBusy;
        return r == LIBUSB_ERROR_ACCESS ? UsbAccessDenied : UsbIoError;
    }
    ScopeGuard releaseInterface([&] { libusb_release_interface(dev->handle, 0); });

    // Bulk endpoints of interface 0, from the descriptor (0x81/0x01 and 0x82/0x02 occur).
    std::uint16_t maxPacket = 64;
    libusb_config_descriptor *config = nullptr;
    if (libusb_get_active_config_descriptor(dev->device, &config) == LIBUSB_SUCCESS) {
        if (config->bNumInterfaces > 0 && config->interface[0].num_altsetting > 0) {
            const libusb_interface_descriptor &alt = config->interface[0].altsetting[0];
            for (int e = 0; e < alt.bNumEndpoints; ++e) {
                const libusb_endpoint_descriptor &ep = alt.endpoint[e];
                if ((ep.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK) !=
                    LIBUSB_ENDPOINT_TRANSFER_TYPE_BULK)
                    continue;
                if ((ep.bEndpointAddress & LIBUSB_ENDPOINT_DIR_MASK) == LIBUSB_ENDPOINT_IN) {
                    if (!dev->endpointIn) {
                        dev->endpointIn = ep.bEndpointAddress;
                        maxPacket = ep.wMaxPacketSize ? ep.wMaxPacketSize : 64;
                    }
                } else if (!dev->endpointOut) {
                    dev->endpointOut = ep.bEndpointAddress;
                }
            }
        }
        libusb_free_config_descriptor(config);
    }
    if (!dev->endpointIn || !dev->endpointOut) return UsbIoError;

    vendorRequest(dev->handle, bridge::ClearToSend);

    // One packet per transfer: a buffer of exactly one packet completes on each packet.
    dev->inBuffer.assign(maxPacket, 0);
    dev->transfer = libusb_alloc_transfer(0);
    if (!dev->transfer) return UsbIoError;
    ScopeGuard freeTransfer([&] { libusb_free_transfer(dev->transfer); });
    libusb_fill_bulk_transfer(dev->transfer, dev->handle, dev->endpointIn, dev->inBuffer.data(),
                              static_cast<int>(dev->inBuffer.size()), &OpenDevice::inComplete,
                              dev.get(), 0);
    if (libusb_submit_transfer(dev->transfer) != LIBUSB_SUCCESS) return UsbIoError;
    dev->transferDone = 0;

    freeTransfer.dismiss();
    releaseInterface.dismiss();
    closeHandle.dismiss();
    handle = reinterpret_cast<UsbHandle>(dev.get());
    open_[handle] = std::move(dev);
    return UsbOk;
}

int LibusbLibrary::close(UsbHandle handle) {
    const auto it = open_.find(handle);
    if (it == open_.end()) return UsbInvalidHandle;
    OpenDevice &dev = *it->second;

    if (!dev.transferDone) {
        libusb_cancel_transfer(dev.transfer);
        const auto deadline = now() + SteadyMs(1000);
        while (!dev.transferDone && now() < deadline) handleEvents(50, &dev.transferDone);
    }
    int status = UsbOk;
    if (!dev.gone) vendorRequest(dev.handle, bridge::Release);
    if (libusb_release_interface(dev.handle, 0) != LIBUSB_SUCCESS && !dev.gone) status = UsbIoError;
    libusb_close(dev.handle);
    if (dev.transferDone) {
        libusb_free_transfer(dev.transfer);
    } else {
        // libusb never gave the cancelled transfer back: leave it and its buffer alone
        // rather than free memory it may still write to.
        status = UsbIoError;
        (void)it->second.release();
    }
    open_.erase(it);
    return status;
}

int LibusbLibrary::write(UsbHandle handle, const std::uint8_t *buffer, std::uint32_t toWrite,
                         std::uint32_t &written) {
    written = 0;
    OpenDevice *dev = deviceFor(handle);
    if (!dev) return UsbInvalidHandle;
    if (dev->gone) return UsbIoError;
    int transferred = 0;
    const int r =
        libusb_bulk_transfer(dev->handle, dev->endpointOut, const_cast<std::uint8_t *>(buffer),
                             static_cast<int>(toWrite), &transferred, writeTimeout_);
    written = static_cast<std::uint32_t>(std::max(transferred, 0));
    if (r == LIBUSB_ERROR_NO_DEVICE) dev->gone = true;
    if (r != LIBUSB_SUCCESS) return r == LIBUSB_ERROR_TIMEOUT ? UsbTimeout : UsbWriteError;
    return written == toWrite ? UsbOk : UsbWriteError;
}

void LibusbLibrary::recoverFromStall(OpenDevice &dev) {
    if (!dev.stalled || dev.gone) return;
    dev.stalled = false;
    const int r = libusb_clear_halt(dev.handle, dev.endpointIn);
    if (r == LIBUSB_ERROR_NO_DEVICE) {
        dev.gone = true;
        return;
    }
    if (libusb_submit_transfer(dev.transfer) == LIBUSB_SUCCESS)
        dev.transferDone = 0;
    else
        dev.gone = true;
}

int LibusbLibrary::read(UsbHandle handle, std::uint8_t *buffer, std::uint32_t toRead,
                        std::uint32_t &got) {
    got = 0;
    OpenDevice *dev = deviceFor(handle);
    if (!dev) return UsbInvalidHandle;
    recoverFromStall(*dev);
    const auto deadline = now() + SteadyMs(readTimeout_);
    while (dev->received.empty() && !dev->gone && !dev->transferDone) {
        const auto left = std::chrono::duration_cast<SteadyMs>(deadline - now()).count();
        if (left <= 0) break;
        handleEvents(static_cast<int>(std::min<long long>(left, 100)));
    }
    if (dev->received.empty()) return dev->gone ? UsbIoError : UsbTimeout;
    const std::size_t n = std::min<std::size_t>(toRead, dev->received.size());
    std::copy_n(dev->received.begin(), n, buffer);
    dev->received.erase(dev->received.begin(), dev->received.begin() + static_cast<long>(n));
    got = static_cast<std::uint32_t>(n);
    return UsbOk;
}

int LibusbLibrary::flushBuffers(UsbHandle handle, bool flushTransmit, bool flushReceive) {
    OpenDevice *dev = deviceFor(handle);
    if (!dev) return UsbInvalidHandle;
    if (flushReceive) {
        handleEvents(0);  // take in what already arrived, so it is dropped too
        dev->received.clear();
    }
    if ((flushTransmit || flushReceive) && !dev->gone) vendorRequest(dev->handle, bridge::Flush);
    return UsbOk;
}

int LibusbLibrary::setTimeouts(std::uint32_t readMs, std::uint32_t writeMs) {
    readTimeout_ = readMs;
    writeTimeout_ = writeMs;
    return UsbOk;
}

int LibusbLibrary::getTimeouts(std::uint32_t &readMs, std::uint32_t &writeMs) {
    readMs = readTimeout_;
    writeMs = writeTimeout_;
    return UsbOk;
}

int LibusbLibrary::checkRxQueue(UsbHandle handle, std::uint32_t &queued,
                                std::uint32_t &queueStatus) {
    queued = 0;
    queueStatus = 0;
    OpenDevice *dev = deviceFor(handle);
    if (!dev) return UsbInvalidHandle;
    recoverFromStall(*dev);
    if (dev->received.empty() && !dev->gone) handleEvents(kQueueWaitMs);
    if (dev->gone && dev->received.empty()) return UsbIoError;
    queued = static_cast<std::uint32_t>(dev->received.size());
    return UsbOk;
}

}  // namespace brimel
