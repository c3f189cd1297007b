// Runs edid-decode as a child process through posix_spawn and three pipes driven by poll,
// and parses the conformity findings out of its output.
#include "edid/EdidDecode.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

extern char **environ;

namespace brimel {
namespace {

using Clock = std::chrono::steady_clock;

// --- Descriptors ------------------------------------------------------------------------------

// Owns one file descriptor.
class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    Fd(Fd &&other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Fd &operator=(Fd &&other) noexcept {
        if (this != &other) reset(std::exchange(other.fd_, -1));
        return *this;
    }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    ~Fd() { reset(); }

    int get() const { return fd_; }
    bool open() const { return fd_ >= 0; }
    void reset(int fd = -1) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }

private:
    int fd_ = -1;
};

struct Pipe {
    Fd read;
    Fd write;
};

// A close-on-exec descriptor numbered 3 or higher: the child's dup2 onto 0, 1 and 2 must
// never be a no-op that keeps the close-on-exec flag (when the caller has closed one of them).
bool aboveStandard(Fd &fd) {
    if (fd.get() > 2) return true;
    const int moved = ::fcntl(fd.get(), F_DUPFD_CLOEXEC, 3);
    if (moved < 0) return false;
    fd.reset(moved);
    return true;
}

std::optional<Pipe> makePipe() {
    std::array<int, 2> fds{};
    if (::pipe2(fds.data(), O_CLOEXEC) != 0) return std::nullopt;
    Pipe p{Fd(fds[0]), Fd(fds[1])};
    if (!aboveStandard(p.read) || !aboveStandard(p.write)) return std::nullopt;
    return p;
}

bool setNonBlocking(const Fd &fd) {
    const int flags = ::fcntl(fd.get(), F_GETFL);
    return flags >= 0 && ::fcntl(fd.get(), F_SETFL, flags | O_NONBLOCK) == 0;
}

std::string failure(const char *what, int error) {
    return std::string(what) + ": " + std::strerror(error);
}

// --- Finding the program --------------------------------------------------------------------

bool executableFile(const std::string &path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

// The program's path: itself when it holds a '/', else the first executable file of that name
// in the search path (an empty entry is the current directory).
std::optional<std::string> findProgram(const EdidDecodeOptions &options) {
    const std::string &program = options.program;
    if (program.empty()) return std::nullopt;
    if (program.find('/') != std::string::npos) {
        struct stat st {};
        if (::stat(program.c_str(), &st) != 0) return std::nullopt;
        return program;
    }
    std::string path;
    if (options.searchPath) {
        path = *options.searchPath;
    } else if (const char *env = std::getenv("PATH")) {
        path = env;
    } else {
        std::array<char, 256> standard{};
        if (::confstr(_CS_PATH, standard.data(), standard.size()) > 0) path = standard.data();
    }
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t end = std::min(path.find(':', start), path.size());
        const std::string dir = path.substr(start, end - start);
        const std::string candidate = (dir.empty() ? std::string(".") : dir) + "/" + program;
        if (executableFile(candidate)) return candidate;
        start = end + 1;
    }
    return std::nullopt;
}

// --- Starting the child -------------------------------------------------------------------------

// Starts `path` with its standard streams on the given pipe ends, in a new process group,
// with default signal actions and an empty signal mask. Returns 0 or the error number.
int spawnChild(const std::string &path, const std::string &program, const Fd &in, const Fd &out,
               const Fd &err, pid_t &pid) {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    if (int e = ::posix_spawn_file_actions_init(&actions)) return e;
    if (int e = ::posix_spawnattr_init(&attr)) {
        ::posix_spawn_file_actions_destroy(&actions);
        return e;
    }
    sigset_t defaults;
    sigset_t empty;
    ::sigemptyset(&defaults);
    ::sigaddset(&defaults, SIGPIPE);
    ::sigemptyset(&empty);
    int e = ::posix_spawn_file_actions_adddup2(&actions, in.get(), STDIN_FILENO);
    if (!e) e = ::posix_spawn_file_actions_adddup2(&actions, out.get(), STDOUT_FILENO);
    if (!e) e = ::posix_spawn_file_actions_adddup2(&actions, err.get(), STDERR_FILENO);
    if (!e) e = ::posix_spawnattr_setsigdefault(&attr, &defaults);
    if (!e) e = ::posix_spawnattr_setsigmask(&attr, &empty);
    if (!e) e = ::posix_spawnattr_setpgroup(&attr, 0);
    if (!e) {
        e = ::posix_spawnattr_setflags(
            &attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETPGROUP);
    }
    if (!e) {
        std::string arg0 = program;
        std::string arg1(kEdidDecodeArgument);
        std::array<char *, 3> argv = {arg0.data(), arg1.data(), nullptr};
        e = ::posix_spawn(&pid, path.c_str(), &actions, &attr, argv.data(), environ);
    }
    ::posix_spawnattr_destroy(&attr);
    ::posix_spawn_file_actions_destroy(&actions);
    return e;
}

// Blocks SIGPIPE in the calling thread while it lives, so a write into a pipe whose reader
// has gone fails with EPIPE instead of ending the process; a SIGPIPE raised meanwhile is
// taken off the thread before the old mask comes back.
class SigpipeBlock {
public:
    SigpipeBlock() {
        ::sigemptyset(&pipe_);
        ::sigaddset(&pipe_, SIGPIPE);
        sigset_t pending;
        ::sigemptyset(&pending);
        ::sigpending(&pending);
        wasPending_ = ::sigismember(&pending, SIGPIPE) == 1;
        ::pthread_sigmask(SIG_BLOCK, &pipe_, &old_);
    }
    SigpipeBlock(const SigpipeBlock &) = delete;
    SigpipeBlock &operator=(const SigpipeBlock &) = delete;
    ~SigpipeBlock() {
        sigset_t pending;
        ::sigemptyset(&pending);
        ::sigpending(&pending);
        if (!wasPending_ && ::sigismember(&pending, SIGPIPE) == 1) {
            const timespec now{0, 0};
            while (::sigtimedwait(&pipe_, nullptr, &now) < 0 && errno == EINTR) {
            }
        }
        ::pthread_sigmask(SIG_SETMASK, &old_, nullptr);
    }

private:
    sigset_t pipe_;
    sigset_t old_;
    bool wasPending_ = false;
};

void killGroup(pid_t pid) {
    ::kill(-pid, SIGKILL);
    ::kill(pid, SIGKILL);  // in case the group could not be signalled
}

int reap(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

int remainingMs(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(left.count(), 0, 1 << 30));
}

// --- Parsing ----------------------------------------------------------------------------------

std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

std::string_view trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    const std::size_t last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

}  // namespace

EdidDecodeResult runEdidDecode(std::span<const std::uint8_t> image,
                               const EdidDecodeOptions &options) {
    EdidDecodeResult result;
    const std::optional<std::string> path = findProgram(options);
    if (!path) {
        result.status = EdidDecodeStatus::NotInstalled;
        return result;
    }
    // Checked here, not left to posix_spawn: an implementation may report a failed exec
    // only as the child's exit status 127.
    if (::access(path->c_str(), X_OK) != 0) {
        result.error = failure("start", errno);
        return result;
    }
    auto in = makePipe();
    auto out = makePipe();
    auto err = makePipe();
    if (!in || !out || !err) {
        result.error = failure("pipe", errno);
        return result;
    }

    pid_t pid = -1;
    if (const int e = spawnChild(*path, options.program, in->read, out->write, err->write, pid)) {
        if (e == ENOENT) {
            result.status = EdidDecodeStatus::NotInstalled;
        } else {
            result.error = failure("start", e);
        }
        return result;
    }
    in->read.reset();
    out->write.reset();
    err->write.reset();
    Fd input = std::move(in->write);
    std::array<Fd, 2> readers = {std::move(out->read), std::move(err->read)};
    std::array<std::string *, 2> sinks = {&result.output, &result.errors};
    setNonBlocking(input);
    for (const Fd &r : readers) setNonBlocking(r);
    if (image.empty()) input.reset();

    const Clock::time_point deadline = Clock::now() + options.timeLimit;
    std::size_t written = 0;
    std::size_t collected = 0;
    bool killed = false;
    EdidDecodeStatus killedFor = EdidDecodeStatus::TimedOut;
    std::array<char, 65536> buffer{};
    {
        const SigpipeBlock noSigpipe;
        while (!killed && (input.open() || readers[0].open() || readers[1].open())) {
            const int wait = remainingMs(deadline);
            if (wait == 0) {
                killed = true;
                break;
            }
            std::array<pollfd, 3> fds{};
            std::array<Fd *, 3> owners{};
            nfds_t count = 0;
            if (input.open()) {
                fds[count] = {input.get(), POLLOUT, 0};
                owners[count++] = &input;
            }
            for (Fd &r : readers) {
                if (!r.open()) continue;
                fds[count] = {r.get(), POLLIN, 0};
                owners[count++] = &r;
            }
            const int ready = ::poll(fds.data(), count, wait);
            if (ready < 0 && errno != EINTR) {
                result.error = failure("poll", errno);
                killedFor = EdidDecodeStatus::StartFailed;
                killed = true;
                break;
            }
            for (nfds_t i = 0; i < count && ready > 0 && !killed; ++i) {
                if (fds[i].revents == 0) continue;
                Fd &fd = *owners[i];
                if (&fd == &input) {
                    const ssize_t n =
                        ::write(fd.get(), image.data() + written, image.size() - written);
                    if (n > 0) written += static_cast<std::size_t>(n);
                    // EPIPE: the child stopped reading; what it got is all it wants.
                    if (written == image.size() || (n < 0 && errno != EAGAIN && errno != EINTR)) {
                        fd.reset();
                    }
                    continue;
                }
                const ssize_t n = ::read(fd.get(), buffer.data(), buffer.size());
                if (n > 0) {
                    const std::size_t room = options.outputLimit - collected;
                    const std::size_t take = std::min(room, static_cast<std::size_t>(n));
                    std::string &sink = *sinks[&fd == &readers[0] ? 0 : 1];
                    sink.append(buffer.data(), take);
                    collected += take;
                    if (take < static_cast<std::size_t>(n)) {
                        killed = true;
                        killedFor = EdidDecodeStatus::Truncated;
                    }
                } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                    fd.reset();
                }
            }
        }
        input.reset();  // before the guard goes: a late SIGPIPE cannot come from a closed pipe
    }

    if (!killed) {
        // Both streams ended; the child may still run (it closed them, or handed them on).
        while (true) {
            int status = 0;
            const pid_t done = ::waitpid(pid, &status, WNOHANG);
            if (done == pid) {
                if (WIFEXITED(status)) {
                    result.status = EdidDecodeStatus::Finished;
                    result.exitCode = WEXITSTATUS(status);
                } else {
                    result.status = EdidDecodeStatus::Crashed;
                    result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
                }
                break;
            }
            if (done < 0 && errno != EINTR) {
                result.error = failure("wait", errno);
                result.status = EdidDecodeStatus::StartFailed;
                break;
            }
            const int wait = remainingMs(deadline);
            if (wait == 0) {
                killed = true;
                break;
            }
            ::poll(nullptr, 0, std::min(wait, 5));
        }
    }
    if (killed) {
        killGroup(pid);
        reap(pid);
        result.status = killedFor;
    }
    if (result.status == EdidDecodeStatus::Finished) {
        result.conformity = parseEdidConformity(result.output);
    }
    return result;
}

std::optional<EdidConformity> parseEdidConformity(std::string_view output) {
    const std::vector<std::string_view> lines = splitLines(output);
    constexpr std::string_view kVerdict = "EDID conformity: ";
    constexpr std::string_view kVersion = "edid-decode SHA: ";
    const auto verdict = std::find_if(lines.rbegin(), lines.rend(),
                                      [&](std::string_view l) { return startsWith(l, kVerdict); });
    if (verdict == lines.rend()) return std::nullopt;
    const auto end = verdict.base() - 1;  // the verdict line
    auto start = end;
    while (start != lines.begin() && *(start - 1) != "----------------") --start;

    EdidConformity c;
    c.passed = trimmed(end->substr(kVerdict.size())) == "PASS";
    std::vector<EdidFinding> *section = nullptr;
    std::string block;
    for (auto it = start; it != end; ++it) {
        const std::string_view line = *it;
        if (trimmed(line).empty()) continue;
        if (startsWith(line, kVersion)) {
            c.version = std::string(trimmed(line.substr(kVersion.size())));
            section = nullptr;
        } else if (startsWith(line, "Warnings:")) {
            section = &c.warnings;
            block.clear();
        } else if (startsWith(line, "Failures:")) {
            section = &c.failures;
            block.clear();
        } else if (section == nullptr) {
            continue;
        } else if (line[0] != ' ') {
            block = std::string(line.back() == ':' ? line.substr(0, line.size() - 1) : line);
        } else if (startsWith(line, "    ") && !section->empty()) {
            section->back().details.emplace_back(trimmed(line));
        } else {
            section->push_back({block, std::string(trimmed(line)), {}});
        }
    }
    return c;
}

std::string edidDecodeProblem(const EdidDecodeResult &result, const EdidDecodeOptions &options) {
    switch (result.status) {
        case EdidDecodeStatus::Finished:
            if (result.conformity) return {};
            return "edid-decode gave no verdict (exit code " + std::to_string(result.exitCode) +
                   ").";
        case EdidDecodeStatus::NotInstalled:
            return std::string(kEdidDecodeInstallHint);
        case EdidDecodeStatus::StartFailed:
            return "edid-decode could not be run (" + result.error + ").";
        case EdidDecodeStatus::TimedOut:
            return "edid-decode did not finish within " +
                   std::to_string(options.timeLimit.count()) + " ms and was stopped.";
        case EdidDecodeStatus::Truncated:
            return "edid-decode wrote more than " + std::to_string(options.outputLimit) +
                   " bytes and was stopped; its output is cut there.";
        case EdidDecodeStatus::Crashed:
            return "edid-decode ended with signal " + std::to_string(result.signal) + ".";
    }
    return {};
}

}  // namespace brimel
