#pragma once
// The application's identity: company and application names, optionally
// replaced by the section "label" (and "splash") of the settings file
// "Quorvet.ini" (see FindSettingsFile).
//
// The values live in this namespace because the application folders module
// publishes its own copies under the same names once it has taken them over.

#include <string>

namespace uApplicationSpecifical {

const std::string& Company();
const std::string& CompanyLong();
const std::string& AppName();
const std::string& AppNameLong();
const std::string& Splash1();
const std::string& Splash2();
// The settings file found by ReadIdentity (FindSettingsFile).
const std::string& IniFileName();

// The settings file of the program and its tools, the first that exists of:
//  1. "Quorvet.ini" beside the program file (the layout on Windows);
//  2. "KavenLoggers/Quorvet.ini" in each of the system's settings folders,
//     the user's first ($XDG_CONFIG_HOME, default ~/.config, then
//     $XDG_CONFIG_DIRS, default /etc/xdg; none on Windows).
// Only a plain file counts. When none exists, the path beside the program
// (from which nothing is read); empty if even that is unknown.
std::string FindSettingsFile();

// Computes IniFileName and, when that file exists, reads the six identity
// values from it; a missing key takes its default. Without the file the
// built-in values stay.
void ReadIdentity();

// Back to the built-in values, as at program start.
void ResetIdentity();

} // namespace uApplicationSpecifical
