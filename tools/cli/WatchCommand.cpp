#include "WatchCommand.h"

#include "CliOutput.h"
#include "base/uDeviceText.h"
#include "platform/LocalTime.h"
#include "platform/StopSignal.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <exception>
#include <thread>

std::string WatchOptionHelp() {
    return "search again N seconds (" + std::to_string(MinWatchSeconds) + " to " +
           std::to_string(MaxWatchSeconds) +
           ") after each search ends\n"
           "and print a line per device that appeared, disappeared\n"
           "(missing from 2 searches in a row), moved to another IP\n"
           "address or changed firmware, type or description: time,\n"
           "event, MAC, IP (old -> new), description; with --json one\n"
           "object per line (the first list as \"listed\" objects).\n"
           "Ends with 0 on Ctrl+C or SIGTERM, with 1 when a search\n"
           "fails.";
}

std::string WatchTimeNow() {
    const platform::TLocalTime t = platform::LocalTimeNow();
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", t.Year, t.Month, t.Day, t.Hour,
                  t.Minute, t.Second);
    return buf;
}

std::string WatchEventText(const std::string& time, const TDeviceWatchEvent& event) {
    const TXportPar& d = event.Device;
    std::string name = DeviceWatchEventName(event.Kind);
    name.resize(std::max<std::size_t>(name.size(), 11), ' ');
    std::string line = time + "  " + name + "  " + VisibleText(d.MAC) + "  ";
    if (!event.OldIP.empty())
        line += VisibleText(event.OldIP) + " -> ";
    line += VisibleText(d.IP);
    if (!d.Description.empty())
        line += "  " + VisibleText(d.Description);
    return line;
}

std::string WatchEventJson(const std::string& time, const std::string& eventName,
                           const TXportPar& device, const std::string& oldIP) {
    const std::string array = DeviceJson({device}); // "[\n  {...}\n]\n"
    std::string line = array.substr(4, array.size() - 8);
    line += ", \"event\": " + JsonString(eventName);
    line += ", \"old_ip\": " + JsonString(oldIP);
    line += ", \"time\": " + JsonString(time) + "}";
    return line;
}

int RunWatchLoop(const TWatchRun& run, std::ostream& out, std::ostream& err) {
    (void)err; // the search reports its own failures
    TDeviceWatch watch;
    while (!run.WaitStop(0)) {
        const std::optional<std::vector<TXportPar>> devices = run.Search();
        // A search cut short by the stop lists too little to compare.
        if (run.WaitStop(0))
            break;
        if (!devices)
            return ExitFailed;
        const bool first = !watch.Started();
        const std::vector<TDeviceWatchEvent> events = watch.Update(*devices);
        const std::string time = run.Now();
        if (first && run.Json) {
            for (const TXportPar& d : *devices)
                out << WatchEventJson(time, "listed", d, {}) << "\n";
        } else if (first) {
            out << DeviceTable(*devices);
        }
        for (const TDeviceWatchEvent& e : events) {
            out << (run.Json ? WatchEventJson(time, DeviceWatchEventName(e.Kind), e.Device, e.OldIP)
                             : WatchEventText(time, e))
                << "\n";
        }
        // Each round reaches its reader at once; one that has gone ends the
        // watch (the caller says why).
        out.flush();
        if (!out.good())
            return ExitFailed;
        if (run.WaitStop(run.IntervalSeconds * 1000))
            break;
    }
    return ExitDone;
}

int RunSearchWatch(const TSearchCommandOptions& options, std::ostream& out, std::ostream& err) {
    const platform::TStopSignal stop;
    TWatchRun run;
    run.IntervalSeconds = options.Watch;
    run.Json = options.Json;
    run.WaitStop = [&stop](int ms) { return stop.WaitFor(ms); };
    run.Search = [&]() -> std::optional<std::vector<TXportPar>> {
        TXportSearch engine; // an engine serves one search
        std::optional<TEventLog> log;
        if (!PrepareSearchEngine(engine, options, log, out, err))
            return std::nullopt;
        // The stop cuts a running search short (the engine's Cancel is
        // thread-safe; the signal handler itself only sets a flag).
        std::atomic<bool> searching{true};
        std::thread guard([&] {
            while (searching && !stop.WaitFor(50)) {
            }
            if (searching)
                engine.Cancel();
        });
        std::optional<std::vector<TXportPar>> devices;
        try {
            ConfigureSearch(engine, options.Search);
            engine.Search();
            devices = engine.Devices();
        } catch (const std::exception& e) {
            err << e.what() << "\n";
        }
        searching = false;
        guard.join();
        if (!SearchLogComplete(log, options, err))
            return std::nullopt;
        return devices;
    };
    return RunWatchLoop(run, out, err);
}
