#pragma once
// Support for the window, message and process tests: a recording window, event pumping,
// and a main() that can also act as a child process ("<test> --child NAME ARGS...").

#include "TestSupport.h"

#include <platform/Application.h>
#include <platform/Window.h>
#include <platform/Windows.h>

#include <QCoreApplication>
#include <QEventLoop>

#include <chrono>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace wintest {

struct Received {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD threadId;
};

// A window without a widget that records what it receives and answers through an
// optional handler.
class RecordingWindow : public platform::Window {
public:
    using Handler = std::function<LRESULT(UINT, WPARAM, LPARAM)>;
    explicit RecordingWindow(const char* className = "UmbraviaTestWnd", const char* title = "",
                             Handler handler = {})
        : m_handler(std::move(handler))
    {
        createWindow(className, title);
    }
    LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        {
            std::lock_guard lock(m_mutex);
            m_received.push_back({message, wParam, lParam, GetCurrentThreadId()});
        }
        return m_handler ? m_handler(message, wParam, lParam)
                         : Window::windowProc(message, wParam, lParam);
    }
    std::vector<Received> received() const
    {
        std::lock_guard lock(m_mutex);
        return m_received;
    }
    std::vector<Received> received(UINT message) const
    {
        std::vector<Received> out;
        for (const Received& r : received()) {
            if (r.message == message) {
                out.push_back(r);
            }
        }
        return out;
    }
    std::size_t count(UINT message) const { return received(message).size(); }

private:
    mutable std::mutex m_mutex;
    std::vector<Received> m_received;
    Handler m_handler;
};

// Runs the calling thread's event loop until pred() holds or the time is up.
template <typename Pred>
bool pumpUntil(Pred pred, std::chrono::milliseconds timeout = std::chrono::milliseconds(5000))
{
    auto end = std::chrono::steady_clock::now() + timeout;
    while (!pred()) {
        if (std::chrono::steady_clock::now() >= end) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return true;
}

inline void pumpFor(std::chrono::milliseconds time)
{
    auto end = std::chrono::steady_clock::now() + time;
    while (std::chrono::steady_clock::now() < end) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// Child roles of a test program, by name.
using ChildMain = std::function<int(const std::vector<std::string>& args)>;
inline std::map<std::string, ChildMain>& childRoles()
{
    static std::map<std::string, ChildMain> roles;
    return roles;
}

struct ChildRole {
    ChildRole(const char* name, ChildMain main) { childRoles()[name] = std::move(main); }
};

// The arguments that start this test program as the named child.
inline std::vector<std::string> childCommand(const std::string& role,
                                             const std::vector<std::string>& args = {})
{
    std::vector<std::string> argv{testsupport::selfPath().string(), "--child", role};
    argv.insert(argv.end(), args.begin(), args.end());
    return argv;
}

inline int testMain(int argc, char** argv)
{
    platform::Application app(argc, argv);
    if (argc >= 3 && std::strcmp(argv[1], "--child") == 0) {
        auto it = childRoles().find(argv[2]);
        if (it == childRoles().end()) {
            return 99;
        }
        return it->second(std::vector<std::string>(argv + 3, argv + argc));
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

} // namespace wintest

#define UMBRAVIA_WINDOWS_TEST_MAIN()                                                               \
    int main(int argc, char** argv)                                                                \
    {                                                                                              \
        return wintest::testMain(argc, argv);                                                      \
    }
