#pragma once
// The application shell's localisable texts. A translation replaces this
// table; nothing else in the shell spells these texts.

namespace ShellStrings {

// The long application name: main window caption and first splash line.
inline constexpr const char* SAppNameLong = "Quorvet utility";

} // namespace ShellStrings
