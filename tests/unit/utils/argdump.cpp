// Test helper: writes its arguments (after the output file) to the output file,
// each followed by a newline. "--sleep-ms N" first waits N milliseconds, so a
// test can see that a process outlives a time limit.
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <thread>

int main(int argc, char** argv) {
    int i = 1;
    if (argc > 2 && std::strcmp(argv[1], "--sleep-ms") == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(argv[2])));
        i = 3;
    }
    if (i >= argc)
        return 2;
    std::ofstream out(argv[i], std::ios::binary);
    for (++i; i < argc; ++i)
        out << argv[i] << '\n';
    return 0;
}
