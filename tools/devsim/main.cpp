// quorvet-devsim: simulated XPort devices for tests and demos.
//
//   quorvet-devsim [--log FILE] [--port N] [--device 'LINE']... [NETFILE...]
//   quorvet-devsim --plan NETFILE     (the interfaces qvnet has to build)
//
// Every device must find its address on an interface of the namespace it
// runs in; qvnet builds those interfaces from the same NETFILE.

#include "CommandLine.h"
#include "NetFile.h"
#include "Simulator.h"

#include <CLI/CLI.hpp>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <map>
#include <unistd.h>

namespace {

volatile int gStop = 0;
void OnSignal(int) {
    gStop = 1;
}

std::string MacColons(const devsim::Mac& mac) {
    std::string s = devsim::MacText(mac);
    for (char& c : s)
        if (c == '-')
            c = ':';
    return s;
}

// One line per adapter and device, in file order, for qvnet:
//   adapter N IP/PREFIX GATEWAY|-
//   router N ADAPTER IP/PREFIX ROUTED-IP/PREFIX ROUTED-NETWORK/PREFIX
//   device N IFNAME MAC IP/PREFIX [FROM/PREFIX]   (N is rK behind router K)
void PrintPlan(const devsim::NetDescription& net) {
    for (std::size_t k = 0; k < net.adapters.size(); ++k) {
        const auto& a = net.adapters[k];
        std::cout << "adapter " << k + 1 << " " << devsim::IpText(a.ip) << "/" << a.prefix << " "
                  << (a.gateway ? devsim::IpText(*a.gateway) : "-") << "\n";
    }
    for (std::size_t k = 0; k < net.routers.size(); ++k) {
        const auto& r = net.routers[k];
        const int prefix = net.adapters[static_cast<std::size_t>(r.adapter - 1)].prefix;
        const std::uint32_t mask = ~std::uint32_t{0} << (32 - r.routedPrefix);
        std::cout << "router " << k + 1 << " " << r.adapter << " " << devsim::IpText(r.ip) << "/"
                  << prefix << " " << devsim::IpText(r.routed) << "/" << r.routedPrefix << " "
                  << devsim::IpText(r.routed & mask) << "/" << r.routedPrefix << "\n";
    }
    std::map<std::string, int> count;
    for (const auto& d : net.devices) {
        const std::string segment =
            d.router ? "r" + std::to_string(d.router) : std::to_string(d.adapter);
        const int prefix = d.router
                               ? net.routers[static_cast<std::size_t>(d.router - 1)].routedPrefix
                           : d.adapter <= static_cast<int>(net.adapters.size())
                               ? net.adapters[static_cast<std::size_t>(d.adapter - 1)].prefix
                               : 24;
        std::cout << "device " << segment << " d" << segment << "x" << ++count[segment] << " "
                  << MacColons(d.mac) << " " << devsim::IpText(d.ip) << "/" << prefix;
        if (d.from)
            std::cout << " " << devsim::IpText(*d.from) << "/" << prefix;
        std::cout << "\n";
    }
}

} // namespace

int main(int argc, char** argv) {
    std::string logPath;
    int port = 30718;
    bool plan = false;
    std::vector<std::string> files;
    std::vector<std::string> deviceLines;
    CLI::App app{"Simulated XPort devices for tests and demos: every device of the NETFILEs\n"
                 "(and of --device) answers on UDP port 30718 at its address, which must be on\n"
                 "an interface of the namespace it runs in (qvnet builds them from the same\n"
                 "NETFILE).",
                 "quorvet-devsim"};
    cmdline::Prepare(app, "quorvet-devsim " QUORVET_VERSION_STRING);
    app.add_option("--log", logPath,
                   "append the event lines to FILE (default: $QVNET_DIR/devsim.log,\n"
                   "else standard output)")
        ->type_name("FILE");
    app.add_option("--port", port, "UDP port of the devices (default 30718)")
        ->type_name("N")
        ->check(CLI::Range(1, 65535));
    app.add_option("--device", deviceLines,
                   "one more device, written as a NETFILE's device line\n"
                   "('device N ip=.. mac=..'); may be given again")
        ->type_name("LINE")
        ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    app.add_flag("--plan", plan,
                 "print the interfaces qvnet has to build for the NETFILE\n"
                 "and end, instead of playing the devices");
    app.add_option("NETFILE", files, "network descriptions (see README)")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    app.footer("Exit status: 0 ended by SIGTERM or SIGINT, or the plan printed; 1 failed\n"
               "(a device could not be played); 2 usage error, also a NETFILE with an error\n"
               "(FILE:LINE: field 'KEY': ...) or a log that cannot be opened.");
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (const auto status = cmdline::Conclude(cmdline::Parse(app, args), std::cout, std::cerr))
        return *status;
    std::string inline_;
    for (const std::string& line : deviceLines)
        inline_ += line + "\n";

    devsim::NetDescription net;
    try {
        for (const auto& f : files) {
            auto part = devsim::ReadNetFile(f);
            net.adapters.insert(net.adapters.end(), part.adapters.begin(), part.adapters.end());
            net.routers.insert(net.routers.end(), part.routers.begin(), part.routers.end());
            net.devices.insert(net.devices.end(), part.devices.begin(), part.devices.end());
        }
        if (!inline_.empty()) {
            auto part = devsim::ParseNetFile(inline_, "--device");
            net.devices.insert(net.devices.end(), part.devices.begin(), part.devices.end());
        }
    } catch (const devsim::NetFileError& e) {
        std::cerr << "quorvet-devsim: " << e.what() << "\n";
        return cmdline::ExitUsage;
    }
    if (plan) {
        PrintPlan(net);
        return cmdline::ExitDone;
    }

    if (logPath.empty())
        if (const char* dir = std::getenv("QVNET_DIR"); dir && *dir)
            logPath = std::string(dir) + "/devsim.log";
    int logFd = STDOUT_FILENO;
    if (!logPath.empty()) {
        logFd = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (logFd < 0) {
            std::cerr << "quorvet-devsim: cannot open log " << logPath << ": "
                      << std::strerror(errno) << "\n";
            return cmdline::ExitUsage;
        }
    }

    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    // Signals are taken only inside ppoll, so none is lost between checks.
    sigset_t block;
    sigemptyset(&block);
    sigaddset(&block, SIGTERM);
    sigaddset(&block, SIGINT);
    sigprocmask(SIG_BLOCK, &block, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    devsim::Log log(logFd);
    try {
        devsim::Simulator sim(net.devices, log, port);
        log.Line("READY",
                 "devices=" + std::to_string(net.devices.size()) + " port=" + std::to_string(port));
        sim.Run(&gStop);
    } catch (const std::exception& e) {
        std::cerr << "quorvet-devsim: " << e.what() << "\n";
        log.Line("FATAL", std::string("error=\"") + e.what() + "\"");
        return cmdline::ExitFailed;
    }
    log.Line("EXIT", "");
    return cmdline::ExitDone;
}
