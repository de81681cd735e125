#include "ChangeIpCommand.h"

#include "ipchange/uXPortIPChangeRecord.h"
#include "ipchange/uXPortIPChangeStrings.h"
#include "utils/uUtilsConvert.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <array>
#include <chrono>
#include <exception>
#include <optional>
#include <stdexcept>
#include <thread>

namespace {

constexpr const char* ChangeIpPrefix = "quorvet-cli change-ip: ";

// The engine's two-line messages carry CR LF; a terminal wants "\n".
std::string Lines(const std::string& message) {
    std::string text;
    for (std::size_t i = 0; i < message.size(); ++i) {
        if (message[i] == '\r' && i + 1 < message.size() && message[i + 1] == '\n')
            continue;
        text += message[i];
    }
    return text;
}

// Exception texts may hold CR LF; a refusal is one line.
std::string OneLine(const std::string& text) {
    std::string line;
    for (char c : text) {
        if (c == '\r')
            continue;
        line += c == '\n' ? ' ' : c;
    }
    return line;
}

std::optional<TXportPar> FindByMac(const std::vector<TXportPar>& devices, const std::string& mac) {
    const std::string wanted = HyphenMac(mac);
    for (const TXportPar& d : devices)
        if (!wanted.empty() && HyphenMac(d.MAC) == wanted)
            return d;
    return std::nullopt;
}

bool SameAddress(const std::string& a, const std::string& b) {
    std::array<std::uint8_t, 4> x{}, y{};
    return IPToBytes(a, x) && IPToBytes(b, y) && x == y;
}

std::string DeviceText(const TXportPar& d) {
    return d.MAC + " at " + d.IP + " (adapter " + d.AdapterIP + ")";
}

// Searches until the device answers where it should or the window has
// passed; prints one line and returns the exit status.
int Verify(const TChangeIpOptions& options, const std::optional<TXportPar>& before,
           const TChangeIpServices& services, std::ostream& out, std::ostream& err) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(services.VerifyWindowMs);
    // With DHCP the new address is the device's business: it counts as taken
    // once the device answers anywhere but where it was.
    auto taken = [&](const TXportPar& d) {
        if (!options.Dhcp)
            return SameAddress(d.IP, options.Ip);
        return !before || d.IP != before->IP;
    };
    std::optional<TXportPar> last;
    bool searchFailed = false; // the last search
    bool reported = false;
    for (;;) {
        try {
            last = FindByMac(services.Search(), options.Mac);
            searchFailed = false;
        } catch (const std::exception& e) {
            // Once is enough for a failure that repeats with every search.
            if (!reported)
                err << ChangeIpPrefix << "search after the change failed: " << OneLine(e.what())
                    << "\n";
            reported = true;
            last.reset();
            searchFailed = true;
        }
        if (last && taken(*last)) {
            out << "Verified: the device " << last->MAC << " answers at "
                << (options.Dhcp ? last->IP + " (its address by DHCP)"
                                 : "its new address " + last->IP)
                << ".\n";
            return ExitDone;
        }
        const auto now = Clock::now();
        if (now >= deadline)
            break;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
        std::this_thread::sleep_for(
            std::min(left, std::chrono::milliseconds(std::max(services.VerifyPauseMs, 0))));
    }
    const int seconds = (std::max(services.VerifyWindowMs, 0) + 999) / 1000;
    out << "Not verified: the device " << HyphenMac(options.Mac) << " was not seen at "
        << (options.Dhcp ? std::string("a new address") : options.Ip) << " within " << seconds
        << " s; ";
    if (last)
        out << "it still answers at " << last->IP << ".\n";
    else if (searchFailed)
        out << "the search failed.\n";
    else
        out << "it did not answer at all.\n";
    return ExitNotSeen;
}

} // namespace

CLI::App& AddChangeIpCommand(CLI::App& app, TChangeIpOptions& options) {
    CLI::App& command = *app.add_subcommand(
        "change-ip", "quorvet-cli change-ip --mac MAC (--ip IP | --dhcp)\n"
                     "                      [--adapter ADDR | --all-adapters] [--arp] [--force]\n"
                     "                      [--no-verify] [--settings FILE] [--timeout MS]\n"
                     "\n"
                     "Gives the device with the MAC address a new IPv4 address. The new address\n"
                     "is pinged first; if it answers, nothing is changed.\n"
                     "\n"
                     "Without --adapter and --all-adapters a search first finds the adapter the\n"
                     "device answers on, and the IP-SETUP datagram goes out through that adapter\n"
                     "only; a device that does not answer is refused (see --all-adapters). The\n"
                     "datagram names the device by the last two octets of its MAC: when another\n"
                     "device of that search behind the same adapter (any adapter, with\n"
                     "--all-adapters) has the same two octets, it would take the address too, and\n"
                     "the change is refused unless --force is given. After the change, searches\n"
                     "for up to 5 seconds check that the device answers at its new address.");
    command
        .add_option("--mac", options.Mac,
                    "the device's MAC address, e.g. 00-20-4A-01-02-03, or with\n"
                    "colons as 'ip link' prints it (00:20:4a:01:02:03)")
        ->type_name("MAC");
    command.add_option("--ip", options.Ip, "the new address, dotted IPv4")->type_name("IP");
    command.add_flag("--dhcp", options.Dhcp,
                     "let the device take its address by DHCP (sends 0.0.0.0);\n"
                     "seen means: answering at an address other than the one\n"
                     "the search before found (any, if it found none)");
    command
        .add_option("--adapter", options.Adapter,
                    "send the IP-SETUP datagram through the adapter with this\n"
                    "local address")
        ->type_name("ADDR");
    command.add_flag("--all-adapters", options.AllAdapters,
                     "send the IP-SETUP datagram through every adapter, also for\n"
                     "a device that does not answer (\"device not found\")");
    command.add_flag("--arp", options.Arp,
                     "use a static ARP entry and a connection attempt to port 1\n"
                     "instead (temporary; needs administrator rights)");
    command.add_flag("--force", options.Force,
                     "send although other devices share the MAC's last two octets");
    command.add_flag("--no-verify", options.NoVerify,
                     "do not search for the device after the change");
    AddSearchOptions(command, options.Search);
    command.add_flag("--real-network", options.RealNetwork,
                     "run outside the private test network (see below)");
    command.footer(
        "Prints the engine's outcome, then one line on whether the device answers at\n"
        "its new address. Where a failure has a cause to act on (no right to ping,\n"
        "or to make the ARP-table entry), it follows on standard error, as do\n"
        "refusals.\n"
        "\n"
        "Exit status: 0 done (request sent or ARP-table entry made, and the device\n"
        "seen at its new address; with --no-verify: sent or made), 1 error or\n"
        "refusal, 2 usage error, 3 sent but the device was not seen at its new\n"
        "address.\n"
        "\n"
        "This sends datagrams, pings and connection attempts." +
        std::string(QUORVET_TESTNET_GUARD
                        ? "\nThis developer build refuses to send outside the private test\n"
                          "network (tests/net/qvnet run NETFILE -- ..., which sets QVNET_ID)\n"
                          "unless --real-network is given."
                        : ""));
    return command;
}

void CheckChangeIpOptions(const CLI::App& command, TChangeIpOptions& options) {
    const bool haveIp = command.count("--ip") > 0;
    const bool haveAdapter = command.count("--adapter") > 0;
    // The MAC and IP texts are the engine's to judge, so that its messages
    // and codes are what a caller sees; only missing or conflicting options
    // are refused here.
    if (command.count("--mac") == 0)
        throw cmdline::TUsageError("--mac is required");
    if (haveIp == options.Dhcp)
        throw cmdline::TUsageError("give either --ip or --dhcp");
    if (options.Dhcp && options.Arp)
        throw cmdline::TUsageError("--dhcp and --arp exclude each other");
    if (haveAdapter && options.AllAdapters)
        throw cmdline::TUsageError("--adapter and --all-adapters exclude each other");
    if (options.Arp && (haveAdapter || options.AllAdapters))
        throw cmdline::TUsageError(
            "--adapter and --all-adapters apply to the IP-SETUP way, not to --arp");
    if (options.Arp && options.Force)
        throw cmdline::TUsageError("--force applies to the IP-SETUP way, not to --arp");
    if (haveAdapter && !IsValidIP(options.Adapter))
        throw cmdline::TUsageError("--adapter needs a dotted IPv4 address");
    // 'ip link' prints MACs with colons; the engine takes hyphens.
    std::replace(options.Mac.begin(), options.Mac.end(), ':', '-');
    if (options.Dhcp)
        options.Ip = "0.0.0.0";
}

int RunChangeIp(const TChangeIpOptions& options, TXPortIPChange& engine,
                const TChangeIpServices& services, std::ostream& out, std::ostream& err) {
    engine.ArpOnly = options.Arp;
    engine.AllAdapters = options.AllAdapters;
    std::string adapter = options.Adapter;
    std::optional<TXportPar> before;
    // Texts the engine refuses anyway need no search; their message comes
    // from the engine as ever.
    const bool usable = IsValidMAC(options.Mac) && IsValidIP(options.Ip);
    std::vector<TXportPar> devices;
    // The ARP-table way needs no search, unless targets may list the device
    // behind a router, where no way reaches it.
    if (usable && (!options.Arp || SearchHasTargets(options.Search))) {
        try {
            if (!services.Search)
                throw std::runtime_error("no search");
            devices = services.Search();
        } catch (const std::exception& e) {
            err << ChangeIpPrefix << "search failed: " << OneLine(e.what()) << "\n";
            return ExitFailed;
        }
        before = FindByMac(devices, options.Mac);
        if (before && before->AdapterIP == UnicastAdapter) {
            err << ChangeIpPrefix << "refused for the device " << DeviceText(*before) << ": "
                << IPChangeStrings::SIPChangeCauseUnicast << " Nothing was sent.\n";
            return ExitFailed;
        }
    }
    if (usable && !options.Arp) {
        if (!options.AllAdapters && adapter.empty()) {
            // The system's choice of adapter follows the routes, not the
            // segment the device is on.
            if (!before) {
                err << ChangeIpPrefix << "no device with MAC " << HyphenMac(options.Mac)
                    << " answered the search; nothing was sent.\n"
                    << "To send anyway (the \"device not found\" way), add --all-adapters, or "
                       "--adapter ADDR.\n";
                return ExitFailed;
            }
            adapter = before->AdapterIP;
        }
        // Every device with the same last two octets takes the address of
        // the datagram it hears.
        const std::vector<TXportPar> sharing =
            DevicesSharingMacSuffix(devices, options.Mac, options.AllAdapters ? "" : adapter);
        const std::string suffix = HyphenMac(options.Mac).substr(12);
        for (const TXportPar& other : sharing)
            err << ChangeIpPrefix << (options.Force ? "warning: " : "") << "the device "
                << DeviceText(other) << " has the same last two MAC octets (" << suffix << ") and "
                << (options.Force ? "may" : "would") << " take the new address too.\n";
        if (!sharing.empty() && !options.Force) {
            err << ChangeIpPrefix << "nothing was sent; add --force to send anyway.\n";
            return ExitFailed;
        }
    }
    std::string message;
    int code = IPChangeFailed;
    engine.OldIP = before ? before->IP : std::string();
    engine.ChangeIP(options.Mac, options.Ip, adapter, message, code);
    out << Lines(message) << "\n";
    if (!engine.Cause().empty())
        err << engine.Cause() << "\n";
    if (code != IPChangeRequestSent && code != IPChangeTemporary)
        return ExitFailed;
    if (options.NoVerify)
        return ExitDone;
    out.flush();
    return Verify(options, before, services, out, err);
}

int RunChangeIpCommand(const TChangeIpOptions& options, std::ostream& out, std::ostream& err) {
    TChangeIpServices services;
    services.Search = [&options] {
        TXportSearch search;
        ConfigureSearch(search, options.Search);
        search.Search();
        return search.Devices();
    };
    TXPortIPChange engine;
    engine.RecordFile = DefaultChangeRecordFile();
    return RunChangeIp(options, engine, services, out, err);
}
