// Real clock: std::chrono::steady_clock truncated to a wrapping 32-bit tick.
#include "device/Clock.h"

#include <chrono>
#include <thread>

namespace brimel {

std::uint32_t SteadyClock::tickMs() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

void SteadyClock::sleepMs(std::uint32_t ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace brimel
