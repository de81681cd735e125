#include "DoctorCommand.h"

#include "CliSearch.h"
#include "diagnostics/uDiagnostics.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <exception>

CLI::App& AddDoctorCommand(CLI::App& app, TDoctorOptions& options) {
    CLI::App& doctor = *app.add_subcommand(
        "doctor", "Check this computer for what keeps the search from finding\n"
                  "devices or an IP change from working (adapters, reverse-path\n"
                  "filter, firewall, receive queue, ping, ARP table, settings\n"
                  "file). Sends nothing and changes nothing.");
    doctor
        .add_option_function<std::string>(
            "--settings", [&options](const std::string& file) { options.Settings = file; },
            "settings file to check instead of the one the search reads")
        ->type_name("FILE");
    doctor.footer("Prints one line per check: \"ok: ...\", \"note: ...\" (could not be\n"
                  "checked) or \"problem: ...\" with what to do. Exit status 0 when\n"
                  "no check found a problem, 1 otherwise. Run it as the user who\n"
                  "searches; as root it also reads the firewall's rules.");
    return doctor;
}

int RunDoctorCommand(const TDoctorOptions& options, std::ostream& out, std::ostream& err) {
    std::vector<TCheckResult> results;
    try {
        results = RunChecks(GatherFacts(options.Settings.value_or(DefaultSettingsFile())));
    } catch (const std::exception& e) {
        err << e.what() << "\n";
        return ExitFailed;
    }
    for (const auto& r : results)
        out << FormatCheckResult(r) << "\n";
    out.flush();
    const bool problem = std::any_of(results.begin(), results.end(), [](const TCheckResult& r) {
        return r.Status == TCheckStatus::Problem;
    });
    return problem ? ExitFailed : ExitDone;
}
