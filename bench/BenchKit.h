// What the window benchmarks share: process CPU time, wall time, resident memory, the
// window's tick, and dialogs that only count the boxes (a real box would block).
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QString>
#include <QTimerEvent>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <numeric>
#include <vector>

#include "app/CorbanelForm.h"
#include "app/Dialogs.h"

namespace bench {

// CPU time of every thread of the process.
inline double cpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

inline double wallSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Resident set size from /proc/self/statm (second field, in pages), read without
// stdio so that the reading itself allocates nothing.
inline long rssBytes() {
    char text[128] = {};
    const int fd = ::open("/proc/self/statm", O_RDONLY);
    if (fd < 0) return -1;
    const ssize_t n = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    long pages = 0, resident = 0;
    if (n <= 0 || std::sscanf(text, "%ld %ld", &pages, &resident) != 2) return -1;
    return resident * sysconf(_SC_PAGESIZE);
}

// One field of /proc/self/status ("voluntary_ctxt_switches" and the like); -1 if absent.
inline long procStatus(const char *field) {
    std::FILE *f = std::fopen("/proc/self/status", "r");
    if (!f) return -1;
    char line[256];
    long value = -1;
    const std::size_t len = std::strlen(field);
    while (std::fgets(line, sizeof line, f)) {
        if (std::strncmp(line, field, len) == 0 && line[len] == ':') {
            std::sscanf(line + len + 1, "%ld", &value);
            break;
        }
    }
    std::fclose(f);
    return value;
}

// The window's poll tick, as its timer delivers it. Id 0 would not reach the tick:
// QMainWindow's layout takes timer events with its idle timer's id (0) for itself.
inline void tick(MainWindow &w) {
    QTimerEvent e(1);
    QCoreApplication::sendEvent(&w, &e);
}

struct Stats {
    double min = 0, median = 0, mean = 0, max = 0;
};

inline Stats stats(std::vector<double> v) {
    Stats s;
    if (v.empty()) return s;
    std::sort(v.begin(), v.end());
    s.min = v.front();
    s.max = v.back();
    s.median = v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
    s.mean = std::accumulate(v.begin(), v.end(), 0.0) / double(v.size());
    return s;
}

class CountingDialogs final : public Dialogs {
public:
    int shown = 0;
    void transportWarning(const QString &) override { ++shown; }
    void warning(QWidget *, const QString &, const QString &) override { ++shown; }
    bool question(QWidget *, const QString &, const QString &, const QString &) override {
        ++shown;
        return false;
    }
    QString openFileName(QWidget *, const QString &, const QString &, const QString &) override {
        return {};
    }
    QString saveFileName(QWidget *, const QString &, const QString &, const QString &) override {
        return {};
    }
    void about(QWidget *, const QString &, const QString &) override {}
};

}  // namespace bench
