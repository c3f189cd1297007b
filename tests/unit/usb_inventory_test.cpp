// The device inventory on a small fake system: sysfs devices (ours, another vendor's,
// interfaces and root hubs), the driver and tty of interface 0, the processes holding a
// node in /proc, and the udev rule files that name the bridge.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "device/UsbInventory.h"

using namespace brimel;
namespace fs = std::filesystem;

namespace {

struct FakeSystem {
    fs::path root = fs::temp_directory_path() / ("brimel-inventory-" + std::to_string(::getpid()));
    FakeSystem() { fs::create_directories(root); }
    ~FakeSystem() { fs::remove_all(root); }

    void file(const fs::path &path, const std::string &text) const {
        fs::create_directories((root / path).parent_path());
        std::ofstream(root / path) << text;
    }
    void link(const fs::path &path, const fs::path &target) const {
        fs::create_directories((root / path).parent_path());
        fs::create_symlink(target, root / path);
    }
    // A USB device in sysfs, named by its port path.
    void device(const std::string &port, const char *vid, const char *pid, const char *serial,
                int bus, int dev) const {
        const fs::path d = fs::path("sys/bus/usb/devices") / port;
        file(d / "idVendor", std::string(vid) + "\n");
        file(d / "idProduct", std::string(pid) + "\n");
        if (serial) file(d / "serial", std::string(serial) + "\n");
        file(d / "product", "Brimel HDMI Processor\n");
        file(d / "busnum", std::to_string(bus) + "\n");
        file(d / "devnum", std::to_string(dev) + "\n");
    }
    UsbInventory inventory() const {
        return UsbInventory((root / "sys").string(), (root / "proc").string(),
                            (root / "dev").string());
    }
};

TEST(UsbInventory, ListsOurBridgesInPortOrderWithDriverAndTty) {
    FakeSystem sys;
    sys.device("1-10", "10c4", "ea61", "2024", 1, 9);
    sys.device("1-2.3", "10c4", "ea61", "2024", 1, 4);
    sys.device("1-4", "046d", "c52b", "ABC", 1, 5);           // another vendor's device
    sys.device("2-1", "10c4", "ea61", nullptr, 2, 2);         // no serial number
    sys.file("sys/bus/usb/devices/usb1/idVendor", "1d6b\n");  // a root hub
    // Interface 0 inside its device's folder, as the kernel lays it out (the bus's list
    // also holds an entry for it, which is no device).
    sys.link("sys/bus/usb/devices/1-2.3/1-2.3:1.0/driver",
             "../../../bus/usb-serial/drivers/cp210x");
    sys.file("sys/bus/usb/devices/1-2.3/1-2.3:1.0/ttyUSB0/dev", "188:0\n");
    sys.file("sys/bus/usb/devices/1-2.3:1.0/bInterfaceNumber", "00\n");
    const auto devices = sys.inventory().devices();
    ASSERT_EQ(devices.size(), 3u);
    EXPECT_EQ(devices[0].portPath, "1-2.3");
    EXPECT_EQ(devices[0].serial, "2024");
    EXPECT_EQ(devices[0].node, (sys.root / "dev/bus/usb/001/004").string());
    EXPECT_EQ(devices[0].driver, "cp210x");
    EXPECT_EQ(devices[0].tty, (sys.root / "dev/ttyUSB0").string());
    EXPECT_EQ(devices[1].portPath, "1-10");
    EXPECT_EQ(devices[1].driver, "");
    EXPECT_EQ(devices[1].tty, "");
    EXPECT_EQ(devices[2].portPath, "2-1");
    EXPECT_EQ(devices[2].serial, "");
    EXPECT_EQ(UsbInventory::devicePaths(devices[0]),
              (std::vector<std::string>{devices[0].node, devices[0].tty}));
}

TEST(UsbInventory, HoldersAreTheOtherProcessesWithTheNodeOpen) {
    FakeSystem sys;
    const std::string node = "/dev/bus/usb/001/004";
    sys.link("proc/4242/fd/7", node);
    sys.file("proc/4242/comm", "brimel\n");
    sys.link("proc/99/fd/3", "/dev/null");
    sys.file("proc/99/comm", "other\n");
    sys.link("proc/77/fd/0", "/dev/ttyUSB0");
    sys.file("proc/77/comm", "minicom\n");
    // This process itself never counts.
    sys.link("proc/" + std::to_string(::getpid()) + "/fd/5", node);
    sys.file("proc/self-name/comm", "x\n");  // not a process number
    const UsbInventory inv = sys.inventory();
    const auto held = inv.holders({node});
    ASSERT_EQ(held.size(), 1u);
    EXPECT_EQ(held[0].pid, 4242);
    EXPECT_EQ(held[0].command, "brimel");
    const auto both = inv.holders({node, "/dev/ttyUSB0"});
    ASSERT_EQ(both.size(), 2u);
    EXPECT_EQ(both[0].pid, 77);
    EXPECT_TRUE(inv.holders({"/dev/bus/usb/009/009"}).empty());
}

TEST(UsbInventory, NodeAccess) {
    FakeSystem sys;
    sys.file("node", "");
    const fs::path node = sys.root / "node";
    fs::permissions(node, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    const NodeAccess a = sys.inventory().access(node.string());
    EXPECT_TRUE(a.exists);
    EXPECT_EQ(a.mode, 0640u);
    EXPECT_TRUE(a.readWrite);  // the owner, this user
    EXPECT_FALSE(a.owner.empty());
    EXPECT_FALSE(a.group.empty());
    EXPECT_FALSE(sys.inventory().access((sys.root / "missing").string()).exists);
}

// Which rule files name the bridge, and whether udev applies them: udev reads its own
// folders only, and a file in a folder it prefers replaces one of the same name.
TEST(UsbInventory, UdevRulesThatNameTheBridge) {
    const std::string ours =
        "SUBSYSTEM==\"usb\", ATTRS{idVendor}==\"10C4\", ATTRS{idProduct}==\"EA61\", "
        "TAG+=\"uaccess\"\n";
    const std::string other = "ATTRS{idVendor}==\"10c4\", ATTRS{idProduct}==\"0001\"\n";
    struct Expected {
        std::string path;  // under the fake root
        bool applied;
        std::string replacedBy;
    };
    struct Case {
        const char *what;
        std::vector<std::pair<std::string, std::string>> files;  // path, text ("->" links)
        std::vector<Expected> expected;
    };
    const std::string prefix = "/opt/brimel/lib/udev/rules.d";
    const Case cases[] = {
        {"installed by the package, another vendor's rule and a backup beside it",
         {{"usr/lib/udev/rules.d/70-brimel.rules", ours},
          {"usr/lib/udev/rules.d/60-other.rules", other},
          {"etc/udev/rules.d/70-brimel.rules.bak", ours}},
         {{"usr/lib/udev/rules.d/70-brimel.rules", true, ""}}},
        {"a copy in /etc replaces the package's",
         {{"usr/lib/udev/rules.d/70-brimel.rules", ours},
          {"etc/udev/rules.d/70-brimel.rules", ours}},
         {{"etc/udev/rules.d/70-brimel.rules", true, ""},
          {"usr/lib/udev/rules.d/70-brimel.rules", false, "/etc/udev/rules.d/70-brimel.rules"}}},
        {"masked by a link to /dev/null",
         {{"usr/lib/udev/rules.d/70-brimel.rules", ours},
          {"etc/udev/rules.d/70-brimel.rules", "->/dev/null"}},
         {{"usr/lib/udev/rules.d/70-brimel.rules", false, "/etc/udev/rules.d/70-brimel.rules"}}},
        {"replaced by a file of the same name without the bridge",
         {{"usr/local/lib/udev/rules.d/70-brimel.rules", ours},
          {"run/udev/rules.d/70-brimel.rules", other}},
         {{"usr/local/lib/udev/rules.d/70-brimel.rules", false,
           "/run/udev/rules.d/70-brimel.rules"}}},
        {"only under an install prefix udev does not read",
         {{"opt/brimel/lib/udev/rules.d/70-brimel.rules", ours}},
         {{"opt/brimel/lib/udev/rules.d/70-brimel.rules", false, ""}}},
        {"the prefix's file linked into /etc is listed once, applied",
         {{"opt/brimel/lib/udev/rules.d/70-brimel.rules", ours},
          {"etc/udev/rules.d/70-brimel.rules",
           "->../../../opt/brimel/lib/udev/rules.d/70-brimel.rules"}},
         {{"opt/brimel/lib/udev/rules.d/70-brimel.rules", true, ""}}},
        {"/lib is /usr/lib on a merged /usr: one file",
         {{"usr/lib/udev/rules.d/70-brimel.rules", ours}, {"lib", "->usr/lib"}},
         {{"usr/lib/udev/rules.d/70-brimel.rules", true, ""}}},
        {"no rule at all", {{"etc/udev/rules.d/60-other.rules", other}}, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        FakeSystem sys;
        for (const auto &[path, text] : c.files) {
            if (text.rfind("->", 0) == 0)
                sys.link(path, text.substr(2));
            else
                sys.file(path, text);
        }
        const auto found = udevRulesFor({prefix}, sys.root.string());
        ASSERT_EQ(found.size(), c.expected.size());
        for (std::size_t i = 0; i < found.size(); ++i) {
            const Expected &e = c.expected[i];
            EXPECT_EQ(found[i].path, fs::weakly_canonical(sys.root / e.path).string());
            EXPECT_EQ(found[i].applied, e.applied);
            EXPECT_EQ(found[i].replacedBy,
                      e.replacedBy.empty() ? "" : sys.root.string() + e.replacedBy);
        }
    }
}

}  // namespace
