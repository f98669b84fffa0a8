// Per-thread message state.

#include "ThreadQueue.h"

#include "MessageDispatcher.h"
#include "WindowManager.h"

#include <QCoreApplication>

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace platform::detail {

namespace {

// Shuts the thread's queue down when the thread ends.
struct QueueHolder {
    std::shared_ptr<ThreadQueue> queue;
    ~QueueHolder()
    {
        if (queue) {
            queue->shutdown();
        }
    }
};

thread_local QueueHolder t_holder;

} // namespace

QEvent::Type PostedMessageEvent::eventType()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

QEvent::Type FunctionEvent::eventType()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

QEvent::Type DrainSentEvent::eventType()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

ThreadQueue::ThreadQueue()
    : m_threadId(GetCurrentThreadId()), m_wakeFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{}

MessageDispatcher* ThreadQueue::ensureDispatcher()
{
    std::lock_guard lock(m_mutex);
    if (m_dispatcher == nullptr && !m_ended) {
        m_dispatcher = new MessageDispatcher; // lives in this thread
    }
    return m_dispatcher;
}

ThreadQueue::~ThreadQueue()
{
    if (m_wakeFd >= 0) {
        ::close(m_wakeFd);
    }
}

std::shared_ptr<ThreadQueue> ThreadQueue::current()
{
    if (!t_holder.queue) {
        t_holder.queue = std::make_shared<ThreadQueue>();
    }
    return t_holder.queue;
}

bool ThreadQueue::isCurrent() const
{
    return m_threadId == GetCurrentThreadId();
}

bool ThreadQueue::post(QEvent* event)
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_ended && m_dispatcher != nullptr) {
            // Under the lock: shutdown() deletes the dispatcher after setting m_ended.
            QCoreApplication::postEvent(m_dispatcher, event);
            return true;
        }
    }
    delete event;
    return false;
}

bool ThreadQueue::run(std::function<void()> function)
{
    return post(new FunctionEvent(std::move(function)));
}

bool ThreadQueue::pushSent(SentMessage message)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_ended || m_refusals > 0) {
            return false;
        }
        m_sent.push_back(std::move(message));
        if (m_dispatcher != nullptr) {
            QCoreApplication::postEvent(m_dispatcher, new DrainSentEvent);
        }
    }
    wake();
    return true;
}

void ThreadQueue::drainSent()
{
    while (true) {
        SentMessage message;
        {
            std::lock_guard lock(m_mutex);
            if (m_sent.empty()) {
                return;
            }
            message = std::move(m_sent.front());
            m_sent.pop_front();
        }
        bool handled = false;
        LRESULT result = WindowManager::instance().callLocal(
            message.hwnd, message.message, message.wParam, message.lParam, &handled);
        if (message.done) {
            message.done(result, handled);
        }
    }
}

bool ThreadQueue::waitWake(int extraFd, int timeoutMs)
{
    pollfd fds[2] = {{m_wakeFd, POLLIN, 0}, {extraFd, POLLIN, 0}};
    int n = ::poll(fds, extraFd >= 0 ? 2 : 1, timeoutMs);
    if (n > 0 && (fds[0].revents & POLLIN) != 0) {
        eventfd_t value;
        ::eventfd_read(m_wakeFd, &value);
    }
    return n > 0 && extraFd >= 0 && fds[1].revents != 0;
}

void ThreadQueue::wake()
{
    ::eventfd_write(m_wakeFd, 1);
}

void ThreadQueue::refuseSent(bool refuse)
{
    std::deque<SentMessage> abandoned;
    {
        std::lock_guard lock(m_mutex);
        m_refusals += refuse ? 1 : -1;
        if (refuse) {
            abandoned.swap(m_sent);
        }
    }
    for (SentMessage& message : abandoned) {
        if (message.done) {
            message.done(0, false);
        }
    }
}

void ThreadQueue::shutdown()
{
    std::deque<SentMessage> abandoned;
    MessageDispatcher* dispatcher = nullptr;
    {
        std::lock_guard lock(m_mutex);
        if (m_ended) {
            return;
        }
        m_ended = true;
        abandoned.swap(m_sent);
        dispatcher = m_dispatcher;
        m_dispatcher = nullptr;
    }
    WindowManager::instance().threadEnded(m_threadId);
    for (SentMessage& message : abandoned) {
        if (message.done) {
            message.done(0, false);
        }
    }
    delete dispatcher;
}

} // namespace platform::detail
