// A program the umockdev tests start: it inherits this process's environment (the
// testbed's UMOCKDEV_DIR and umockdev's preload library), reads its standard input from
// a pipe the test holds, and its standard output and error are collected through pipes.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace brimel::umock {

struct ChildExit {
    bool finished = false;  // it ended by itself within the time limit
    int exitCode = -1;      // its exit status, -1 when a signal ended it
    std::string out;        // its standard output after the lines readLine() took
    std::string err;
};

class ChildProcess {
public:
    // Starts `program` with `args`, this process's environment and `extraEnv`
    // ("NAME=value", replacing an inherited variable of that name).
    ChildProcess(const std::string &program, const std::vector<std::string> &args,
                 const std::vector<std::string> &extraEnv = {});
    // A child still running is killed and reaped.
    ~ChildProcess();
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    bool started() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }

    // Its next line of standard output (without the line end), waiting at most
    // `limitMs`; nothing when the time ran out or the output ended first.
    std::optional<std::string> readLine(int limitMs);
    // Closes its standard input, so a read there sees the end.
    void closeInput();
    // Waits at most `limitMs` for it to end (then kills it) and collects the rest of its
    // output.
    ChildExit wait(int limitMs);

private:
    // Reads the pipes until both have ended (or, with `untilLine`, a whole line of
    // standard output is there); false when `limitMs` passed first.
    bool pump(int limitMs, bool untilLine);

    pid_t pid_ = -1;
    int pidfd_ = -1;
    int input_ = -1;
    int out_ = -1;
    int err_ = -1;
    std::string outText_;
    std::string errText_;
    std::size_t lineStart_ = 0;  // where readLine goes on in the standard output
};

}  // namespace brimel::umock
