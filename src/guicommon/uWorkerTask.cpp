#include "guicommon/uWorkerTask.h"

#include <QCoreApplication>
#include <QThreadPool>

#include <exception>

namespace {

std::mutex& PoolLock() {
    static std::mutex lock;
    return lock;
}

QThreadPool*& PoolSlot() {
    static QThreadPool* pool = nullptr;
    return pool;
}

// The application object is going: every work still running (one whose
// window let go of it) ends first. A later application gets a new pool.
void ReleasePool() {
    QThreadPool* pool = nullptr;
    {
        std::lock_guard<std::mutex> guard(PoolLock());
        pool = std::exchange(PoolSlot(), nullptr);
    }
    if (pool) {
        pool->waitForDone();
        delete pool;
    }
}

} // namespace

QThreadPool& worker_detail::Pool() {
    std::lock_guard<std::mutex> guard(PoolLock());
    QThreadPool*& pool = PoolSlot();
    if (!pool) {
        pool = new QThreadPool;
        // Works block on the network; a few let go of may still be ending
        // while the next runs, so the machine's core count is no measure.
        pool->setMaxThreadCount(32);
        qAddPostRoutine(&ReleasePool);
    }
    return *pool;
}

std::string worker_detail::CurrentErrorText() {
    try {
        throw;
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "Unknown error";
    }
}
