#pragma once
// A call made once from the event loop, however often it is asked for before then: the one who asks
// may be in the middle of a handler the call would run into.
#include <QObject>
#include <QTimer>
#include <functional>
#include <utility>

class PostedCall
{
public:
    PostedCall(QObject *context, std::function<void()> call) : m_context(context), m_call(std::move(call)) {}
    PostedCall(const PostedCall &) = delete;
    PostedCall &operator=(const PostedCall &) = delete;

    void post()
    {
        if (std::exchange(m_posted, true))
            return;
        // Bound to the context: dropped with it.
        QTimer::singleShot(0, m_context, [this] {
            m_posted = false;
            m_call();
        });
    }

private:
    QObject *m_context;
    std::function<void()> m_call;
    bool m_posted = false;
};
