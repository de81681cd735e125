#pragma once
// Marks a text of the core for the program's translation catalogues without
// Qt: the core itself always uses the English text. The GUI translates it
// where it shows it (QCoreApplication::translate with the same context), and
// lupdate finds it through -tr-function-alias (src/shell/gui/CMakeLists.txt).

#define QV_TRANSLATE_NOOP(context, text) text
