#include "bot/thinkingpool.h"
#include <QThread>

namespace {
class Pool : public QThreadPool
{
public:
    Pool() { setMaxThreadCount(QThread::idealThreadCount()); }
    // At the program's end: decisions not begun are dropped, the ones under way end within their budget.
    ~Pool() override
    {
        clear();
        waitForDone();
    }
};
Q_GLOBAL_STATIC(Pool, thePool)
} // namespace

QThreadPool *ThinkingPool::pool()
{
    return thePool();
}
