// No work of a window outlives the application object: a work its window let
// go of is waited for when the application goes, and a later application
// object runs works again.

#include "guicommon/uWorkerTask.h"

#include <QCoreApplication>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>

namespace {

// Starts a work that outlasts its task and the application object, and
// tells whether it had ended by the time the application object was gone.
bool WorkEndsBeforeApplication(int argc, char** argv) {
    auto started = std::make_shared<std::atomic<bool>>(false);
    auto ended = std::make_shared<std::atomic<bool>>(false);
    {
        QCoreApplication app(argc, argv);
        auto task = std::make_unique<TWorkerTask<int>>();
        task->Start(
            [started, ended](TWorkerTask<int>::TControl&) {
                *started = true;
                // Ignores the cancel flag, as an engine inside a receive does.
                std::this_thread::sleep_for(std::chrono::milliseconds(300));
                *ended = true;
                return 1;
            },
            {});
        while (!*started) {
            std::this_thread::yield();
        }
        task.reset(); // lets go without waiting
        if (*ended) {
            std::fputs("the task waited for its work\n", stderr);
            return false;
        }
    }
    return ended->load();
}

} // namespace

int main(int argc, char** argv) {
    for (int round = 1; round <= 2; ++round) {
        if (!WorkEndsBeforeApplication(argc, argv)) {
            std::fprintf(stderr, "round %d: a work outlived the application object\n", round);
            return 1;
        }
    }
    std::puts("PASS: every work ended before its application object");
    return 0;
}
