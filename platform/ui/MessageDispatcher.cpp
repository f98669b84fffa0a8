// Delivery of posted messages and timers on the owning thread.

#include "MessageDispatcher.h"

#include "ThreadQueue.h"
#include "WindowManager.h"

#include <QTimerEvent>

namespace platform::detail {

bool MessageDispatcher::event(QEvent* event)
{
    if (event->type() == PostedMessageEvent::eventType()) {
        auto* posted = static_cast<PostedMessageEvent*>(event);
        // Sent messages go before posted ones, as on Windows.
        ThreadQueue::current()->drainSent();
        WindowManager::instance().callLocal(posted->m_hwnd, posted->m_message, posted->m_wParam,
                                            posted->m_lParam, nullptr);
        return true;
    }
    if (event->type() == FunctionEvent::eventType()) {
        static_cast<FunctionEvent*>(event)->m_function();
        return true;
    }
    if (event->type() == DrainSentEvent::eventType()) {
        ThreadQueue::current()->drainSent();
        return true;
    }
    return QObject::event(event);
}

void MessageDispatcher::setWindowTimer(HWND hwnd, UINT_PTR id, UINT periodMs, TIMERPROC proc)
{
    killWindowTimer(hwnd, id);
    // Short periods need the precise timer: the coarse one may be 5% late.
    int qtId = startTimer(static_cast<int>(periodMs),
                          periodMs < 2000 ? Qt::PreciseTimer : Qt::CoarseTimer);
    if (qtId != 0) {
        m_timers[qtId] = Timer{hwnd, id, proc};
        m_timerIds[{hwnd, id}] = qtId;
    }
}

bool MessageDispatcher::killWindowTimer(HWND hwnd, UINT_PTR id)
{
    auto it = m_timerIds.find({hwnd, id});
    if (it == m_timerIds.end()) {
        return false;
    }
    killTimer(it->second);
    m_timers.erase(it->second);
    m_timerIds.erase(it);
    return true;
}

void MessageDispatcher::killWindowTimers(HWND hwnd)
{
    for (auto it = m_timerIds.begin(); it != m_timerIds.end();) {
        if (it->first.first == hwnd) {
            killTimer(it->second);
            m_timers.erase(it->second);
            it = m_timerIds.erase(it);
        } else {
            ++it;
        }
    }
}

void MessageDispatcher::timerEvent(QTimerEvent* event)
{
    auto it = m_timers.find(event->timerId());
    if (it == m_timers.end()) {
        return;
    }
    Timer timer = it->second;
    if (timer.hwnd != 0 && !WindowManager::instance().isLocal(timer.hwnd)) {
        killWindowTimer(timer.hwnd, timer.id); // the window is gone
        return;
    }
    if (timer.proc != nullptr) {
        timer.proc(timer.hwnd, WM_TIMER, timer.id, GetTickCount());
    } else {
        WindowManager::instance().callLocal(timer.hwnd, WM_TIMER, timer.id, 0, nullptr);
    }
}

} // namespace platform::detail
