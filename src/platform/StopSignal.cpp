#include "platform/StopSignal.h"

#include "platform/StopSignalFlag.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace platform {

namespace stopsignal {
volatile std::sig_atomic_t gRequested = 0;
} // namespace stopsignal

bool TStopSignal::Requested() const {
    return stopsignal::gRequested != 0;
}

void TStopSignal::Request() {
    stopsignal::gRequested = 1;
}

bool TStopSignal::WaitFor(int ms) const {
    // Short naps: a stop is seen within a tenth of a second, without a
    // thread or a pipe the signal handler would have to reach.
    constexpr int StepMs = 50;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(0, ms));
    while (!Requested()) {
        // In the clock's own units: a rest below a millisecond is still waited.
        const auto left = end - std::chrono::steady_clock::now();
        if (left <= std::chrono::steady_clock::duration::zero())
            break;
        std::this_thread::sleep_for(
            std::min<std::chrono::steady_clock::duration>(std::chrono::milliseconds(StepMs), left));
    }
    return Requested();
}

} // namespace platform
