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
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(
            std::min<long long>(StepMs, static_cast<long long>(left.count()))));
    }
    return Requested();
}

} // namespace platform
