#pragma once
// Appends bytes to a file in one write, creating the file when it is missing.

#include <string>

namespace platform {

// Opens the file for appending (creating it), writes the data, closes it.
// Returns false when any step fails; never raises. A file that cannot be
// opened at once (for example a pipe nobody reads) fails instead of blocking.
bool AppendToFile(const std::string& path, const std::string& data) noexcept;

// Why data cannot be appended to the file at path, found before anything is
// written to it; empty when it can. A folder, a pipe, a device or anything
// else that is not a regular file is refused unopened; otherwise the file is
// opened for appending (and created when missing, as the first append would)
// and given an empty write, so that the system's reason comes now: no right,
// a missing folder, a file of the system's own such as /proc/version.
std::string AppendTargetProblem(const std::string& path) noexcept;

} // namespace platform
