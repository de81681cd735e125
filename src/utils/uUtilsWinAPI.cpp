#include "utils/uUtilsWinAPI.h"

#include "base/uErrors.h"
#include "platform/FileVersion.h"
#include "platform/Process.h"

bool RunAndWait(const std::string& commandLine, bool hidden, int timeLimitMs) {
    std::unique_ptr<platform::TProcess> process = platform::TProcess::Start(commandLine, hidden);
    if (!process)
        throw Exception("Unable to Create Process \"" + commandLine + "\"");
    switch (process->Wait(timeLimitMs < 0 ? -1 : timeLimitMs)) {
    case platform::TProcessWait::Ended:
        return true;
    case platform::TProcessWait::TimedOut:
        return false;
    case platform::TProcessWait::Failed:
        break;
    }
    throw Exception("Process wait failed.");
}

namespace {

class TSystemProcessRunner : public TProcessRunner {
public:
    bool RunAndWait(const std::string& commandLine, bool hidden, int timeLimitMs) override {
        return ::RunAndWait(commandLine, hidden, timeLimitMs);
    }
};

} // namespace

TProcessRunner& TProcessRunner::Default() {
    static TSystemProcessRunner runner;
    return runner;
}

std::string TWinAPIUtils::GetFileVersion(const std::string& path) {
    return platform::ReadFileVersion(path);
}
