#include "ChangeIpCommand.h"

#include "utils/uUtilsConvert.h"

#include <cstdlib>

const char* const ChangeIpUsage =
    "Usage: quorvet-cli change-ip --mac MAC (--ip IP | --dhcp)\n"
    "                             [--adapter ADDR | --all-adapters] [--arp]\n"
    "\n"
    "Gives the device with the MAC address (six pairs of hex digits joined by\n"
    "\"-\") a new IPv4 address. The new address is pinged first; if it answers,\n"
    "nothing is changed.\n"
    "\n"
    "  --mac MAC         the device's MAC address, e.g. 00-20-4A-01-02-03\n"
    "  --ip IP           the new address, dotted IPv4\n"
    "  --dhcp            let the device take its address by DHCP (sends 0.0.0.0)\n"
    "  --adapter ADDR    send the IP-SETUP datagram through the adapter with this\n"
    "                    local address (default: the system's choice)\n"
    "  --all-adapters    send the IP-SETUP datagram through every adapter\n"
    "  --arp             use a static ARP entry and a connection attempt to port 1\n"
    "                    instead (temporary; needs administrator rights)\n"
    "  --real-network    run outside the private test network (see below)\n"
    "  --help            show this text\n"
    "\n"
    "Prints the outcome. Exit status: 0 the address was assigned temporarily\n"
    "(--arp), 2 the IP-SETUP request was sent, 1 error or refusal, 64 usage error.\n"
    "\n"
    "This sends datagrams, pings and connection attempts. Outside the private\n"
    "test network (tests/net/qvnet run NETFILE -- ..., which sets QVNET_ID) it\n"
    "refuses to run unless --real-network is given.\n";

std::string ParseChangeIpArgs(const std::vector<std::string>& args, TChangeIpOptions& options) {
    options = TChangeIpOptions{};
    bool haveMac = false, haveIp = false, haveAdapter = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            options.Help = true;
            return {};
        } else if (a == "--all-adapters") {
            options.AllAdapters = true;
        } else if (a == "--arp") {
            options.Arp = true;
        } else if (a == "--dhcp") {
            options.Dhcp = true;
        } else if (a == "--real-network") {
            options.RealNetwork = true;
        } else if (a == "--mac" || a == "--ip" || a == "--adapter") {
            if (i + 1 >= args.size())
                return a + " needs a value";
            const std::string& value = args[++i];
            if (a == "--mac") {
                options.Mac = value;
                haveMac = true;
            } else if (a == "--ip") {
                options.Ip = value;
                haveIp = true;
            } else {
                options.Adapter = value;
                haveAdapter = true;
            }
        } else {
            return "unknown option '" + a + "'";
        }
    }
    // The MAC and IP texts are the engine's to judge, so that its messages
    // and codes are what a caller sees; only missing or conflicting options
    // are refused here.
    if (!haveMac)
        return "--mac is required";
    if (haveIp == options.Dhcp)
        return "give either --ip or --dhcp";
    if (options.Dhcp && options.Arp)
        return "--dhcp and --arp exclude each other";
    if (haveAdapter && options.AllAdapters)
        return "--adapter and --all-adapters exclude each other";
    if (options.Arp && (haveAdapter || options.AllAdapters))
        return "--adapter and --all-adapters apply to the IP-SETUP way, not to --arp";
    if (haveAdapter && !IsValidIP(options.Adapter))
        return "--adapter needs a dotted IPv4 address";
    if (options.Dhcp)
        options.Ip = "0.0.0.0";
    return {};
}

int RunChangeIp(const TChangeIpOptions& options, TXPortIPChange& engine, std::ostream& out) {
    engine.ArpOnly = options.Arp;
    engine.AllAdapters = options.AllAdapters;
    std::string message;
    int code = IPChangeFailed;
    engine.ChangeIP(options.Mac, options.Ip, options.Adapter, message, code);
    std::string text;
    for (std::size_t i = 0; i < message.size(); ++i) {
        if (message[i] == '\r' && i + 1 < message.size() && message[i + 1] == '\n')
            continue;
        text += message[i];
    }
    out << text << "\n";
    return code;
}

int CmdChangeIp(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const char* testNet = std::getenv("QVNET_ID");
    return CmdChangeIp(args, testNet && *testNet, out, err);
}

int CmdChangeIp(const std::vector<std::string>& args, bool insideTestNetwork, std::ostream& out,
                std::ostream& err) {
    TChangeIpOptions options;
    std::string error = ParseChangeIpArgs(args, options);
    if (options.Help) {
        out << ChangeIpUsage;
        return 0;
    }
    // A developer's stray run must not re-address devices on the machine's
    // real networks; a technician there says so explicitly.
    if (error.empty() && !insideTestNetwork && !options.RealNetwork)
        error = "not inside the private test network; add --real-network to change a device "
                "on the real networks of this computer";
    if (!error.empty()) {
        err << "quorvet-cli change-ip: " << error << "\n"
            << "Try 'quorvet-cli change-ip --help'.\n";
        return ChangeIpUsageExit;
    }
    TXPortIPChange engine;
    return RunChangeIp(options, engine, out);
}
