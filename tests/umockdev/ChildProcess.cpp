// Starting a program with pipes on its standard streams, reading them with poll()
// and waiting for its end through a pidfd, so no wait is longer than needed.
#include "tests/umockdev/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

extern char **environ;

namespace brimel::umock {

namespace {

using Clock = std::chrono::steady_clock;

int msLeft(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int>(std::max<long long>(left.count(), 0));
}

void closeFd(int &fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

}  // namespace

ChildProcess::ChildProcess(const std::string &program, const std::vector<std::string> &args,
                           const std::vector<std::string> &extraEnv) {
    std::vector<std::string> env;
    for (char **e = environ; *e; ++e) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('=') + 1);
        const bool replaced =
            std::any_of(extraEnv.begin(), extraEnv.end(),
                        [&](const std::string &x) { return x.rfind(name, 0) == 0; });
        if (!replaced) env.push_back(entry);
    }
    env.insert(env.end(), extraEnv.begin(), extraEnv.end());
    std::vector<char *> envp;
    for (std::string &e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> argText{program};
    argText.insert(argText.end(), args.begin(), args.end());
    std::vector<char *> argv;
    for (std::string &a : argText) argv.push_back(a.data());
    argv.push_back(nullptr);

    int in[2] = {-1, -1}, out[2] = {-1, -1}, err[2] = {-1, -1};
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 ||
        ::pipe2(err, O_CLOEXEC) != 0) {
        for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) closeFd(fd);
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    // Default signal actions: a test runner may have SIGINT ignored or blocked.
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &all);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = 0;
    const int spawned =
        posix_spawn(&pid, program.c_str(), &actions, &attr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    input_ = in[1];
    out_ = out[0];
    err_ = err[0];
    if (spawned != 0) {
        closeFd(input_);
        closeFd(out_);
        closeFd(err_);
        return;
    }
    pid_ = pid;
    pidfd_ = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
    closeFd(input_);
    closeFd(out_);
    closeFd(err_);
    closeFd(pidfd_);
}

bool ChildProcess::pump(int limitMs, bool untilLine) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(limitMs);
    for (;;) {
        if (untilLine && outText_.find('\n', lineStart_) != std::string::npos) return true;
        if (out_ < 0 && err_ < 0) return true;
        pollfd fds[2] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
        const int ready = ::poll(fds, 2, msLeft(deadline));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return false;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].revents == 0) continue;
            char buffer[4096];
            int &fd = i == 0 ? out_ : err_;
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n > 0)
                (i == 0 ? outText_ : errText_).append(buffer, static_cast<std::size_t>(n));
            else if (n == 0 || errno != EINTR)
                closeFd(fd);
        }
    }
}

std::optional<std::string> ChildProcess::readLine(int limitMs) {
    pump(limitMs, true);
    const std::size_t end = outText_.find('\n', lineStart_);
    if (end == std::string::npos) return std::nullopt;
    std::string line = outText_.substr(lineStart_, end - lineStart_);
    lineStart_ = end + 1;
    return line;
}

void ChildProcess::closeInput() {
    closeFd(input_);
}

ChildExit ChildProcess::wait(int limitMs) {
    ChildExit result;
    if (pid_ <= 0) return result;
    const auto deadline = Clock::now() + std::chrono::milliseconds(limitMs);
    // The pipes end when the program (and whatever it started) has closed them.
    bool inTime = pump(limitMs, false);
    pollfd ended{pidfd_, POLLIN, 0};
    if (inTime && pidfd_ >= 0) inTime = ::poll(&ended, 1, msLeft(deadline)) == 1;
    if (!inTime) ::kill(pid_, SIGKILL);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    closeInput();
    result.finished = inTime;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = outText_.substr(std::min(lineStart_, outText_.size()));
    result.err = errText_;
    return result;
}

}  // namespace brimel::umock
