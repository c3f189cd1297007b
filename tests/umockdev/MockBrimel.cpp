// The umockdev side of the emulated Brimel: its sysfs record and the usbdevfs ioctls
// libusb issues (URBs, claim and release, kernel-driver handover), answered the way
// the kernel and the bridge would, for every process that opens the device node.
#include "tests/umockdev/MockBrimel.h"

#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <umockdev.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <span>

namespace brimel::umock {

namespace {

constexpr std::uint8_t lo(std::uint16_t v) {
    return static_cast<std::uint8_t>(v & 0xFF);
}
constexpr std::uint8_t hi(std::uint16_t v) {
    return static_cast<std::uint8_t>(v >> 8);
}

// String descriptor indexes of the device descriptor.
constexpr std::uint8_t kManufacturerIndex = 1;
constexpr std::uint8_t kProductIndex = 2;
constexpr std::uint8_t kSerialIndex = 3;
constexpr std::uint16_t kLangEnglishUs = 0x0409;

// Requests of the bridge that the harness understands.
constexpr std::uint8_t kStandardIn = 0x80;
constexpr std::uint8_t kGetDescriptor = 0x06;
constexpr std::uint8_t kVendorOut = 0x40;
constexpr std::uint8_t kVendorRequest = 0x02;
constexpr std::size_t kSetupSize = 8;

constexpr std::uint32_t kCapabilities = USBDEVFS_CAP_ZERO_PACKET | USBDEVFS_CAP_BULK_CONTINUATION |
                                        USBDEVFS_CAP_NO_PACKET_SIZE_LIM |
                                        USBDEVFS_CAP_REAP_AFTER_DISCONNECT;
constexpr const char *kKernelDriver = "cp210x";
constexpr const char *kUsbfs = "usbfs";  // the kernel's name for a claim through usbfs

Bytes deviceDescriptor(const GadgetConfig &c) {
    // USB 2.00, class given per interface, 64-byte control endpoint.
    Bytes d{18, 1, 0x00, 0x02, 0x00, 0x00, 0x00, 64};
    for (const std::uint16_t v : {c.vendor, c.product, std::uint16_t{0x0100}}) {
        d.push_back(lo(v));
        d.push_back(hi(v));
    }
    d.insert(d.end(), {kManufacturerIndex, kProductIndex, kSerialIndex, 1});
    return d;
}

// One configuration, interface 0 (vendor class) with a bulk IN and a bulk OUT endpoint.
Bytes configDescriptor(const GadgetConfig &c) {
    // Configuration 1 (32 bytes in all, one interface, bus powered, 100 mA), then
    // interface 0 (two endpoints, vendor class) and its endpoints.
    Bytes d{9, 2, 32, 0, 1, 1, 0, 0x80, 50, 9, 4, 0, 0, 2, 0xFF, 0x00, 0x00, 0};
    const Bytes in{7, 5, c.endpointIn, 0x02, lo(c.maxPacket), hi(c.maxPacket), 0};
    const Bytes out{7, 5, c.endpointOut, 0x02, lo(c.maxPacket), hi(c.maxPacket), 0};
    for (const Bytes *ep : c.outDescriptorFirst ? std::array{&out, &in} : std::array{&in, &out})
        d.insert(d.end(), ep->begin(), ep->end());
    return d;
}

Bytes stringDescriptor(const std::string &text) {
    Bytes d{static_cast<std::uint8_t>(2 + 2 * text.size()), 3};
    for (const char ch : text) {
        d.push_back(static_cast<std::uint8_t>(ch));
        d.push_back(0);
    }
    return d;
}

std::string hex(const Bytes &bytes) {
    std::string out;
    char two[3];
    for (const std::uint8_t b : bytes) {
        std::snprintf(two, sizeof two, "%02x", b);
        out += two;
    }
    return out;
}

template <class... Args>
std::string printed(const char *pattern, Args... args) {
    char text[128];
    std::snprintf(text, sizeof text, pattern, args...);
    return text;
}

// The device as umockdev-record would describe it.
std::string deviceRecord(const GadgetConfig &c, const std::string &sysName, int devnum) {
    Bytes descriptors = deviceDescriptor(c);
    const Bytes config = configDescriptor(c);
    descriptors.insert(descriptors.end(), config.begin(), config.end());
    const std::string node = printed("bus/usb/001/%03d", devnum);
    const std::vector<std::string> lines{
        "P: /devices/pci0000:00/0000:00:14.0/usb1/" + sysName,
        "N: " + node,
        "E: DEVNAME=/dev/" + node,
        "E: DEVTYPE=usb_device",
        "E: DRIVER=usb",
        printed("E: PRODUCT=%x/%x/100", c.vendor, c.product),
        "E: TYPE=0/0/0",
        "E: BUSNUM=001",
        printed("E: DEVNUM=%03d", devnum),
        "E: MAJOR=189",
        printed("E: MINOR=%d", devnum - 1),
        "E: SUBSYSTEM=usb",
        "A: busnum=1",
        printed("A: devnum=%d", devnum),
        "A: speed=12",
        "A: bConfigurationValue=1",
        "A: bNumInterfaces= 1",
        printed("A: idVendor=%04x", c.vendor),
        printed("A: idProduct=%04x", c.product),
        "A: manufacturer=" + c.manufacturerString,
        "A: product=" + c.productString,
        "A: serial=" + c.serialString,
        printed("A: dev=189:%d", devnum - 1),
        "H: descriptors=" + hex(descriptors),
    };
    std::string text;
    for (const std::string &line : lines) text += line + "\n";
    return text + "\n";
}

// Interface 0 of the device, bound to the serial driver as the kernel binds it at plug-in.
std::string interfaceRecord(const GadgetConfig &c, const std::string &sysName) {
    const std::vector<std::string> lines{
        "P: /devices/pci0000:00/0000:00:14.0/usb1/" + sysName + "/" + sysName + ":1.0",
        "E: DEVTYPE=usb_interface",
        std::string("E: DRIVER=") + kKernelDriver,
        printed("E: PRODUCT=%x/%x/100", c.vendor, c.product),
        "E: TYPE=0/0/0",
        "E: INTERFACE=255/0/0",
        "E: SUBSYSTEM=usb",
        "A: bInterfaceNumber=00",
        "A: bAlternateSetting= 0",
        "A: bNumEndpoints=02",
        "A: bInterfaceClass=ff",
        "A: bInterfaceSubClass=00",
        "A: bInterfaceProtocol=00",
        std::string("L: driver=../../../../../../bus/usb/drivers/") + kKernelDriver,
    };
    std::string text;
    for (const std::string &line : lines) text += line + "\n";
    return text + "\n";
}

// The device and its interface, added to the testbed in that order.
std::string addDevice(UMockdevTestbed *testbed, const GadgetConfig &c, const std::string &sysName,
                      int devnum) {
    for (const std::string &text :
         {deviceRecord(c, sysName, devnum), interfaceRecord(c, sysName)}) {
        GError *error = nullptr;
        if (!umockdev_testbed_add_from_string(testbed, text.c_str(), &error)) {
            const std::string message = error ? error->message : "?";
            if (error) g_error_free(error);
            return message;
        }
    }
    return {};
}

// The structure an ioctl's argument points to, loaded from the client (a new reference).
UMockdevIoctlData *resolve(UMockdevIoctlData *data, std::size_t offset, std::size_t size) {
    GError *error = nullptr;
    UMockdevIoctlData *out = umockdev_ioctl_data_resolve(data, offset, size, &error);
    if (error) {
        g_error_free(error);
        return nullptr;
    }
    return out;
}

template <class T>
bool load(UMockdevIoctlData *data, T &out) {
    if (!data || data->data_len < static_cast<int>(sizeof(T))) return false;
    std::memcpy(&out, data->data, sizeof(T));
    return true;
}

template <class T>
void store(UMockdevIoctlData *data, const T &value) {
    std::memcpy(data->data, &value, sizeof(T));
}

std::size_t ioctlSize(unsigned long request) {
    return _IOC_SIZE(request);
}

}  // namespace

void MockBrimel::DataUnref::operator()(UMockdevIoctlData *data) const {
    g_object_unref(data);
}

MockBrimel::MockBrimel(GadgetConfig config) : config_(std::move(config)) {
    testbed_ = umockdev_testbed_new();
    if (const std::string refused = addDevice(testbed_, config_, "1-2", 2); !refused.empty()) {
        setupError_ = "device record refused: " + refused;
        return;
    }
    char *sys = umockdev_testbed_get_sys_dir(testbed_);
    driverLink_ = std::string(sys) + (kSysPath + 4) + "/1-2:1.0/driver";
    g_free(sys);
    GError *error = nullptr;
    handler_ = umockdev_ioctl_base_new();
    signalId_ = g_signal_connect(handler_, "handle-ioctl", G_CALLBACK(&MockBrimel::onIoctl), this);
    connectedId_ =
        g_signal_connect(handler_, "client-connected", G_CALLBACK(&MockBrimel::onConnected), this);
    if (!umockdev_testbed_attach_ioctl(testbed_, kDeviceNode, handler_, &error)) {
        setupError_ = std::string("ioctl handler not attached: ") + (error ? error->message : "?");
        if (error) g_error_free(error);
    }
}

MockBrimel::~MockBrimel() {
    std::set<UMockdevIoctlClient *> clients;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
        waitingIn_.clear();
        reapable_.clear();
        clients.swap(open_);
    }
    for (UMockdevIoctlClient *client : clients) g_object_unref(client);
    if (handler_) {
        g_signal_handler_disconnect(handler_, signalId_);
        g_signal_handler_disconnect(handler_, connectedId_);
        g_object_unref(handler_);
    }
    g_object_unref(testbed_);
}

bool MockBrimel::preloaded() const {
    char *dir = umockdev_testbed_get_sys_dir(testbed_);
    struct stat mocked = {};
    struct stat seen = {};
    const bool same = ::stat(dir, &mocked) == 0 && ::stat("/sys", &seen) == 0 &&
                      mocked.st_dev == seen.st_dev && mocked.st_ino == seen.st_ino;
    g_free(dir);
    return same;
}

GadgetRecord MockBrimel::record() {
    std::lock_guard<std::mutex> lock(mutex_);
    return snapshot();
}

GadgetRecord MockBrimel::snapshot() {
    sweepClosedClients();
    GadgetRecord r = record_;
    r.frames = device_.log();
    r.waitingInUrbs = waitingIn_.size();
    r.interfaceClaimed = claimant_ != nullptr;
    r.kernelDriverBound = driver_ == kKernelDriver;
    return r;
}

bool MockBrimel::waitFor(const std::function<bool(const GadgetRecord &)> &done, int limitMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(limitMs),
                             [&] { return done(snapshot()); });
}

void MockBrimel::onFrame(std::function<void(std::span<const std::uint8_t>)> hook) {
    std::lock_guard<std::mutex> lock(mutex_);
    frameHook_ = std::move(hook);
}

void MockBrimel::sendUnsolicited(const Bytes &packet) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (gone_) return;
    inPackets_.push_back(packet);
    deliverIn();
}

void MockBrimel::haltIn() {
    std::lock_guard<std::mutex> lock(mutex_);
    inHalted_ = true;
    stallWaitingIn();
}

void MockBrimel::unplug() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        device_.unplug();
        disconnect();
    }
    umockdev_testbed_uevent(testbed_, kSysPath, "remove");
    umockdev_testbed_remove_device(testbed_, kSysPath);
}

void MockBrimel::addOtherDevice(std::uint16_t vendor, std::uint16_t product,
                                const std::string &serial) {
    GadgetConfig other;
    other.vendor = vendor;
    other.product = product;
    other.serialString = serial;
    const int devnum = 3 + otherDevices_++;
    if (const std::string refused =
            addDevice(testbed_, other, "1-" + std::to_string(devnum), devnum);
        !refused.empty())
        setupError_ = "second device refused: " + refused;
}

// A new open of the device node. The reference keeps the client, and so its address,
// until it is seen closed.
void MockBrimel::onConnected(UMockdevIoctlBase *, UMockdevIoctlClient *client, void *self) {
    auto *mock = static_cast<MockBrimel *>(self);
    std::lock_guard<std::mutex> lock(mock->mutex_);
    if (mock->closed_) return;
    ++mock->record_.connections;
    mock->open_.insert(static_cast<UMockdevIoctlClient *>(g_object_ref(client)));
}

void MockBrimel::sweepClosedClients() {
    for (auto it = open_.begin(); it != open_.end();) {
        UMockdevIoctlClient *client = *it;
        if (umockdev_ioctl_client_get_connected(client)) {
            ++it;
            continue;
        }
        std::erase_if(waitingIn_, [&](const Urb &u) { return u.client == client; });
        reapable_.erase(client);
        if (claimant_ == client) {
            ++record_.claimsDroppedAtClose;
            setHolder({}, nullptr);
        }
        it = open_.erase(it);
        g_object_unref(client);
    }
}

void MockBrimel::setHolder(const std::string &driver, UMockdevIoctlClient *client) {
    driver_ = driver;
    claimant_ = client;
    if (driverLink_.empty()) return;
    std::error_code ec;
    std::filesystem::remove(driverLink_, ec);
    if (!driver.empty())
        std::filesystem::create_symlink("../../../../../../bus/usb/drivers/" + driver, driverLink_,
                                        ec);
    if (ec) violation("driver link not updated: " + ec.message());
}

// Runs on umockdev's worker thread for every ioctl on the device node.
int MockBrimel::onIoctl(UMockdevIoctlBase *, UMockdevIoctlClient *client, void *self) {
    auto *mock = static_cast<MockBrimel *>(self);
    Outcome outcome;
    {
        std::lock_guard<std::mutex> lock(mock->mutex_);
        if (mock->closed_) return FALSE;
        outcome = mock->dispatch(client, umockdev_ioctl_client_get_request(client),
                                 umockdev_ioctl_client_get_arg(client));
    }
    umockdev_ioctl_client_complete(client, outcome.result, outcome.error);
    mock->changed_.notify_all();
    return TRUE;
}

MockBrimel::Outcome MockBrimel::dispatch(UMockdevIoctlClient *client, unsigned long request,
                                         UMockdevIoctlData *arg) {
    sweepClosedClients();
    switch (request) {
        case USBDEVFS_GET_CAPABILITIES: {
            DataRef caps(resolve(arg, 0, sizeof(std::uint32_t)));
            if (!caps) return {-1, EFAULT};
            store(caps.get(), kCapabilities);
            return {};
        }
        case USBDEVFS_SUBMITURB:
            return submitUrb(client, arg);
        case USBDEVFS_REAPURB:  // never blocks here: nothing in libusb needs it to
        case USBDEVFS_REAPURBNDELAY:
            return reapUrb(client, arg);
        case USBDEVFS_DISCARDURB:
            return discardUrb(client, arg);
        case USBDEVFS_CLAIMINTERFACE:
            return claim(client, arg, false);
        case USBDEVFS_DISCONNECT_CLAIM:
            return claim(client, arg, true);
        case USBDEVFS_RELEASEINTERFACE:
            return release(client, arg);
        case USBDEVFS_IOCTL:
            return driverIoctl(client, arg);
        case USBDEVFS_GETDRIVER:
            return getDriver(arg);
        case USBDEVFS_CLEAR_HALT:
            return clearHalt(arg);
        default: {
            char text[64];
            std::snprintf(text, sizeof text, "unexpected ioctl 0x%lx", request);
            violation(text);
            return {-1, gone_ ? ENODEV : ENOTTY};
        }
    }
}

MockBrimel::Outcome MockBrimel::submitUrb(UMockdevIoctlClient *client, UMockdevIoctlData *arg) {
    if (gone_) return {-1, ENODEV};
    Urb urb;
    urb.client = client;
    urb.urb.reset(resolve(arg, 0, sizeof(usbdevfs_urb)));
    usbdevfs_urb fields{};
    if (!load(urb.urb.get(), fields)) return {-1, EFAULT};
    if (fields.buffer_length < 0) return {-1, EINVAL};
    if (fields.buffer_length > 0) {
        urb.buffer.reset(resolve(urb.urb.get(), offsetof(usbdevfs_urb, buffer),
                                 static_cast<std::size_t>(fields.buffer_length)));
        if (!urb.buffer) return {-1, EFAULT};
    }

    if (fields.type == USBDEVFS_URB_TYPE_CONTROL && fields.endpoint == 0) {
        if (fields.buffer_length < static_cast<int>(kSetupSize)) return {-1, EINVAL};
        controlTransfer(std::move(urb));
        return {};
    }
    if (fields.type != USBDEVFS_URB_TYPE_BULK ||
        (fields.endpoint != config_.endpointIn && fields.endpoint != config_.endpointOut)) {
        char text[96];
        std::snprintf(text, sizeof text,
                      "URB of type %u on endpoint 0x%02x, which the device does not have",
                      fields.type, fields.endpoint);
        violation(text);
        return {-1, ENOENT};
    }
    // The kernel takes a bulk URB only from the client that holds the interface.
    if (claimant_ != nullptr && claimant_ != client) {
        violation("bulk URB while another client holds interface 0");
        return {-1, EBUSY};
    }
    record_.bulkEndpoints.insert(fields.endpoint);
    if (claimant_ == nullptr) violation("bulk URB before interface 0 was claimed");
    if (fields.endpoint == config_.endpointOut) {
        bulkOut(std::move(urb));
    } else {
        waitingIn_.push_back(std::move(urb));
        if (inHalted_)
            stallWaitingIn();
        else
            deliverIn();
    }
    return {};
}

void MockBrimel::stallWaitingIn() {
    while (!waitingIn_.empty()) {
        Urb urb = std::move(waitingIn_.front());
        waitingIn_.pop_front();
        ++record_.stalledInUrbs;
        complete(std::move(urb), -EPIPE, 0);
    }
}

MockBrimel::Outcome MockBrimel::clearHalt(UMockdevIoctlData *arg) {
    if (gone_) return {-1, ENODEV};
    DataRef data(resolve(arg, 0, sizeof(unsigned int)));
    unsigned int endpoint = 0;
    if (!load(data.get(), endpoint)) return {-1, EFAULT};
    if (endpoint == config_.endpointIn) {
        inHalted_ = false;
        ++record_.inHaltsCleared;
        deliverIn();
        return {};
    }
    return endpoint == config_.endpointOut ? Outcome{} : Outcome{-1, EINVAL};
}

void MockBrimel::controlTransfer(Urb urb) {
    const std::uint8_t *b = urb.buffer->data;
    const ControlRequest req{b[0], b[1], static_cast<std::uint16_t>(b[2] | b[3] << 8),
                             static_cast<std::uint16_t>(b[4] | b[5] << 8),
                             static_cast<std::uint16_t>(b[6] | b[7] << 8)};
    record_.controls.push_back(req);

    if (req.requestType == kVendorOut && req.request == kVendorRequest && req.length == 0) {
        record_.vendorValues.push_back(req.value);
        complete(std::move(urb), 0, 0);
        return;
    }
    Bytes answer;
    if (req.requestType == kStandardIn && req.request == kGetDescriptor) {
        const std::uint8_t type = hi(req.value);
        const std::uint8_t index = lo(req.value);
        if (type == 1 && index == 0) answer = deviceDescriptor(config_);
        if (type == 2 && index == 0) answer = configDescriptor(config_);
        if (type == 3 && index == 0) answer = {4, 3, lo(kLangEnglishUs), hi(kLangEnglishUs)};
        if (type == 3 && index == kManufacturerIndex)
            answer = stringDescriptor(config_.manufacturerString);
        if (type == 3 && index == kProductIndex) answer = stringDescriptor(config_.productString);
        if (type == 3 && index == kSerialIndex) answer = stringDescriptor(config_.serialString);
    }
    if (answer.empty()) {
        char text[96];
        std::snprintf(text, sizeof text, "control request %02x %02x %04x %04x %04x stalled",
                      req.requestType, req.request, req.value, req.index, req.length);
        violation(text);
        complete(std::move(urb), -EPIPE, 0);
        return;
    }
    const std::size_t room = static_cast<std::size_t>(urb.buffer->data_len) - kSetupSize;
    const std::size_t n = std::min({answer.size(), std::size_t{req.length}, room});
    std::copy_n(answer.begin(), n, urb.buffer->data + kSetupSize);
    complete(std::move(urb), 0, static_cast<int>(n));
}

void MockBrimel::bulkOut(Urb urb) {
    const std::span<const std::uint8_t> frame(
        urb.buffer ? urb.buffer->data : nullptr,
        urb.buffer ? static_cast<std::size_t>(urb.buffer->data_len) : 0);
    const int length = static_cast<int>(frame.size());
    const std::optional<Bytes> reply = device_.receive(frame);
    if (frameHook_) frameHook_(frame);
    complete(std::move(urb), 0, length);
    if (device_.unplugged()) {
        // The device went away after taking the frame (its own unplug fault).
        disconnect();
        return;
    }
    if (reply) {
        // The bridge sends the reply in packets of at most one endpoint size.
        if (reply->empty()) inPackets_.emplace_back();
        for (std::size_t at = 0; at < reply->size(); at += config_.maxPacket) {
            const std::size_t end = std::min(reply->size(), at + config_.maxPacket);
            inPackets_.emplace_back(reply->begin() + static_cast<long>(at),
                                    reply->begin() + static_cast<long>(end));
        }
    }
    deliverIn();
}

// Waiting IN URBs take the device's packets, one packet each.
void MockBrimel::deliverIn() {
    if (inHalted_) return;
    while (!waitingIn_.empty() && !inPackets_.empty()) {
        Urb urb = std::move(waitingIn_.front());
        waitingIn_.pop_front();
        const Bytes packet = std::move(inPackets_.front());
        inPackets_.pop_front();
        const std::size_t room = urb.buffer ? static_cast<std::size_t>(urb.buffer->data_len) : 0;
        if (packet.size() > room) {
            complete(std::move(urb), -EOVERFLOW, 0);
            continue;
        }
        std::copy(packet.begin(), packet.end(), urb.buffer ? urb.buffer->data : nullptr);
        complete(std::move(urb), 0, static_cast<int>(packet.size()));
    }
}

void MockBrimel::complete(Urb urb, int status, int actualLength) {
    // Only these two fields change: umockdev's copy keeps its own buffer pointer.
    std::memcpy(urb.urb->data + offsetof(usbdevfs_urb, status), &status, sizeof status);
    std::memcpy(urb.urb->data + offsetof(usbdevfs_urb, actual_length), &actualLength,
                sizeof actualLength);
    UMockdevIoctlClient *client = urb.client;
    reapable_[client].push_back(std::move(urb));
}

MockBrimel::Outcome MockBrimel::reapUrb(UMockdevIoctlClient *client, UMockdevIoctlData *arg) {
    std::deque<Urb> &mine = reapable_[client];
    if (mine.empty()) return {-1, gone_ ? ENODEV : EAGAIN};
    DataRef target(resolve(arg, 0, sizeof(void *)));
    if (!target) return {-1, EFAULT};
    Urb urb = std::move(mine.front());
    mine.pop_front();
    // The client's pointer now names its own URB; umockdev writes the URB (and an IN
    // buffer's new bytes) back before the ioctl returns.
    umockdev_ioctl_data_set_ptr(target.get(), 0, urb.urb.get());
    return {};
}

MockBrimel::Outcome MockBrimel::discardUrb(UMockdevIoctlClient *client, UMockdevIoctlData *arg) {
    if (gone_) return {-1, ENODEV};
    unsigned long address = 0;
    if (!load(arg, address)) return {-1, EFAULT};
    const auto it = std::find_if(waitingIn_.begin(), waitingIn_.end(), [&](const Urb &u) {
        return u.client == client && u.urb->client_addr == address;
    });
    if (it == waitingIn_.end()) return {-1, EINVAL};
    Urb urb = std::move(*it);
    waitingIn_.erase(it);
    ++record_.discardedUrbs;
    complete(std::move(urb), -ECONNRESET, 0);
    return {};
}

// As the kernel's usbfs: a claim by the client that already holds the interface
// succeeds again; one by another client, or while the serial driver is bound, fails
// with EBUSY. USBDEVFS_DISCONNECT_CLAIM first unbinds whichever driver has the
// interface ("usbfs" when another client holds it) unless its flags name that driver as
// one to keep; libusb asks to keep "usbfs", so it never takes another program's claim.
MockBrimel::Outcome MockBrimel::claim(UMockdevIoctlClient *client, UMockdevIoctlData *arg,
                                      bool disconnectDriver) {
    if (gone_) return {-1, ENODEV};
    unsigned int interface = 0;
    if (disconnectDriver) {
        DataRef data(resolve(arg, 0, ioctlSize(USBDEVFS_DISCONNECT_CLAIM)));
        usbdevfs_disconnect_claim dc{};
        if (!load(data.get(), dc)) return {-1, EFAULT};
        dc.driver[sizeof dc.driver - 1] = '\0';
        interface = dc.interface;
        if (interface == 0 && !driver_.empty() && claimant_ != client) {
            const bool named = driver_ == dc.driver;
            if (((dc.flags & USBDEVFS_DISCONNECT_CLAIM_IF_DRIVER) && !named) ||
                ((dc.flags & USBDEVFS_DISCONNECT_CLAIM_EXCEPT_DRIVER) && named)) {
                ++record_.refusedClaims;
                return {-1, EBUSY};
            }
            if (claimant_ != nullptr) {
                ++record_.stolenClaims;
                violation("a client took interface 0 away from another");
            } else {
                ++record_.kernelDriverDetaches;
            }
            setHolder({}, nullptr);
        }
    } else {
        DataRef data(resolve(arg, 0, sizeof(unsigned int)));
        if (!load(data.get(), interface)) return {-1, EFAULT};
        if (interface == 0 && !driver_.empty() && claimant_ != client) {
            ++record_.refusedClaims;
            return {-1, EBUSY};
        }
    }
    if (interface != 0) return {-1, EINVAL};
    if (claimant_ != client) {
        ++record_.claims;
        setHolder(kUsbfs, client);
    }
    return {};
}

MockBrimel::Outcome MockBrimel::release(UMockdevIoctlClient *client, UMockdevIoctlData *arg) {
    if (gone_) return {-1, ENODEV};
    DataRef data(resolve(arg, 0, sizeof(unsigned int)));
    unsigned int interface = 0;
    if (!load(data.get(), interface)) return {-1, EFAULT};
    if (interface != 0 || claimant_ != client) return {-1, EINVAL};
    setHolder({}, nullptr);
    return {};
}

// The driver bound to interface 0, as libusb asks before it detaches one.
MockBrimel::Outcome MockBrimel::getDriver(UMockdevIoctlData *arg) {
    if (gone_) return {-1, ENODEV};
    DataRef data(resolve(arg, 0, sizeof(usbdevfs_getdriver)));
    usbdevfs_getdriver query{};
    if (!load(data.get(), query)) return {-1, EFAULT};
    if (query.interface != 0) return {-1, EINVAL};
    if (driver_.empty()) return {-1, ENODATA};
    std::snprintf(query.driver, sizeof query.driver, "%s", driver_.c_str());
    store(data.get(), query);
    return {};
}

// USBDEVFS_IOCTL: libusb gives interface 0 back to the kernel's driver after release.
MockBrimel::Outcome MockBrimel::driverIoctl(UMockdevIoctlClient *client, UMockdevIoctlData *arg) {
    if (gone_) return {-1, ENODEV};
    DataRef data(resolve(arg, 0, sizeof(usbdevfs_ioctl)));
    usbdevfs_ioctl command{};
    if (!load(data.get(), command)) return {-1, EFAULT};
    if (command.ifno != 0) return {-1, EINVAL};
    if (static_cast<unsigned long>(command.ioctl_code) == USBDEVFS_CONNECT) {
        if (!driver_.empty()) return {0, 0};
        setHolder(kKernelDriver, nullptr);
        return {1, 0};
    }
    if (static_cast<unsigned long>(command.ioctl_code) == USBDEVFS_DISCONNECT) {
        if (driver_.empty()) return {-1, ENODATA};
        if (claimant_ != nullptr && claimant_ != client) {
            ++record_.stolenClaims;
            violation("a client detached another client's claim");
        } else if (claimant_ == nullptr) {
            ++record_.kernelDriverDetaches;
        }
        setHolder({}, nullptr);
        return {};
    }
    violation("unexpected driver ioctl " + std::to_string(command.ioctl_code));
    return {-1, ENOTTY};
}

// What the kernel does on a disconnect: pending URBs end with -ESHUTDOWN (still
// reapable), the claim is gone, and everything else fails with ENODEV from now on.
void MockBrimel::disconnect() {
    gone_ = true;
    claimant_ = nullptr;
    inPackets_.clear();
    while (!waitingIn_.empty()) {
        Urb urb = std::move(waitingIn_.front());
        waitingIn_.pop_front();
        complete(std::move(urb), -ESHUTDOWN, 0);
    }
}

void MockBrimel::violation(std::string text) {
    record_.violations.push_back(std::move(text));
}

}  // namespace brimel::umock
