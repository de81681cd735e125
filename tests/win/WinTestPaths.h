#pragma once
// Program files the Windows tests use, found beside the running test in the
// build tree (so the paths hold under Wine and on Windows alike).

#include "platform/ProgramFile.h"
#include "shell/uShellFolders.h"

#include <string>

inline std::string BuildDir() {
    // <build>\tests\win\test.exe -> <build>\ .
    std::string dir = ExtractFilePath(platform::ProgramFilePath());
    for (int up = 0; up < 2; ++up) {
        dir.pop_back();
        dir = ExtractFilePath(dir);
    }
    return dir;
}

inline std::string CliProgram() {
    return BuildDir() + "tools\\cli\\quorvet-cli.exe";
}

inline std::string SleepProgram() {
    return BuildDir() + "tests\\win\\qv_winsleep.exe";
}
