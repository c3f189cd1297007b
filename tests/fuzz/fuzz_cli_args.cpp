// Fuzzes brimelctl from its command line to the frames it sends: the input becomes the
// arguments (and standard input), the whole program runs in-process on emulated
// Brimels on a fake clock, and every run must end in a documented way.
//
// Input: byte 0 chooses the bus and the device's behaviour (see Setup below); the rest
// up to the first 0x1E byte are the arguments, separated by NUL or newline (at most
// kMaxArgs, each at most kMaxArgLength bytes); what follows 0x1E is standard input.
// Every run ends: the interrupt flag (as SIGINT would raise it) goes up at the frame the
// input chooses, and at the latest after kFrameBudget frames or kTimeBudgetMs on the
// fake clock.
//
// Files: the program runs in a private temporary folder (the working folder is switched
// only around each run) holding a profile, a binary EDID and a hex EDID, restored after
// every run; anything else a run writes there is removed. Inputs with an argument that
// contains '/' (so no absolute path, no other folder) or ".." are skipped. No terminal,
// and no edid-decode program: its path names nothing.
//
// Checked after every run (abort when broken):
//   - the exit code is a documented one (0 to 9, 130), and 130 only after an interrupt;
//   - no device is left open, and every open was matched by a close;
//   - frames went to one device at most (the chosen one);
//   - every frame a device received is a request frame: byte 0 is 0x10 or 0x11 and it
//     has 3 to 43 bytes;
//   - with --json: standard output is one line holding one JSON object with "schema": 1
//     (watch: any number of such lines; help and version texts are plain text; a profile
//     saved to '-' is the "profile" member of that object), and an "error" object carries
//     the run's exit code.
#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/Brimelctl.h"
#include "cli/DeviceBus.h"
#include "cli/Profile.h"
#include "device/Clock.h"
#include "emulator/DemoDevice.h"
#include "emulator/EmulatedDevice.h"
#include "emulator/EmulatedUsbLibrary.h"

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kMaxArgs = 24;
constexpr std::size_t kMaxArgLength = 256;
constexpr std::size_t kMaxFrameBytes = 43;
constexpr std::size_t kMinFrameBytes = 3;
// Every run is interrupted at the latest when its devices received this many frames,
// so `watch` without --count (which runs until interrupted) ends too.
constexpr int kFrameBudget = 600;
// The same for the time a run spends on the fake clock: 5 minutes.
constexpr std::uint32_t kTimeBudgetMs = 5 * 60 * 1000;
constexpr char kStdinMark = '\x1e';

// Byte 0 of the input.
struct Setup {
    enum Bus : std::uint8_t {
        OneBrimel,
        OneBrimelToo,
        TwoBrimels,       // two devices with serial 2024: "several"
        WithOtherBridge,  // a Brimel and a bridge with another serial number
        Busy,             // held by another program: opening fails with busy
        NoPermission,     // the node is not accessible: opening is refused
        NoDevice,         // nothing attached
        Unplugging,       // the Brimel is unplugged after some frames
    };
    Bus bus;
    bool signal;      // the demo's signal, so status and watch show one
    int interruptAt;  // raise the interrupt flag at this frame; -1: never
    bool flaky;       // some replies are missing, short or carry a wrong echo

    explicit Setup(std::uint8_t b)
        : bus(static_cast<Bus>(b & 0x07)), signal((b & 0x08) != 0), flaky((b & 0x80) != 0) {
        static constexpr int kAt[] = {-1, 0, 1, 3, 8, 20, 40, 70};
        interruptAt = kAt[(b >> 4) & 0x07];
    }
};

// The files every run finds in its folder, by name and content.
struct PrivateFolder {
    std::string path;
    int folderFd = -1;
    int homeFd = -1;  // the working folder to go back to after a run
    std::map<std::string, std::string> files;
};

PrivateFolder &folder() {
    static PrivateFolder f;
    return f;
}

[[noreturn]] void broken(const char *what, const std::vector<std::string> &args, int code,
                         const std::string &out) {
    std::fprintf(stderr, "fuzz_cli_args: %s (exit %d)\n  args:", what, code);
    for (const std::string &a : args) std::fprintf(stderr, " [%s]", a.c_str());
    std::fprintf(stderr, "\n  stdout: %s\n", out.substr(0, 2000).c_str());
    std::abort();
}

// The fake clock, and the interrupt flag raised once a run has spent kTimeBudgetMs of
// it: a run may wait as long as it likes (watch --interval 86400, --wait 3600) without
// the fuzzer spending its time stepping through the wait.
class BudgetClock final : public brimel::Clock {
public:
    BudgetClock(std::uint32_t start, volatile std::sig_atomic_t &interrupted)
        : fake_(start), start_(start), interrupted_(interrupted) {}
    std::uint32_t tickMs() override { return fake_.tickMs(); }
    void sleepMs(std::uint32_t ms) override {
        fake_.sleepMs(ms);
        if (fake_.tickMs() - start_ >= kTimeBudgetMs) interrupted_ = 1;
    }

private:
    brimel::FakeClock fake_;
    std::uint32_t start_;
    volatile std::sig_atomic_t &interrupted_;
};

// A bus that hands the fuzzer's emulated bus to the program, so the devices, their logs
// and the library's open and close counts outlive the run.
class SharedBus final : public brimel::cli::DeviceBus {
public:
    explicit SharedBus(brimel::cli::EmulatedBus &bus) : bus_(bus) {}
    std::vector<brimel::cli::BusDevice> scan() override { return bus_.scan(); }
    brimel::UsbLibrary &usb() override { return bus_.usb(); }
    brimel::Clock &clock() override { return bus_.clock(); }
    brimel::Status open(brimel::Session &session, const std::string &portPath) override {
        return bus_.open(session, portPath);
    }
    void close(brimel::Session &session) override { bus_.close(session); }
    std::vector<brimel::ProcessHolder> holders(const std::string &portPath) override {
        return bus_.holders(portPath);
    }

private:
    brimel::cli::EmulatedBus &bus_;
};

// Runs brimelctl with `args` on a fresh bus of one demo Brimel; for making the files.
int runOnDemo(const std::vector<std::string> &args) {
    brimel::FakeClock clock;
    brimel::cli::EmulatedBus bus(clock);
    brimel::setUpDemoDevice(bus.add());
    std::ostringstream out, err;
    std::istringstream in;
    brimel::cli::Environment env{{out, err, in}, {}, nullptr, {}, "no-such-edid-decode"};
    env.bus = [&bus](bool) { return std::make_unique<SharedBus>(bus); };
    return brimel::cli::run(args, env);
}

std::string readFile(const std::string &name) {
    std::ifstream in(name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeFile(const std::string &name, const std::string &content) {
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out << content;
}

void removeFolder() {
    std::error_code ec;
    if (!folder().path.empty()) fs::remove_all(folder().path, ec);
}

// Makes the private folder and the files in it (written by brimelctl itself from a
// demo device): profile.json (with the EDID), edid.bin, edid.txt, and a broken profile.
void makeFolder() {
    PrivateFolder &f = folder();
    f.homeFd = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    char pattern[] = "/tmp/fuzz_cli_args.XXXXXX";
    if (f.homeFd < 0 || ::mkdtemp(pattern) == nullptr) std::abort();
    f.path = pattern;
    f.folderFd = ::open(f.path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (f.folderFd < 0 || ::fchdir(f.folderFd) != 0) std::abort();
    std::atexit(removeFolder);
    if (runOnDemo({"settings", "save", "--with-edid", "profile.json"}) != 0 ||
        runOnDemo({"edid", "read", "-o", "edid.bin"}) != 0 ||
        runOnDemo({"edid", "read", "--format", "hex", "-o", "edid.txt"}) != 0)
        std::abort();
    writeFile("bad.json", "{\"format\": \"brimel-profile\", \"version\": 1, \"settings\": {");
    for (const char *name : {"profile.json", "edid.bin", "edid.txt", "bad.json"}) {
        f.files[name] = readFile(name);
        if (f.files[name].empty()) std::abort();
    }
    if (::fchdir(f.homeFd) != 0) std::abort();
}

// Puts the folder back as every run finds it. A run writes only files it was given, so
// only the folder's own files named in an argument can have changed.
void restoreFolder(const std::vector<std::string> &args) {
    const PrivateFolder &f = folder();
    std::error_code ec;
    std::vector<fs::path> extra;
    for (const auto &entry : fs::directory_iterator(f.path, ec))
        if (!f.files.contains(entry.path().filename().string())) extra.push_back(entry.path());
    for (const fs::path &p : extra) fs::remove_all(p, ec);
    for (const auto &[name, content] : f.files) {
        bool named = false;
        for (const std::string &a : args) named = named || a.find(name) != std::string::npos;
        const std::string at = f.path + "/" + name;
        if (named && readFile(at) != content) writeFile(at, content);
    }
}

bool isDocumentedExit(int code) {
    return (code >= 0 && code <= 9) || code == 130;
}

std::vector<std::string> lines(const std::string &text) {
    std::vector<std::string> out;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = text.find('\n', at);
        if (end == std::string::npos) {
            out.push_back(text.substr(at));
            out.back() += '\0';  // marks a last line without its newline
            break;
        }
        out.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    return out;
}

// One line of brimelctl's JSON output: an object with "schema": 1 first, and an "error"
// object that carries the run's exit code.
bool goodJsonLine(const std::string &line, int code) {
    if (line.empty() || line.back() == '\0') return false;
    const auto j = nlohmann::ordered_json::parse(line, nullptr, false);
    if (j.is_discarded() || !j.is_object() || j.empty()) return false;
    if (j.begin().key() != "schema" || j.begin().value() != 1) return false;
    if (j.contains("error")) {
        const auto &e = j.at("error");
        if (!e.is_object() || !e.contains("exit") || e.at("exit") != code || code == 0)
            return false;
        if (!e.contains("code") || !e.at("code").is_string() || !e.contains("message") ||
            !e.at("message").is_string())
            return false;
    }
    return true;
}

bool contains(const std::vector<std::string> &args, std::string_view word) {
    for (const std::string &a : args)
        if (a == word) return true;
    return false;
}

void checkJson(const std::vector<std::string> &args, int code, const std::string &out) {
    // What --json means: the flag given before any "--" (after it, it is a value).
    bool json = false;
    for (const std::string &a : args) {
        if (a == "--") break;
        json = json || a == "--json";
    }
    if (!json) return;
    // Help and version are asked for in words and answered in words.
    if (code == 0 && !out.empty() && out.front() != '{' &&
        (out.starts_with("Usage: brimelctl") ||
         out.find("\nUsage: brimelctl") != std::string::npos ||
         (out.starts_with("brimelctl ") && out.find('\n') == out.size() - 1)))
        return;
    const std::vector<std::string> all = lines(out);
    // watch prints one object per change, and nothing when interrupted before its first.
    if (contains(args, "watch")) {
        for (const std::string &l : all)
            if (!goodJsonLine(l, code))
                broken("watch --json printed a line that is not brimelctl JSON", args, code, out);
        return;
    }
    if (all.size() != 1) broken("--json printed other than one line", args, code, out);
    if (!goodJsonLine(all.front(), code))
        broken("--json printed other than one JSON object with schema 1", args, code, out);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv) {
    makeFolder();
    // A crash inside a run happens in the private folder: without a prefix of its own,
    // libFuzzer would write the crash input there. Point it at the starting folder.
    bool hasPrefix = false;
    for (int i = 1; i < *argc; ++i)
        hasPrefix = hasPrefix || std::strncmp((*argv)[i], "-artifact_prefix=", 17) == 0 ||
                    std::strncmp((*argv)[i], "-exact_artifact_path=", 21) == 0;
    if (!hasPrefix) {
        static std::string prefix = "-artifact_prefix=" + fs::current_path().string() + "/";
        static std::vector<char *> extended;
        extended.assign(*argv, *argv + *argc);
        extended.push_back(prefix.data());
        extended.push_back(nullptr);
        *argv = extended.data();
        ++*argc;
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size < 1) return 0;
    const Setup setup(data[0]);
    const std::string_view rest(reinterpret_cast<const char *>(data + 1), size - 1);
    const std::size_t mark = rest.find(kStdinMark);
    const std::string_view argText = rest.substr(0, mark);
    const std::string stdinText(mark == std::string_view::npos ? std::string_view{}
                                                               : rest.substr(mark + 1));

    std::vector<std::string> args;
    std::size_t at = 0;
    while (at < argText.size() && args.size() < kMaxArgs) {
        std::size_t end = argText.find_first_of(std::string_view("\0\n", 2), at);
        if (end == std::string_view::npos) end = argText.size();
        if (end - at > kMaxArgLength) return 0;
        args.emplace_back(argText.substr(at, end - at));
        at = end + 1;
    }
    for (const std::string &a : args)
        if (a.find('/') != std::string::npos || a.find("..") != std::string::npos) return 0;

    // The bus.
    volatile std::sig_atomic_t interrupted = setup.interruptAt == 0 ? 1 : 0;
    BudgetClock clock(0xFFFF0000u, interrupted);  // the tick wraps during long runs
    brimel::cli::EmulatedBus bus(clock);
    std::vector<brimel::EmulatedDevice *> devices;
    int frames = 0;
    if (setup.bus != Setup::NoDevice) devices.push_back(&bus.add());
    if (setup.bus == Setup::TwoBrimels) devices.push_back(&bus.add("2024", "1-2"));
    if (setup.bus == Setup::WithOtherBridge) devices.push_back(&bus.add("0001", "1-2", "CP2102"));
    if (setup.bus == Setup::Busy) {
        bus.heldBy["1-1"] = {{4242, "brimel"}};
        bus.library().faults.openStatus = brimel::UsbBusy;
    }
    if (setup.bus == Setup::NoPermission) {
        bus.nodeAccess["1-1"] = {true, false, 0600, "root", "root"};
        bus.library().faults.openStatus = brimel::UsbAccessDenied;
    }
    // Waits for a missing reply end sooner (on the fake clock) than every millisecond.
    bus.library().queueWaitMs = 50;
    for (brimel::EmulatedDevice *d : devices) {
        if (setup.signal) brimel::setUpDemoDevice(*d);
        if (setup.bus == Setup::Unplugging) d->faults.unplugAfter = 5 + data[0] % 23;
        // Called for every frame the device takes: counts them, raises the interrupt
        // flag, and for a flaky device chooses the reply's fault.
        d->faults.applies = [&frames, &interrupted, &setup, d](std::span<const std::uint8_t>) {
            ++frames;
            if (frames == setup.interruptAt || frames >= kFrameBudget) interrupted = 1;
            if (setup.flaky) {
                d->faults.noReply = frames % 13 == 12;
                d->faults.wrongEcho = frames % 11 == 5;
                d->faults.shortReply =
                    frames % 11 == 8 ? std::optional<std::size_t>(1) : std::nullopt;
                d->stateByte = frames % 17 < 2 ? 1 : 0;
            }
            return true;
        };
    }

    std::ostringstream out, err;
    std::istringstream in(stdinText);
    int buses = 0;
    brimel::cli::Environment env{{out, err, in, false, false, false},
                                 {},
                                 &interrupted,
                                 {},
                                 folder().path + "/no-such-edid-decode"};
    env.bus = [&bus, &buses](bool) {
        ++buses;
        return std::make_unique<SharedBus>(bus);
    };
    if (::fchdir(folder().folderFd) != 0) std::abort();
    const int code = brimel::cli::run(args, env);
    if (::fchdir(folder().homeFd) != 0) std::abort();
    restoreFolder(args);

    // FUZZ_CLI_ARGS_VERBOSE=1 tells what each run did (for looking at seeds and findings).
    static const bool verbose = std::getenv("FUZZ_CLI_ARGS_VERBOSE") != nullptr;
    if (verbose) {
        std::fprintf(stderr, "--- setup 0x%02x, %d frames, exit %d, args:", data[0], frames, code);
        for (const std::string &a : args) std::fprintf(stderr, " [%s]", a.c_str());
        std::fprintf(stderr, "\n  out: %s\n  err: %s\n", out.str().substr(0, 300).c_str(),
                     err.str().substr(0, 300).c_str());
    }
    if (!isDocumentedExit(code)) broken("undocumented exit code", args, code, out.str());
    if (buses > 1) broken("more than one bus", args, code, out.str());
    for (std::uint32_t i = 0; i < devices.size(); ++i)
        if (bus.library().isOpen(i)) broken("a device was left open", args, code, out.str());
    if (bus.library().openCount != bus.library().closeCount)
        broken("opens and closes do not match", args, code, out.str());
    if (code == brimel::cli::kExitInterrupted && interrupted == 0)
        broken("exit 130 without an interrupt", args, code, out.str());
    int talkedTo = 0;
    for (const brimel::EmulatedDevice *d : devices) talkedTo += d->log().empty() ? 0 : 1;
    if (talkedTo > 1) broken("frames went to more than one device", args, code, out.str());
    for (const brimel::EmulatedDevice *d : devices)
        for (const brimel::Bytes &frame : d->log())
            if (frame.size() < kMinFrameBytes || frame.size() > kMaxFrameBytes ||
                (frame[0] != brimel::kDirWrite && frame[0] != brimel::kDirRead))
                broken("a frame that is not a request frame was sent", args, code, out.str());
    checkJson(args, code, out.str());
    return 0;
}
