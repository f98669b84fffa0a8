#pragma once
// Support for the host UI tests: a Qt application on the offscreen platform, the
// artwork of the bin folder, a recording window and event pumping.

#include "TestSupport.h"
#include "ui/Resources.h"

#include <platform/Window.h>
#include <platform/Windows.h>

#include <QApplication>
#include <QCoreApplication>
#include <QEventLoop>

#include <chrono>
#include <cstdlib>
#include <mutex>
#include <vector>

namespace uitest {

struct Received {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// A window without a widget that records what it receives.
class RecordingWindow : public platform::Window {
public:
    RecordingWindow() { createWindow("UmbraviaUiTestWnd", "recorder"); }
    LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        std::lock_guard lock(m_mutex);
        m_received.push_back({message, wParam, lParam});
        return 0;
    }
    std::vector<Received> received(UINT message) const
    {
        std::lock_guard lock(m_mutex);
        std::vector<Received> out;
        for (const Received& r : m_received) {
            if (r.message == message) {
                out.push_back(r);
            }
        }
        return out;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<Received> m_received;
};

// Runs the event loop until pred() holds or the time is up.
template <typename Pred>
bool pumpUntil(Pred pred, std::chrono::milliseconds timeout = std::chrono::milliseconds(5000))
{
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!pred()) {
        if (std::chrono::steady_clock::now() >= end) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

inline int runTests(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    host::ui::Resources::setFolder(testsupport::binDir() / "res");
    return RUN_ALL_TESTS();
}

} // namespace uitest
