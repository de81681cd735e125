// quorvet-cli: runs the core's engines from the command line (CliApp.h).

#include "CliApp.h"
#include "platform/StandardOutput.h"

#include <iostream>
#include <ostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    // Standard output through a buffer that knows why a write failed: a
    // result that did not arrive is no success.
    platform::TStandardOutput output;
    std::ostream out(&output);
    const int status = RunCli(args, InsideTestNetwork(), out, std::cerr);
    out.flush();
    return ConcludeOutput(status, out, output.Error(), std::cerr);
}
