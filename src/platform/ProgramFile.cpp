#include "platform/ProgramFile.h"

namespace platform {

namespace {

std::optional<std::string>& Override() {
    static std::optional<std::string> path;
    return path;
}

} // namespace

std::string ProgramFilePath() {
    if (Override())
        return *Override();
    return SystemProgramFilePath();
}

void OverrideProgramFilePath(std::optional<std::string> path) {
    Override() = std::move(path);
}

} // namespace platform
