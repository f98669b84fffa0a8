#pragma once
// The object in each thread that receives the thread's posted messages, the nudges to
// handle sent messages, and its timers (SetTimer).

#include <platform/Windows.h>

#include <QObject>

#include <map>
#include <utility>

namespace platform::detail {

class MessageDispatcher : public QObject {
public:
    MessageDispatcher() = default;

    // On the dispatcher's thread. Setting an existing (window, id) pair restarts it.
    void setWindowTimer(HWND hwnd, UINT_PTR id, UINT periodMs, TIMERPROC proc);
    bool killWindowTimer(HWND hwnd, UINT_PTR id);
    void killWindowTimers(HWND hwnd);

protected:
    bool event(QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    struct Timer {
        HWND hwnd;
        UINT_PTR id;
        TIMERPROC proc;
    };
    std::map<int, Timer> m_timers;                       // Qt timer id -> timer
    std::map<std::pair<HWND, UINT_PTR>, int> m_timerIds; // (window, id) -> Qt timer id
};

} // namespace platform::detail
