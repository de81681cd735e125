// Linux: /sys/class/net, /proc/sys, /proc/net/route and /proc/self/status,
// through the bounded reader (a file there may be anything on a strange
// system).
#include "platform/SystemState.h"

#include "base/uFileRead.h"

#include <net/if.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr std::size_t MaxProcFile = 1024 * 1024;

std::optional<std::string> ReadFirstLine(const std::string& path) {
    std::string text;
    if (ReadRegularFile(path, 4096, text) != TFileRead::Ok)
        return std::nullopt;
    text = text.substr(0, text.find('\n'));
    return text;
}

// A name that stays one folder level below the one it is put into.
bool IsPlainName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string("/\0", 2)) == std::string::npos;
}

} // namespace

TLinkState ReadLinkState(const std::string& adapterName) {
    TLinkState state;
    if (!IsPlainName(adapterName))
        return state;
    const std::string folder = "/sys/class/net/" + adapterName + "/";
    const auto flags = ReadFirstLine(folder + "flags");
    if (!flags)
        return state;
    try {
        state.Up = (std::stoul(*flags, nullptr, 16) & IFF_UP) != 0;
    } catch (...) {
        return state;
    }
    state.Known = true;
    // The kernel refuses to read "carrier" of an adapter that is down.
    const auto carrier = ReadFirstLine(folder + "carrier");
    state.Carrier = state.Up && carrier && *carrier == "1";
    return state;
}

std::optional<std::string> ReadKernelSetting(const std::string& key) {
    if (key.empty() || key.front() == '/' || key.find("..") != std::string::npos ||
        key.find('\0') != std::string::npos)
        return std::nullopt;
    return ReadFirstLine("/proc/sys/" + key);
}

std::optional<bool> HasDefaultRoute() {
    std::string text;
    if (ReadRegularFile("/proc/net/route", MaxProcFile, text) != TFileRead::Ok)
        return std::nullopt;
    return RouteTableHasDefault(text);
}

bool MayChangeNeighbourTable() {
    if (::geteuid() == 0)
        return true;
    constexpr int CapNetAdmin = 12;
    std::string status;
    if (ReadRegularFile("/proc/self/status", MaxProcFile, status) != TFileRead::Ok)
        return false;
    return EffectiveCapabilityHeld(status, CapNetAdmin);
}

} // namespace platform
