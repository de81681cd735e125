#pragma once
// The flag a stop signal sets (StopSignal.h); shared by the system parts.

#include <csignal>

namespace platform::stopsignal {
extern volatile std::sig_atomic_t gRequested;
} // namespace platform::stopsignal
