// sysfs, /proc and /dev readings behind UsbInventory.
#include "device/UsbInventory.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "device/UsbDeviceTable.h"

namespace brimel {

namespace fs = std::filesystem;

namespace {

// The first line of a small sysfs or procfs file, without its line end; empty when it
// cannot be read.
std::string firstLine(const fs::path &path) {
    std::ifstream in(path);
    std::string line;
    if (!in || !std::getline(in, line)) return {};
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    return line;
}

unsigned number(const std::string &text, int base) {
    try {
        return static_cast<unsigned>(std::stoul(text, nullptr, base));
    } catch (...) {
        return 0;
    }
}

// Port-path order: bus number, then each port number ("1-10" after "1-2").
std::vector<unsigned> portKey(const std::string &path) {
    std::vector<unsigned> key;
    std::string part;
    for (char c : path) {
        if (c == '-' || c == '.') {
            key.push_back(number(part, 10));
            part.clear();
        } else {
            part += c;
        }
    }
    key.push_back(number(part, 10));
    return key;
}

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

}  // namespace

UsbInventory::UsbInventory(std::string sysRoot, std::string procRoot, std::string devRoot)
    : sysRoot_(std::move(sysRoot)), procRoot_(std::move(procRoot)), devRoot_(std::move(devRoot)) {}

std::vector<InventoryDevice> UsbInventory::devices() const {
    std::vector<InventoryDevice> out;
    std::error_code ec;
    const fs::path dir = fs::path(sysRoot_) / "bus/usb/devices";
    for (const auto &entry : fs::directory_iterator(dir, ec)) {
        const std::string name = entry.path().filename().string();
        // Interfaces ("1-2:1.0") and root hubs ("usb1") are not devices of ours.
        if (name.find(':') != std::string::npos || name.rfind("usb", 0) == 0) continue;
        const fs::path dev = entry.path();
        const unsigned vendor = number(firstLine(dev / "idVendor"), 16);
        const unsigned product = number(firstLine(dev / "idProduct"), 16);
        if (!isSupportedUsbDevice(static_cast<std::uint16_t>(vendor),
                                  static_cast<std::uint16_t>(product)))
            continue;
        InventoryDevice d;
        d.portPath = name;
        d.serial = firstLine(dev / "serial");
        d.product = firstLine(dev / "product");
        d.bus = number(firstLine(dev / "busnum"), 10);
        d.address = number(firstLine(dev / "devnum"), 10);
        char node[64];
        std::snprintf(node, sizeof node, "/bus/usb/%03u/%03u", d.bus, d.address);
        d.node = devRoot_ + node;
        const fs::path iface = dev / (name + ":1.0");
        const fs::path driver = fs::read_symlink(iface / "driver", ec);
        if (!ec) d.driver = driver.filename().string();
        ec.clear();
        for (const auto &sub : fs::directory_iterator(iface, ec)) {
            const std::string s = sub.path().filename().string();
            if (s.rfind("ttyUSB", 0) == 0) d.tty = devRoot_ + "/" + s;
        }
        ec.clear();
        out.push_back(std::move(d));
    }
    std::sort(out.begin(), out.end(), [](const InventoryDevice &a, const InventoryDevice &b) {
        return portKey(a.portPath) < portKey(b.portPath);
    });
    return out;
}

NodeAccess UsbInventory::access(const std::string &node) const {
    NodeAccess a;
    struct stat st {};
    if (::stat(node.c_str(), &st) != 0) return a;
    a.exists = true;
    a.mode = st.st_mode & 07777;
    a.readWrite = ::access(node.c_str(), R_OK | W_OK) == 0;
    if (const struct passwd *pw = ::getpwuid(st.st_uid))
        a.owner = pw->pw_name;
    else
        a.owner = std::to_string(st.st_uid);
    if (const struct group *gr = ::getgrgid(st.st_gid))
        a.group = gr->gr_name;
    else
        a.group = std::to_string(st.st_gid);
    return a;
}

std::vector<std::string> UsbInventory::devicePaths(const InventoryDevice &device) {
    std::vector<std::string> paths{device.node};
    if (!device.tty.empty()) paths.push_back(device.tty);
    return paths;
}

std::vector<ProcessHolder> UsbInventory::holders(const std::vector<std::string> &paths) const {
    std::vector<ProcessHolder> out;
    const std::string self = std::to_string(::getpid());
    std::error_code ec;
    for (const auto &proc : fs::directory_iterator(procRoot_, ec)) {
        const std::string pid = proc.path().filename().string();
        if (pid.empty() || !std::all_of(pid.begin(), pid.end(), ::isdigit) || pid == self) continue;
        std::error_code fdError;
        for (const auto &fd : fs::directory_iterator(proc.path() / "fd", fdError)) {
            std::error_code linkError;
            const std::string target = fs::read_symlink(fd.path(), linkError).string();
            if (linkError) continue;
            if (std::find(paths.begin(), paths.end(), target) == paths.end()) continue;
            out.push_back({static_cast<pid_t>(number(pid, 10)), firstLine(proc.path() / "comm")});
            break;
        }
    }
    std::sort(out.begin(), out.end(),
              [](const ProcessHolder &a, const ProcessHolder &b) { return a.pid < b.pid; });
    return out;
}

namespace {

// The folders udev reads rules from, the one it prefers first: a file in an earlier
// folder replaces a file of the same name in a later one. systemd's udev also reads
// /usr/local/lib; /lib is /usr/lib on a merged /usr.
constexpr const char *kUdevFolders[] = {"/etc/udev/rules.d", "/run/udev/rules.d",
                                        "/usr/local/lib/udev/rules.d", "/usr/lib/udev/rules.d",
                                        "/lib/udev/rules.d"};

bool namesTheBridge(const fs::path &file) {
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    const std::string body = lower(text.str());
    for (const UsbDeviceId &id : supportedUsbDevices()) {
        char vid[8], pid[8];
        std::snprintf(vid, sizeof vid, "%04x", id.vendor);
        std::snprintf(pid, sizeof pid, "%04x", id.product);
        if (body.find(vid) != std::string::npos && body.find(pid) != std::string::npos) return true;
    }
    return false;
}

// The ".rules" entries of `dir` (files, links, links to /dev/null alike), sorted.
std::vector<fs::path> ruleEntries(const fs::path &dir) {
    std::vector<fs::path> entries;
    std::error_code ec;
    for (const auto &entry : fs::directory_iterator(dir, ec))
        if (entry.path().extension() == ".rules") entries.push_back(entry.path());
    std::sort(entries.begin(), entries.end());
    return entries;
}

}  // namespace

std::vector<UdevRuleFile> udevRulesFor(const std::vector<std::string> &extraDirs,
                                       const std::string &root) {
    std::vector<UdevRuleFile> found;
    std::set<std::string> seen;  // resolved paths: a file reached twice is listed once
    // Walking udev's folders in its order, the first entry of a name is the one udev
    // reads; every later entry of that name is replaced by it.
    std::map<std::string, fs::path> readByUdev;
    const auto visit = [&](const fs::path &entry, bool udevFolder) {
        UdevRuleFile file;
        if (udevFolder) {
            const auto [first, isFirst] = readByUdev.try_emplace(entry.filename().string(), entry);
            file.applied = isFirst;
            if (!isFirst) file.replacedBy = first->second.string();
        }
        std::error_code ec;
        file.path = fs::weakly_canonical(entry, ec).string();
        if (seen.insert(file.path).second && namesTheBridge(entry)) found.push_back(file);
    };
    for (const char *d : kUdevFolders)
        for (const fs::path &entry : ruleEntries(root + d)) visit(entry, true);
    for (const std::string &d : extraDirs)
        for (const fs::path &entry : ruleEntries(root + d)) visit(entry, false);
    return found;
}

}  // namespace brimel
