// Entry point of brimelctl: the process's streams and signals, and the real USB bus
// (or the demo's emulated Brimel).
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "cli/Brimelctl.h"
#include "cli/DeviceBus.h"
#include "emulator/DemoDevice.h"

#ifndef BRIMEL_UDEV_RULES_INSTALLED
#define BRIMEL_UDEV_RULES_INSTALLED ""
#endif

namespace {

volatile std::sig_atomic_t interrupted = 0;

extern "C" void onSignal(int) {
    interrupted = 1;
}

// The first SIGINT or SIGTERM only raises the flag: a transfer stops at the next frame,
// the device is closed properly, and the run ends with 130. A second one ends the program
// at once (the handler resets itself), for a user who does not want to wait. No
// SA_RESTART, so a wait in poll() returns at once.
void catchSignals() {
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sa.sa_flags = SA_RESETHAND;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

std::uint32_t demoLatency() {
    if (const char *text = std::getenv("BRIMELCTL_DEMO_LATENCY_MS"); text && *text)
        return static_cast<std::uint32_t>(std::strtoul(text, nullptr, 10));
    return brimel::kDemoLatencyMs;
}

}  // namespace

int main(int argc, char *argv[]) {
    catchSignals();
    std::ios::sync_with_stdio(false);
    brimel::cli::Environment env{
        {std::cout, std::cerr, std::cin, isatty(1) == 1, isatty(2) == 1, isatty(0) == 1},
        [](bool demo) {
            return demo ? brimel::cli::makeDemoBus(brimel::cli::demoStateFile(), demoLatency())
                        : brimel::cli::makeUsbBus();
        },
        &interrupted,
        {},
    };
    if (const std::string rules = BRIMEL_UDEV_RULES_INSTALLED; !rules.empty())
        env.udevRuleDirs.push_back(rules);
    const std::vector<std::string> args(argv + 1, argv + argc);
    const int code = brimel::cli::run(args, env);
    std::cout.flush();
    return code;
}
