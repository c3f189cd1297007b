// An emulated Brimel on a umockdev testbed: a USB device in the mock sysfs and
// /dev/bus/usb whose usbdevfs ioctls are answered here, with the bulk OUT frames going
// to an EmulatedDevice and its replies coming back on bulk IN. Every process that opens
// the device node is a client of its own, as every open file of usbfs is for the kernel:
// URBs are reaped only by the client that submitted them, and interface 0 is held by
// one client at a time.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "emulator/EmulatedDevice.h"

typedef struct _UMockdevTestbed UMockdevTestbed;
typedef struct _UMockdevIoctlBase UMockdevIoctlBase;
typedef struct _UMockdevIoctlClient UMockdevIoctlClient;
typedef struct _UMockdevIoctlData UMockdevIoctlData;

namespace brimel::umock {

// What the device presents on the bus.
struct GadgetConfig {
    std::uint16_t vendor = 0x10C4;
    std::uint16_t product = 0xEA61;
    std::uint8_t endpointIn = 0x81;
    std::uint8_t endpointOut = 0x01;
    bool outDescriptorFirst = false;  // order of the two endpoint descriptors
    std::uint16_t maxPacket = 64;
    std::string manufacturerString = "Silicon Labs";
    std::string productString = "Brimel HDMI Processor";
    std::string serialString = "2024";
};

// A control request as it arrived at the device.
struct ControlRequest {
    std::uint8_t requestType = 0;
    std::uint8_t request = 0;
    std::uint16_t value = 0;
    std::uint16_t index = 0;
    std::uint16_t length = 0;
};

// Everything the tests look at, copied under the harness's lock.
struct GadgetRecord {
    std::vector<Bytes> frames;                // bulk OUT frames, as the emulator logged them
    std::vector<ControlRequest> controls;     // every control request, in order
    std::vector<std::uint16_t> vendorValues;  // wValue of the 0x40/0x02 requests, in order
    std::set<std::uint8_t> bulkEndpoints;     // endpoints bulk URBs were submitted on
    std::vector<std::string> violations;      // requests a real device or kernel would refuse
    bool interfaceClaimed = false;            // a client holds interface 0
    bool kernelDriverBound = true;            // the serial driver on interface 0
    int kernelDriverDetaches = 0;
    // Opens of the device node (each a client of its own), and what became of the
    // claims of interface 0: granted; refused with EBUSY (another client or the serial
    // driver held it); taken away from another client (a detach without a guard); ended
    // by a close of the node without a release.
    int connections = 0;
    int claims = 0;
    int refusedClaims = 0;
    int stolenClaims = 0;
    int claimsDroppedAtClose = 0;
    int discardedUrbs = 0;
    int stalledInUrbs = 0;          // bulk IN URBs ended with a stall (EPIPE)
    int inHaltsCleared = 0;         // USBDEVFS_CLEAR_HALT requests on the IN endpoint
    std::size_t waitingInUrbs = 0;  // bulk IN URBs waiting for data
};

class MockBrimel {
public:
    static constexpr const char *kDeviceNode = "/dev/bus/usb/001/002";
    static constexpr const char *kSysPath = "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-2";

    explicit MockBrimel(GadgetConfig config = {});
    // Every client (also a started program) must have closed the device node before the
    // harness goes.
    ~MockBrimel();
    MockBrimel(const MockBrimel &) = delete;
    MockBrimel &operator=(const MockBrimel &) = delete;

    // Empty when the testbed is ready; otherwise what went wrong.
    const std::string &setupError() const { return setupError_; }
    // True when this process runs with umockdev's preload library, so that libusb
    // sees the testbed: /sys is then the testbed's sysfs.
    bool preloaded() const;

    // Runs `f` on the emulated device while no request is being answered.
    template <class F>
    auto withDevice(F &&f) {
        std::lock_guard<std::mutex> lock(mutex_);
        return f(device_);
    }

    GadgetRecord record();
    // Waits until `done` holds for the record (checked after every request), or at most
    // `limitMs`; false when the time ran out.
    bool waitFor(const std::function<bool(const GadgetRecord &)> &done, int limitMs);
    // Runs on umockdev's thread for every bulk OUT frame, once the device has taken it
    // and before the host sees the frame completed (so before its reply).
    void onFrame(std::function<void(std::span<const std::uint8_t>)> hook);

    // The device sends a packet nobody asked for (a late or stray reply).
    void sendUnsolicited(const Bytes &packet);
    // The bulk IN endpoint halts: waiting IN URBs, and any submitted until the host
    // clears the halt, end with a stall; the device's replies wait meanwhile.
    void haltIn();
    // Pulls the cable: pending URBs end as on a disconnect, every later request
    // fails with ENODEV, and the device leaves sysfs with a "remove" uevent.
    void unplug();
    // Another USB device on the bus (sysfs only; nobody should open it).
    void addOtherDevice(std::uint16_t vendor, std::uint16_t product, const std::string &serial);

private:
    struct DataUnref {
        void operator()(UMockdevIoctlData *data) const;
    };
    using DataRef = std::unique_ptr<UMockdevIoctlData, DataUnref>;
    // A submitted URB: the client's usbdevfs_urb and its buffer, both loaded.
    struct Urb {
        UMockdevIoctlClient *client = nullptr;
        DataRef urb;
        DataRef buffer;
    };
    struct Outcome {
        long result = 0;
        int error = 0;
    };

    static int onIoctl(UMockdevIoctlBase *handler, UMockdevIoctlClient *client, void *self);
    static void onConnected(UMockdevIoctlBase *handler, UMockdevIoctlClient *client, void *self);
    Outcome dispatch(UMockdevIoctlClient *client, unsigned long request, UMockdevIoctlData *arg);
    Outcome submitUrb(UMockdevIoctlClient *client, UMockdevIoctlData *arg);
    Outcome reapUrb(UMockdevIoctlClient *client, UMockdevIoctlData *arg);
    Outcome discardUrb(UMockdevIoctlClient *client, UMockdevIoctlData *arg);
    Outcome claim(UMockdevIoctlClient *client, UMockdevIoctlData *arg, bool disconnectDriver);
    Outcome release(UMockdevIoctlClient *client, UMockdevIoctlData *arg);
    Outcome driverIoctl(UMockdevIoctlClient *client, UMockdevIoctlData *arg);
    Outcome getDriver(UMockdevIoctlData *arg);
    // What the kernel does when a client has closed the node: its URBs are dropped and
    // its claim ends (the serial driver is not bound again). umockdev tells of a new
    // client but not of its end, so every request and every look at the record first
    // looks for clients whose connection umockdev has closed.
    void sweepClosedClients();
    // Who has interface 0: the serial driver, a client through usbfs, or nobody; the
    // interface's driver link in sysfs follows, as the kernel's does.
    void setHolder(const std::string &driver, UMockdevIoctlClient *client);
    GadgetRecord snapshot();
    void controlTransfer(Urb urb);
    void bulkOut(Urb urb);
    void complete(Urb urb, int status, int actualLength);
    void deliverIn();
    void disconnect();
    void violation(std::string text);

    GadgetConfig config_;
    std::string setupError_;
    UMockdevTestbed *testbed_ = nullptr;
    UMockdevIoctlBase *handler_ = nullptr;
    unsigned long signalId_ = 0;
    unsigned long connectedId_ = 0;
    int otherDevices_ = 0;

    std::string driverLink_;  // the Brimel interface's driver link in the testbed's sysfs

    std::mutex mutex_;
    std::condition_variable changed_;
    bool closed_ = false;
    bool gone_ = false;
    bool inHalted_ = false;
    EmulatedDevice device_;
    std::function<void(std::span<const std::uint8_t>)> frameHook_;
    std::string driver_ = "cp210x";            // bound to interface 0: "cp210x", "usbfs" or none
    UMockdevIoctlClient *claimant_ = nullptr;  // the client that holds interface 0
    std::deque<Urb> waitingIn_;
    std::map<UMockdevIoctlClient *, std::deque<Urb>> reapable_;  // per client
    std::deque<Bytes> inPackets_;
    GadgetRecord record_;
    // Clients not seen closed yet, each held by a reference until then.
    std::set<UMockdevIoctlClient *> open_;

    Outcome clearHalt(UMockdevIoctlData *arg);
    void stallWaitingIn();
};

}  // namespace brimel::umock
