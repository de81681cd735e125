#pragma once
// The application's identity: company and application names, optionally
// replaced by the section "label" (and "splash") of the settings file
// "Quorvet.ini" beside the program file.
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
// The program folder (with its trailing separator) + "Quorvet.ini".
const std::string& IniFileName();

// Computes IniFileName and, when that file exists, reads the six identity
// values from it; a missing key takes its default. Without the file the
// built-in values stay.
void ReadIdentity();

// Back to the built-in values, as at program start.
void ResetIdentity();

} // namespace uApplicationSpecifical
