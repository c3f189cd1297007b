// Millisecond tick and sleep. The real clock is monotonic; the fake clock only moves
// when a test (or the emulated library) moves it, so no test waits for real.
#pragma once

#include <cstdint>

namespace brimel {

class Clock {
public:
    virtual ~Clock() = default;
    // A wrapping 32-bit millisecond counter; only differences are meaningful.
    virtual std::uint32_t tickMs() = 0;
    virtual void sleepMs(std::uint32_t ms) = 0;
};

class SteadyClock final : public Clock {
public:
    std::uint32_t tickMs() override;
    void sleepMs(std::uint32_t ms) override;
};

class FakeClock final : public Clock {
public:
    explicit FakeClock(std::uint32_t start = 0) : now_(start) {}
    std::uint32_t tickMs() override { return now_; }
    // A sleep just moves time on.
    void sleepMs(std::uint32_t ms) override { now_ += ms; }
    void advance(std::uint32_t ms) { now_ += ms; }
    void set(std::uint32_t now) { now_ = now; }

private:
    std::uint32_t now_;
};

}  // namespace brimel
