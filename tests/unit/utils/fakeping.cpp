// Test helper in place of the system's ping program: appends its arguments
// as one line to $QV_FAKEPING_LOG and ends with status 0 when its last
// argument is one of the addresses in $QV_FAKEPING_ANSWERS (comma-separated),
// else with $QV_FAKEPING_STATUS (default 1, "no reply").
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

int main(int argc, char** argv) {
    if (const char* log = std::getenv("QV_FAKEPING_LOG")) {
        std::ofstream out(log, std::ios::app);
        for (int i = 1; i < argc; ++i)
            out << (i > 1 ? " " : "") << argv[i];
        out << '\n';
    }
    const std::string target = argc > 1 ? argv[argc - 1] : "";
    const char* answers = std::getenv("QV_FAKEPING_ANSWERS");
    std::istringstream list(answers ? answers : "");
    std::string address;
    while (std::getline(list, address, ','))
        if (address == target)
            return 0;
    const char* status = std::getenv("QV_FAKEPING_STATUS");
    return status ? std::atoi(status) : 1;
}
