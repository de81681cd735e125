// qv_winsleep MS: waits MS milliseconds and ends; a program without a
// version resource for the Windows tests.
#include <windows.h>

#include <cstdlib>

int main(int argc, char** argv) {
    Sleep(argc > 1 ? static_cast<DWORD>(std::strtoul(argv[1], nullptr, 10)) : 0);
    return 3;
}
