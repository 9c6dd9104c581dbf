#pragma once
// The threads on which computer players think: one pool for the whole program with at most one
// thread per core, so that the decisions of many players wait for a core in turn instead of each
// taking a thread, and no table's event loop waits for another table's player.
#include <QFuture>
#include <QPromise>
#include <QThreadPool>
#include <functional>
#include <memory>
#include <utility>

namespace ThinkingPool {

QThreadPool *pool();

// Runs the work on the pool when a thread is free; the future gets its result. The work must own
// everything it reads: whoever asked may be gone before it runs or while it runs.
template <typename T>
QFuture<T> run(std::function<T()> work)
{
    auto promise = std::make_shared<QPromise<T>>();
    QFuture<T> future = promise->future();
    promise->start();
    pool()->start([promise, work = std::move(work)] {
        promise->addResult(work());
        promise->finish();
    });
    return future;
}

} // namespace ThinkingPool
