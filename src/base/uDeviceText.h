#pragma once
// Texts a device sends (descriptions, type names) are bytes of no stated
// encoding. One rule reads them everywhere, in the window, the command-line
// tool and the log: UTF-8 when the bytes are valid UTF-8, else one character
// per byte (Latin-1). The bytes themselves are kept as they came; these
// functions only say how they are shown.

#include <string>
#include <string_view>

// The characters of a device text by the rule above. Valid UTF-8 means: no
// overlong form, no surrogate, nothing above U+10FFFF.
std::u32string DecodeDeviceText(std::string_view bytes);

// The same characters as UTF-8; text that already is valid UTF-8 comes back
// unchanged.
std::string DeviceTextToUtf8(std::string_view bytes);

// Whether a character would act on a terminal, a log or a text widget rather
// than be shown: C0, DEL, C1, U+FDD0-U+FDEF (a text widget's own block marks)
// and the line and paragraph separators U+2028 and U+2029.
bool IsControlCharacter(char32_t c);

// DeviceTextToUtf8 with every control character shown instead of acting, so
// that a device text can never break a line, move a cursor or ring a bell:
// C0 and DEL as their symbol of the Control Pictures block (U+2400-U+2421),
// the others as U+FFFD. The symbols tell a technician which character the
// device sent (CR LF shows as "␍␊"), take one column and are read by every
// terminal and widget as plain characters; the rest has no symbol. Applying
// it twice changes nothing more.
std::string VisibleText(std::string_view bytes);
