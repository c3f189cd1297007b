// What the system knows about the Brimel's USB bridges without opening them: the
// devices the kernel lists in sysfs (port path, serial number, device node, the driver
// bound to the interface), who may open each node, which processes hold it, and
// whether a udev rule for the bridge is installed. Linux only; every root directory is
// a parameter so tests can build a small fake system.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace brimel {

struct ProcessHolder {
    pid_t pid = 0;
    std::string command;  // its name (comm), or empty when it cannot be read
};

struct NodeAccess {
    bool exists = false;
    bool readWrite = false;  // the current user may open it for reading and writing
    unsigned mode = 0;       // permission bits
    std::string owner;       // user name (or number)
    std::string group;       // group name (or number)
};

struct InventoryDevice {
    std::string portPath;  // "1-2.3", as sysfs names the device
    std::string serial;    // empty when the device has none or it cannot be read
    std::string product;
    unsigned bus = 0;
    unsigned address = 0;
    std::string node;    // /dev/bus/usb/BBB/DDD
    std::string driver;  // driver bound to interface 0 ("cp210x", "usbfs"), or empty
    std::string tty;     // the serial port the kernel driver made ("/dev/ttyUSB0"), or empty
};

class UsbInventory {
public:
    explicit UsbInventory(std::string sysRoot = "/sys", std::string procRoot = "/proc",
                          std::string devRoot = "/dev");

    // Every device whose VID:PID is in the device table, in port-path order.
    std::vector<InventoryDevice> devices() const;
    NodeAccess access(const std::string &node) const;
    // Other processes with one of `paths` open (this process is left out).
    std::vector<ProcessHolder> holders(const std::vector<std::string> &paths) const;
    // The paths a holder of the device may have open: its USB node and its serial port.
    static std::vector<std::string> devicePaths(const InventoryDevice &device);

private:
    std::string sysRoot_;
    std::string procRoot_;
    std::string devRoot_;
};

// A udev rule file that names the bridge's VID:PID.
struct UdevRuleFile {
    std::string path;  // where it lies (symbolic links resolved)
    // udev reads it: it lies in one of udev's folders and no file of the same name in a
    // folder udev prefers replaces it.
    bool applied = false;
    // The file of the same name that replaces it (a link to /dev/null masks it), or
    // empty; a file that is not applied and not replaced lies where udev never looks.
    std::string replacedBy;
};

// The rule files that name the bridge's VID:PID in udev's folders and in `extraDirs`
// (such as an install prefix's, which udev may not read), in that order, each file once.
std::vector<UdevRuleFile> udevRulesFor(const std::vector<std::string> &extraDirs = {},
                                       const std::string &root = "");

}  // namespace brimel
