#pragma once
// One thread's message state: the messages sent to its windows from other threads and
// processes, waiting to be handled on it, and the wake-up that reaches the thread both
// in its Qt event loop and while it waits for the answer to a send of its own.

#include <platform/WinTypes.h>

#include <QEvent>

#include <deque>
#include <functional>
#include <memory>
#include <mutex>

class QObject;

namespace platform::detail {

class MessageDispatcher;

struct SentMessage {
    HWND hwnd = 0;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    // Called on the owning thread with the handler's result, or with handled = false
    // when the window is gone or the thread ended first.
    std::function<void(LRESULT result, bool handled)> done;
};

class ThreadQueue {
public:
    ThreadQueue();
    ~ThreadQueue();
    ThreadQueue(const ThreadQueue&) = delete;
    ThreadQueue& operator=(const ThreadQueue&) = delete;

    // The calling thread's queue, made on first use.
    static std::shared_ptr<ThreadQueue> current();

    DWORD threadId() const { return m_threadId; }
    bool isCurrent() const;
    // The object living in this thread that receives posted messages and timers; null
    // until the thread owns a window or a timer, and after it ended. Threads that only
    // post and send (the proxy's connection threads) never need one.
    MessageDispatcher* dispatcher() const { return m_dispatcher; }
    // On the owning thread: the dispatcher, made on first use.
    MessageDispatcher* ensureDispatcher();
    // Queues a posted message for the thread's event loop; false after the thread ended.
    bool post(QEvent* event);
    // Runs the function on the thread, from its event loop.
    bool run(std::function<void()> function);

    // Any thread: queues a sent message and wakes the thread. False after it ended.
    bool pushSent(SentMessage message);
    // On the owning thread: handles every queued sent message.
    void drainSent();
    // On the owning thread: waits until woken (or extraFd is readable, or the time is
    // up; timeoutMs < 0: no limit). Returns whether extraFd is readable.
    bool waitWake(int extraFd, int timeoutMs);
    void wake();

    // The thread ends: its windows go, waiting senders are answered.
    void shutdown();
    // Sends to the thread fail at once while refusing (counted: refusals nest); starting
    // answers the waiting ones as not handled.
    void refuseSent(bool refuse);

private:
    DWORD m_threadId;
    int m_wakeFd;
    MessageDispatcher* m_dispatcher = nullptr;
    std::mutex m_mutex; // guards m_sent, m_ended and m_refusals
    std::deque<SentMessage> m_sent;
    bool m_ended = false;
    int m_refusals = 0;
};

// Qt events carrying a posted message, and the nudge to drain sent messages.
class PostedMessageEvent : public QEvent {
public:
    static QEvent::Type eventType();
    PostedMessageEvent(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
        : QEvent(eventType()), m_hwnd(hwnd), m_message(message), m_wParam(wParam), m_lParam(lParam)
    {}
    HWND m_hwnd;
    UINT m_message;
    WPARAM m_wParam;
    LPARAM m_lParam;
};

class FunctionEvent : public QEvent {
public:
    static QEvent::Type eventType();
    explicit FunctionEvent(std::function<void()> f) : QEvent(eventType()), m_function(std::move(f))
    {}
    std::function<void()> m_function;
};

class DrainSentEvent : public QEvent {
public:
    static QEvent::Type eventType();
    DrainSentEvent() : QEvent(eventType()) {}
};

} // namespace platform::detail
