// The real brimel program, offscreen, on the emulated Brimel presented by umockdev:
// it starts, shows the firmware version, sends the start-up frames and closes the
// device when its window is closed. A Qt plugin (probe/) reports what the window shows.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "emulator/DemoDevice.h"
#include "tests/umockdev/MockBrimel.h"

extern char **environ;

using namespace brimel;
using namespace brimel::umock;

namespace {

constexpr int kRunLimitMs = 30000;

struct ProgramRun {
    bool finished = false;
    int exitCode = -1;
};

// Starts `program` with this process's environment plus `extra`, and waits at most
// `limitMs` for it to end; a program still running then is killed.
ProgramRun runProgram(const std::string &program, const std::vector<std::string> &extra,
                      int limitMs) {
    std::vector<std::string> env;
    for (char **e = environ; *e; ++e) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('='));
        const bool replaced = std::any_of(extra.begin(), extra.end(), [&](const std::string &x) {
            return x.rfind(name + "=", 0) == 0;
        });
        if (!replaced) env.push_back(entry);
    }
    env.insert(env.end(), extra.begin(), extra.end());
    std::vector<char *> envp;
    for (std::string &e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string path = program;
    char *argv[] = {path.data(), nullptr};

    ProgramRun run;
    pid_t pid = 0;
    if (posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv, envp.data()) != 0) return run;
    const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    pollfd wait{pidfd, POLLIN, 0};
    if (pidfd < 0 || poll(&wait, 1, limitMs) != 1) kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    if (pidfd >= 0) close(pidfd);
    run.finished = WIFEXITED(status);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

std::vector<std::vector<std::string>> readReport(const std::string &path) {
    std::vector<std::vector<std::string>> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string> fields;
        std::stringstream s(line);
        for (std::string f; std::getline(s, f, '\t');) fields.push_back(f);
        lines.push_back(fields);
    }
    return lines;
}

TEST(BrimelProgramOnUmockdev, StartsShowsTheFirmwareAndSendsTheStartUpFrames) {
    MockBrimel mock;
    ASSERT_EQ(mock.setupError(), "");
    ASSERT_TRUE(mock.preloaded())
        << "run with LD_PRELOAD=libumockdev-preload.so.0 (umockdev-wrapper), as CTest does";
    mock.withDevice([](EmulatedDevice &d) { setUpDemoDevice(d); });

    char dir[] = "/tmp/brimel-probe.XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string report = std::string(dir) + "/report.txt";
    const std::string shot = std::string(dir) + "/window.png";
    // The testbed's UMOCKDEV_DIR and umockdev's LD_PRELOAD are inherited.
    const ProgramRun run =
        runProgram(BRIMEL_APP,
                   {"QT_QPA_PLATFORM=offscreen", "QT_PLUGIN_PATH=" BRIMEL_PROBE_PLUGINS,
                    "QT_QPA_GENERIC_PLUGINS=brimelprobe", "BRIMEL_PROBE_REPORT=" + report,
                    "BRIMEL_PROBE_SHOT=" + shot},
                   kRunLimitMs);
    ASSERT_TRUE(run.finished) << "brimel did not end within " << kRunLimitMs << " ms";
    EXPECT_EQ(run.exitCode, 0);

    const auto lines = readReport(report);
    const auto has = [&](const std::vector<std::string> &want) {
        return std::find(lines.begin(), lines.end(), want) != lines.end();
    };
    EXPECT_TRUE(has({"window", "BRIMEL UTILITY"}));
    EXPECT_TRUE(has({"label", "labelFw1", "BRIMEL FW Ver: 1.23", "shown"}));
    EXPECT_TRUE(has({"close"}));
    for (const auto &line : lines)
        EXPECT_NE(line.front(), "box") << "a box was shown: " << line.back();
    std::ifstream png(shot, std::ios::binary);
    char signature[8] = {};
    png.read(signature, sizeof signature);
    EXPECT_EQ(std::string(signature, 8), std::string("\x89PNG\r\n\x1a\n", 8));

    // Settings block, then the firmware, custom HDR and custom AVI registers and the
    // block read that decides the firmware label.
    const GadgetRecord r = mock.record();
    ASSERT_FALSE(r.frames.empty());
    EXPECT_EQ(r.frames.front(), (Bytes{0x11, 0x3E, 0xE1}));
    const std::vector<Bytes> reads{{0x11, 0x08, 0xE0, 0x07},
                                   {0x11, 0x21, 0xE0, 0x23},
                                   {0x11, 0x13, 0xE0, 0x24},
                                   {0x11, 0x3E, 0xE1}};
    EXPECT_NE(std::search(r.frames.begin(), r.frames.end(), reads.begin(), reads.end()),
              r.frames.end());
    // Open, one flush per transaction, release at the window's close.
    ASSERT_GE(r.vendorValues.size(), 2u);
    EXPECT_EQ(r.vendorValues.front(), 0x0002);
    EXPECT_EQ(r.vendorValues.back(), 0x0004);
    EXPECT_EQ(
        static_cast<std::size_t>(std::count(r.vendorValues.begin(), r.vendorValues.end(), 0x0001)),
        r.frames.size());
    EXPECT_FALSE(r.interfaceClaimed);
    EXPECT_TRUE(r.kernelDriverBound);
    EXPECT_EQ(r.violations, std::vector<std::string>{});

    // On a failure, or with BRIMEL_PROBE_SHOW set, the report is printed and the
    // report and window grab are kept.
    if (HasFailure() || std::getenv("BRIMEL_PROBE_SHOW")) {
        for (const auto &line : lines) {
            std::string text;
            for (const std::string &f : line) text += (text.empty() ? "" : " | ") + f;
            std::printf("probe: %s\n", text.c_str());
        }
        std::printf("frames: %zu, vendor requests: %zu, report and grab in %s\n", r.frames.size(),
                    r.vendorValues.size(), dir);
        return;
    }
    std::remove(report.c_str());
    std::remove(shot.c_str());
    rmdir(dir);
}

}  // namespace
