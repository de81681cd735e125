#pragma once
// Whether a folder takes new files, tried with a file of the program's own.

#include <string>

namespace platform {

// Creates a new file in the folder under a name nobody else uses (created
// exclusively: an existing file, link, pipe or device of that name is never
// opened), writes one line into it and deletes it again. True when all of
// that worked; never raises. Nothing of anybody else's is touched.
bool ProbeFolderWritable(const std::string& folder) noexcept;

} // namespace platform
