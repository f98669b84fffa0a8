#pragma once
// The process's windows: where each lives (thread, site), how a message reaches it, and
// the Win32 calls over them. One instance per process, never destroyed (its rows in the
// window table are removed when their threads end and when the process exits).

#include "ThreadQueue.h"

#include <platform/Environment.h>
#include <platform/Windows.h>

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <string>
#include <unordered_map>
#include <vector>

class QWidget;

namespace platform {
class Window;
}

namespace platform::detail {

class MessageReceiver;
class WindowTable;
struct WindowRecord;

// A prefix as seen by this process: its window table and this process's socket there.
struct Site {
    ~Site();
    HostPath runFolder;
    std::shared_ptr<WindowTable> table;
    std::mutex receiverMutex; // guards receiver
    std::unique_ptr<MessageReceiver> receiver;
};

struct LocalWindow {
    HWND hwnd = 0;
    HWND parent = 0;
    bool topLevel = true;
    bool visible = false;
    std::string className;
    std::string title;
    std::shared_ptr<ThreadQueue> owner;
    WNDPROC proc = nullptr;
    platform::Window* object = nullptr;
    std::shared_ptr<Site> site;
    std::uint64_t madeAs = 0; // creation order: children are listed in it
};

class WindowManager {
public:
    static WindowManager& instance();

    struct CreateSpec {
        std::string className;
        std::string title;
        HWND parent = 0;
        bool topLevel = true;
        bool visible = false;
        WNDPROC proc = nullptr;
        platform::Window* object = nullptr;
    };
    // A window owned by the calling thread; 0 on failure (GetLastError set).
    HWND create(const CreateSpec& spec);
    // sendDestroy: WM_DESTROY first (owning thread only).
    bool destroy(HWND hwnd, bool fromOwnerOnly, bool sendDestroy);

    bool isLocal(HWND hwnd) const;
    QWidget* widgetOf(HWND hwnd) const;
    // On the owning thread: the window's handler. handled (optional) tells whether the
    // window still existed.
    LRESULT callLocal(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, bool* handled);
    bool postLocal(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void sendFromOutside(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                         std::function<void(LRESULT, bool)> done);
    void requestShow(HWND hwnd, int command, bool foreground);

    BOOL post(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT send(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    HWND find(const char* className, const char* title);
    HWND findChild(HWND parent, const char* className, const char* title);
    // Every local descendant of parent, in creation order.
    std::vector<HWND> descendants(HWND parent) const;
    // The thread that owns a local window (null for others).
    std::shared_ptr<ThreadQueue> ownerOf(HWND hwnd) const;
    bool isWindow(HWND hwnd);
    std::optional<std::string> title(HWND hwnd);
    std::optional<std::string> className(HWND hwnd);
    bool setTitle(HWND hwnd, const std::string& title, bool fromWidget);
    bool show(HWND hwnd, int command); // previous visibility
    bool isVisible(HWND hwnd);
    bool foreground(HWND hwnd);
    DWORD threadProcess(HWND hwnd, DWORD* processId);
    void noteVisible(HWND hwnd, bool visible);

    UINT_PTR setTimer(HWND hwnd, UINT_PTR id, UINT periodMs, TIMERPROC proc);
    bool killTimer(HWND hwnd, UINT_PTR id);

    ATOM registerClass(const WNDCLASS& windowClass);
    bool unregisterClass(const char* name);
    // The procedure of a registered class; nothing for unknown classes.
    std::optional<WNDPROC> classProcedure(const char* name);

    LRESULT defaultProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    // The thread ended: its windows go with it.
    void threadEnded(DWORD threadId);
    // The process ends normally: its rows leave every window table.
    void processEnding();

private:
    WindowManager() = default;
    std::shared_ptr<LocalWindow> local(HWND hwnd) const;
    std::shared_ptr<Site> currentSite();
    std::optional<WindowRecord> remote(HWND hwnd);
    LRESULT sendAcrossThreads(const std::shared_ptr<ThreadQueue>& owner, HWND hwnd, UINT message,
                              WPARAM wParam, LPARAM lParam);
    void applyShow(HWND hwnd, int command, bool foreground);

    mutable std::shared_mutex m_mutex; // guards m_windows and m_classes
    std::unordered_map<HWND, std::shared_ptr<LocalWindow>> m_windows;
    struct ClassEntry {
        std::string name;
        WNDPROC proc;
        ATOM atom;
    };
    std::map<std::string, ClassEntry> m_classes; // by lower-case name
    ATOM m_nextAtom = 0xC000;

    std::mutex m_siteMutex; // guards m_site
    std::shared_ptr<Site> m_site;
    std::atomic<UINT_PTR> m_nextThreadTimer{0x7FFF0000};
    std::atomic<std::uint64_t> m_made{0};
};

} // namespace platform::detail
