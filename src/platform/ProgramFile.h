#pragma once
// The running program's own file, in place of the module-file-name service.

#include <optional>
#include <string>

namespace platform {

// Full path of the running program file. Raises Exception when the system
// cannot tell it: guessing (for example from the working directory) would read
// somebody else's settings file.
std::string ProgramFilePath();

// Test seam: while set, ProgramFilePath returns this path instead, so that
// tests can place a settings file "beside the program" in a temporary folder.
void OverrideProgramFilePath(std::optional<std::string> path);

// The system's answer, implemented once per system; ProgramFilePath adds the
// test seam in front of it.
std::string SystemProgramFilePath();

} // namespace platform
