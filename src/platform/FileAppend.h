#pragma once
// Appends bytes to a file in one write, creating the file when it is missing.

#include <string>

namespace platform {

// Opens the file for appending (creating it), writes the data, closes it.
// Returns false when any step fails; never raises. A file that cannot be
// opened at once (for example a pipe nobody reads) fails instead of blocking.
bool AppendToFile(const std::string& path, const std::string& data) noexcept;

} // namespace platform
