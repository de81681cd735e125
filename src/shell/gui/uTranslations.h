#pragma once
// The program's translations. English is the source language: its texts are
// the program's own, and a locale without a catalogue keeps them.

#include <QLocale>

// Installs the program's catalogue for the locale (embedded in the program)
// and Qt's own for the standard buttons and dialogs (where the system has
// it). Call once, after the application object exists and before the first
// window. Returns whether the program's catalogue was found.
bool InstallTranslations(const QLocale& locale);
