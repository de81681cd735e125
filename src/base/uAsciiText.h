#pragma once
// Letter case of the texts the program handles (settings names, folder
// names, device texts): ASCII letters only, whatever the locale, so that the
// bytes of multi-byte characters are never altered.

#include <string>
#include <string_view>

char UpperAscii(char c);
char LowerAscii(char c);
std::string UpperAscii(std::string text);

// Compares byte by byte with a-z counted as A-Z; the first difference
// decides, and a text that is the beginning of the other comes first.
// Returns <0, 0 or >0 like strcmp.
int CompareText(std::string_view a, std::string_view b);
// CompareText(a, b) == 0.
bool SameText(std::string_view a, std::string_view b);
