// brimelctl: the Brimel from the command line. The whole program behind one call, so
// tests run it in-process with their own streams and device bus, and the real main()
// only supplies the process's streams, signals and the USB bus.
#pragma once

#include <csignal>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

namespace brimel::cli {

class DeviceBus;

// Exit codes, as --help and the manual list them.
enum ExitCode : int {
    kExitOk = 0,
    kExitFailure = 1,     // unexpected failure
    kExitUsage = 2,       // usage or invalid value
    kExitNoDevice = 3,    // no Brimel found
    kExitSeveral = 4,     // several Brimels match
    kExitPermission = 5,  // permission denied
    kExitBusy = 6,        // held by another program
    kExitIo = 7,          // no reply or I/O error
    kExitNotTaken = 8,    // the device did not take a value
    kExitBadInput = 9,    // bad input file
    kExitInterrupted = 130,
};

struct Console {
    std::ostream &out;
    std::ostream &err;
    std::istream &in;
    bool outTty = false;
    bool errTty = false;
    bool inTty = false;
};

struct Environment {
    Console console;
    // The bus of real Brimels (demo false) or the emulated one of --demo (demo true).
    std::function<std::unique_ptr<DeviceBus>(bool demo)> bus;
    // Set by SIGINT or SIGTERM; transfers stop at the next frame and watch ends.
    const volatile std::sig_atomic_t *interrupted = nullptr;
    // More folders where `doctor` looks for the udev rule (the install prefix's).
    std::vector<std::string> udevRuleDirs;
    // The edid-decode program `edid decode` and `edid check` run.
    std::string edidDecodeProgram = "edid-decode";
    // The folder `doctor` takes as the system's root when it looks for udev rules ("" is
    // the real one; tests give a small fake system).
    std::string systemRoot = "";
};

// Runs brimelctl with `args` (without the program name) and returns its exit code.
int run(const std::vector<std::string> &args, Environment &env);

}  // namespace brimel::cli
