// quorvet-devsim: simulated XPort devices for tests and demos.
//
//   quorvet-devsim [--log FILE] [--port N] [--device 'LINE']... [NETFILE...]
//   quorvet-devsim --plan NETFILE     (the interfaces qvnet has to build)
//
// Every device must find its address on an interface of the namespace it
// runs in; qvnet builds those interfaces from the same NETFILE.

#include "NetFile.h"
#include "Simulator.h"

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

int Usage() {
    std::cerr
        << "usage: quorvet-devsim [--log FILE] [--port N] [--device 'device N ip=.. mac=..']... "
           "[NETFILE...]\n"
           "       quorvet-devsim --plan NETFILE\n";
    return 2;
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
//   device N IFNAME MAC IP/PREFIX [FROM/PREFIX]
void PrintPlan(const devsim::NetDescription& net) {
    for (std::size_t k = 0; k < net.adapters.size(); ++k) {
        const auto& a = net.adapters[k];
        std::cout << "adapter " << k + 1 << " " << devsim::IpText(a.ip) << "/" << a.prefix << " "
                  << (a.gateway ? devsim::IpText(*a.gateway) : "-") << "\n";
    }
    std::map<int, int> count;
    for (const auto& d : net.devices) {
        const int prefix = d.adapter <= static_cast<int>(net.adapters.size())
                               ? net.adapters[static_cast<std::size_t>(d.adapter - 1)].prefix
                               : 24;
        std::cout << "device " << d.adapter << " d" << d.adapter << "x" << ++count[d.adapter] << " "
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
    std::string inline_;
    for (int k = 1; k < argc; ++k) {
        const std::string a = argv[k];
        auto next = [&]() -> std::string {
            if (k + 1 >= argc) {
                std::cerr << "quorvet-devsim: " << a << " needs a value\n";
                std::exit(Usage());
            }
            return argv[++k];
        };
        if (a == "--log")
            logPath = next();
        else if (a == "--port")
            port = std::atoi(next().c_str());
        else if (a == "--plan")
            plan = true;
        else if (a == "--device")
            inline_ += next() + "\n";
        else if (a == "-h" || a == "--help")
            return Usage();
        else if (!a.empty() && a[0] == '-')
            return Usage();
        else
            files.push_back(a);
    }
    if (port < 1 || port > 65535)
        return Usage();

    devsim::NetDescription net;
    try {
        for (const auto& f : files) {
            auto part = devsim::ReadNetFile(f);
            net.adapters.insert(net.adapters.end(), part.adapters.begin(), part.adapters.end());
            net.devices.insert(net.devices.end(), part.devices.begin(), part.devices.end());
        }
        if (!inline_.empty()) {
            auto part = devsim::ParseNetFile(inline_, "--device");
            net.devices.insert(net.devices.end(), part.devices.begin(), part.devices.end());
        }
    } catch (const devsim::NetFileError& e) {
        std::cerr << "quorvet-devsim: " << e.what() << "\n";
        return 2;
    }
    if (plan) {
        PrintPlan(net);
        return 0;
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
            return 2;
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
        return 1;
    }
    log.Line("EXIT", "");
    return 0;
}
