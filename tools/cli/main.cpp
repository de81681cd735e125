// quorvet-cli: runs the core's engines from the command line (CliApp.h).

#include "CliApp.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    return RunCli(args, InsideTestNetwork(), std::cout, std::cerr);
}
