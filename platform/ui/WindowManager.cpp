// The process's windows and the delivery of their messages.

#include "WindowManager.h"

#include "MessageChannel.h"
#include "MessageDispatcher.h"
#include "WindowTable.h"

#include <platform/Text.h>
#include <platform/Window.h>

#include <QWidget>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>

namespace platform::detail {

namespace {

bool visibleAfter(int command, bool before)
{
    switch (command) {
    case SW_HIDE:
        return false;
    case SW_SHOWNORMAL:
    case SW_SHOWMINIMIZED:
    case SW_SHOWMAXIMIZED:
    case SW_SHOWNOACTIVATE:
    case SW_SHOW:
    case SW_SHOWMINNOACTIVE:
    case SW_RESTORE:
        return true;
    default:
        return before; // SW_MINIMIZE keeps the window as it is
    }
}

} // namespace

Site::~Site() = default;

WindowManager& WindowManager::instance()
{
    // Never destroyed: threads ending during the process's exit still reach it.
    static WindowManager* manager = [] {
        auto* m = new WindowManager;
        std::atexit([] { WindowManager::instance().processEnding(); });
        return m;
    }();
    return *manager;
}

std::shared_ptr<Site> WindowManager::currentSite()
{
    HostPath folder = runFolder();
    std::lock_guard lock(m_siteMutex);
    if (m_site && m_site->runFolder == folder) {
        return m_site;
    }
    auto table = WindowTable::open(folder);
    if (!table) {
        SetLastError(table.error().code);
        OutputDebugString(("window table: " + table.error().message + "\n").c_str());
        return nullptr;
    }
    auto site = std::make_shared<Site>();
    site->runFolder = folder;
    site->table = *table;
    m_site = site;
    return site;
}

std::shared_ptr<LocalWindow> WindowManager::local(HWND hwnd) const
{
    std::shared_lock lock(m_mutex);
    auto it = m_windows.find(hwnd);
    return it != m_windows.end() ? it->second : nullptr;
}

std::vector<HWND> WindowManager::descendants(HWND parent) const
{
    std::shared_lock lock(m_mutex);
    std::vector<std::pair<std::uint64_t, HWND>> found;
    for (const auto& [hwnd, window] : m_windows) {
        // Walk up to the top; a chain longer than the window count is a loop.
        HWND up = window->parent;
        for (std::size_t steps = 0; up != 0 && up != parent && steps < m_windows.size(); ++steps) {
            auto it = m_windows.find(up);
            up = it != m_windows.end() ? it->second->parent : 0;
        }
        if (up == parent && parent != 0) {
            found.emplace_back(window->madeAs, hwnd);
        }
    }
    std::sort(found.begin(), found.end());
    std::vector<HWND> out;
    out.reserve(found.size());
    for (const auto& entry : found) {
        out.push_back(entry.second);
    }
    return out;
}

std::shared_ptr<ThreadQueue> WindowManager::ownerOf(HWND hwnd) const
{
    std::shared_ptr<LocalWindow> window = local(hwnd);
    return window ? window->owner : nullptr;
}

bool WindowManager::isLocal(HWND hwnd) const
{
    std::shared_lock lock(m_mutex);
    return m_windows.count(hwnd) != 0;
}

QWidget* WindowManager::widgetOf(HWND hwnd) const
{
    std::shared_ptr<LocalWindow> window = local(hwnd);
    return window && window->object != nullptr ? window->object->widget() : nullptr;
}

std::optional<WindowRecord> WindowManager::remote(HWND hwnd)
{
    std::shared_ptr<Site> site = currentSite();
    if (!site) {
        return std::nullopt;
    }
    std::optional<WindowRecord> record = site->table->lookupLive(hwnd);
    if (record && record->owner == selfIdentity()) {
        return std::nullopt; // one of ours that is already gone
    }
    return record;
}

HWND WindowManager::create(const CreateSpec& spec)
{
    std::shared_ptr<Site> site = currentSite();
    if (!site) {
        return 0;
    }
    {
        // The socket must listen before any other process can see the window.
        std::lock_guard lock(site->receiverMutex);
        if (!site->receiver) {
            auto receiver = MessageReceiver::start(site->runFolder);
            if (!receiver) {
                SetLastError(receiver.error().code);
                OutputDebugString(("message socket: " + receiver.error().message + "\n").c_str());
                return 0;
            }
            site->receiver = std::move(*receiver);
        }
    }
    auto window = std::make_shared<LocalWindow>();
    window->parent = spec.parent;
    window->topLevel = spec.topLevel;
    window->visible = spec.visible;
    window->className = spec.className;
    window->title = spec.title;
    window->owner = ThreadQueue::current();
    window->owner->ensureDispatcher();
    window->proc = spec.proc;
    window->object = spec.object;
    window->site = site;

    WindowRecord record;
    record.parent = spec.parent;
    record.topLevel = spec.topLevel;
    record.visible = spec.visible;
    record.owner = selfIdentity();
    record.threadId = window->owner->threadId();
    record.className = spec.className;
    record.title = spec.title;
    HWND hwnd = site->table->add(record);
    if (hwnd == 0) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    window->hwnd = hwnd;
    window->madeAs = ++m_made;
    std::unique_lock lock(m_mutex);
    m_windows[hwnd] = std::move(window);
    return hwnd;
}

bool WindowManager::destroy(HWND hwnd, bool fromOwnerOnly, bool sendDestroy)
{
    std::shared_ptr<LocalWindow> window = local(hwnd);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return false;
    }
    bool onOwner = window->owner->isCurrent();
    if (fromOwnerOnly && !onOwner) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    if (sendDestroy && onOwner) {
        callLocal(hwnd, WM_DESTROY, 0, 0, nullptr);
    }
    {
        std::unique_lock lock(m_mutex);
        auto it = m_windows.find(hwnd);
        if (it == m_windows.end() || it->second != window) {
            return true; // the handler destroyed it already
        }
        m_windows.erase(it);
    }
    window->site->table->remove(hwnd);
    if (onOwner) {
        if (MessageDispatcher* dispatcher = window->owner->dispatcher()) {
            dispatcher->killWindowTimers(hwnd);
        }
    } else {
        window->owner->run([hwnd] {
            if (MessageDispatcher* dispatcher = ThreadQueue::current()->dispatcher()) {
                dispatcher->killWindowTimers(hwnd);
            }
        });
    }
    return true;
}

LRESULT WindowManager::callLocal(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                 bool* handled)
{
    std::shared_ptr<LocalWindow> window = local(hwnd);
    if (handled != nullptr) {
        *handled = window != nullptr;
    }
    if (!window) {
        return 0;
    }
    try {
        if (window->object != nullptr) {
            return window->object->windowProc(message, wParam, lParam);
        }
        if (window->proc != nullptr) {
            return window->proc(hwnd, message, wParam, lParam);
        }
        return defaultProc(hwnd, message, wParam, lParam);
    } catch (...) {
        // A handler must not take the event loop down with it.
        OutputDebugString("window handler threw\n");
        return 0;
    }
}

bool WindowManager::postLocal(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    std::shared_ptr<ThreadQueue> owner;
    {
        std::shared_lock lock(m_mutex);
        auto it = m_windows.find(hwnd);
        if (it == m_windows.end()) {
            return false;
        }
        owner = it->second->owner;
    }
    return owner->post(new PostedMessageEvent(hwnd, message, wParam, lParam));
}

void WindowManager::sendFromOutside(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                    std::function<void(LRESULT, bool)> done)
{
    std::shared_ptr<ThreadQueue> owner;
    {
        std::shared_lock lock(m_mutex);
        auto it = m_windows.find(hwnd);
        if (it != m_windows.end()) {
            owner = it->second->owner;
        }
    }
    SentMessage sent{hwnd, message, wParam, lParam, done};
    if (!owner || !owner->pushSent(std::move(sent))) {
        done(0, false);
    }
}

LRESULT WindowManager::sendAcrossThreads(const std::shared_ptr<ThreadQueue>& owner, HWND hwnd,
                                         UINT message, WPARAM wParam, LPARAM lParam)
{
    struct Answer {
        std::atomic<bool> done{false};
        LRESULT result = 0;
        bool handled = false;
    };
    auto answer = std::make_shared<Answer>();
    std::shared_ptr<ThreadQueue> self = ThreadQueue::current();
    SentMessage sent{hwnd, message, wParam, lParam, [answer, self](LRESULT result, bool handled) {
                         answer->result = result;
                         answer->handled = handled;
                         answer->done.store(true, std::memory_order_release);
                         self->wake();
                     }};
    if (!owner->pushSent(std::move(sent))) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    // Messages sent to this thread meanwhile are handled, so that two threads sending to
    // each other do not lock up.
    while (!answer->done.load(std::memory_order_acquire)) {
        self->drainSent();
        if (answer->done.load(std::memory_order_acquire)) {
            break;
        }
        self->waitWake(-1, -1);
    }
    if (!answer->handled) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    }
    return answer->result;
}

BOOL WindowManager::post(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (postLocal(hwnd, message, wParam, lParam)) {
        return TRUE;
    }
    // Posts to other processes are frequent (the proxy posts per relayed chunk): the
    // owner's liveness is checked when a connection is made, and a dead peer shows as a
    // failed send.
    std::shared_ptr<Site> site = currentSite();
    std::optional<WindowRecord> record = site ? site->table->lookup(hwnd) : std::nullopt;
    if (!record || record->owner == selfIdentity()) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (MessageSender::post(site->runFolder, *record, PacketKind::Post, message, wParam, lParam)) {
        return TRUE;
    }
    if (GetLastError() == static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE)) {
        site->table->lookupLive(hwnd); // drops the row of a process that died
    }
    return FALSE;
}

LRESULT WindowManager::send(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (std::shared_ptr<LocalWindow> window = local(hwnd)) {
        if (window->owner->isCurrent()) {
            return callLocal(hwnd, message, wParam, lParam, nullptr);
        }
        return sendAcrossThreads(window->owner, hwnd, message, wParam, lParam);
    }
    std::shared_ptr<Site> site = currentSite();
    std::optional<WindowRecord> record = remote(hwnd);
    if (!site || !record) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    std::optional<LRESULT> result =
        MessageSender::send(site->runFolder, *record, message, wParam, lParam);
    return result.value_or(0);
}

HWND WindowManager::find(const char* className, const char* title)
{
    std::shared_ptr<Site> site = currentSite();
    if (!site) {
        return 0;
    }
    HWND hwnd = site->table->find(className, title);
    if (hwnd == 0) {
        SetLastError(ERROR_FILE_NOT_FOUND);
    }
    return hwnd;
}

HWND WindowManager::findChild(HWND parent, const char* className, const char* title)
{
    std::shared_ptr<Site> site = currentSite();
    if (!site) {
        return 0;
    }
    HWND hwnd = site->table->findChild(parent, className, title);
    if (hwnd == 0) {
        SetLastError(ERROR_FILE_NOT_FOUND);
    }
    return hwnd;
}

bool WindowManager::isWindow(HWND hwnd)
{
    return hwnd != 0 && (isLocal(hwnd) || remote(hwnd).has_value());
}

std::optional<std::string> WindowManager::title(HWND hwnd)
{
    if (std::shared_ptr<LocalWindow> window = local(hwnd)) {
        std::shared_lock lock(m_mutex);
        return window->title;
    }
    if (std::optional<WindowRecord> record = remote(hwnd)) {
        return record->title;
    }
    return std::nullopt;
}

std::optional<std::string> WindowManager::className(HWND hwnd)
{
    if (std::shared_ptr<LocalWindow> window = local(hwnd)) {
        return window->className;
    }
    if (std::optional<WindowRecord> record = remote(hwnd)) {
        return record->className;
    }
    return std::nullopt;
}

bool WindowManager::setTitle(HWND hwnd, const std::string& title, bool fromWidget)
{
    std::shared_ptr<LocalWindow> window = local(hwnd);
    if (!window) {
        // Another process's window: its title can only be set by its owner.
        SetLastError(isWindow(hwnd) ? ERROR_ACCESS_DENIED : ERROR_INVALID_WINDOW_HANDLE);
        return false;
    }
    {
        std::unique_lock lock(m_mutex);
        window->title = title;
    }
    window->site->table->setTitle(hwnd, title);
    if (!fromWidget && window->object != nullptr && window->object->widget() != nullptr) {
        auto apply = [hwnd, title] {
            if (QWidget* widget = platform::widgetOf(hwnd)) {
                widget->setWindowTitle(QString::fromStdString(title));
            }
        };
        if (window->owner->isCurrent()) {
            apply();
        } else {
            window->owner->run(apply);
        }
    }
    return true;
}

void WindowManager::noteVisible(HWND hwnd, bool visible)
{
    std::shared_ptr<LocalWindow> window = local(hwnd);
    if (!window) {
        return;
    }
    {
        std::unique_lock lock(m_mutex);
        window->visible = visible;
    }
    window->site->table->setVisible(hwnd, visible);
}

void WindowManager::applyShow(HWND hwnd, int command, bool foreground)
{
    std::shared_ptr<LocalWindow> window = local(hwnd);
    if (!window) {
        return;
    }
    if (window->object != nullptr) {
        if (foreground) {
            window->object->foregroundRequest();
        } else {
            window->object->showWindowRequest(command);
        }
    }
    if (!foreground && (window->object == nullptr || window->object->widget() == nullptr)) {
        noteVisible(hwnd, visibleAfter(command, isVisible(hwnd)));
    }
}

void WindowManager::requestShow(HWND hwnd, int command, bool foreground)
{
    std::shared_ptr<LocalWindow> window = local(hwnd);
    if (window) {
        window->owner->run(
            [this, hwnd, command, foreground] { applyShow(hwnd, command, foreground); });
    }
}

bool WindowManager::show(HWND hwnd, int command)
{
    bool before = isVisible(hwnd);
    if (std::shared_ptr<LocalWindow> window = local(hwnd)) {
        if (window->owner->isCurrent()) {
            applyShow(hwnd, command, false);
        } else {
            requestShow(hwnd, command, false);
        }
        return before;
    }
    std::shared_ptr<Site> site = currentSite();
    if (std::optional<WindowRecord> record = remote(hwnd); site && record) {
        MessageSender::post(site->runFolder, *record, PacketKind::Show, 0,
                            static_cast<WPARAM>(command), 0);
    } else {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    }
    return before;
}

bool WindowManager::isVisible(HWND hwnd)
{
    if (std::shared_ptr<LocalWindow> window = local(hwnd)) {
        std::shared_lock lock(m_mutex);
        return window->visible;
    }
    std::optional<WindowRecord> record = remote(hwnd);
    return record && record->visible;
}

bool WindowManager::foreground(HWND hwnd)
{
    if (std::shared_ptr<LocalWindow> window = local(hwnd)) {
        if (window->owner->isCurrent()) {
            applyShow(hwnd, SW_SHOW, true);
        } else {
            requestShow(hwnd, SW_SHOW, true);
        }
        return true;
    }
    std::shared_ptr<Site> site = currentSite();
    std::optional<WindowRecord> record = remote(hwnd);
    if (!site || !record) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return false;
    }
    return MessageSender::post(site->runFolder, *record, PacketKind::Foreground, 0, 0, 0);
}

DWORD WindowManager::threadProcess(HWND hwnd, DWORD* processId)
{
    if (std::shared_ptr<LocalWindow> window = local(hwnd)) {
        if (processId != nullptr) {
            *processId = GetCurrentProcessId();
        }
        return window->owner->threadId();
    }
    if (std::optional<WindowRecord> record = remote(hwnd)) {
        if (processId != nullptr) {
            *processId = static_cast<DWORD>(record->owner.pid);
        }
        return record->threadId;
    }
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
}

UINT_PTR WindowManager::setTimer(HWND hwnd, UINT_PTR id, UINT periodMs, TIMERPROC proc)
{
    periodMs = std::max<UINT>(periodMs, 10); // USER_TIMER_MINIMUM
    if (hwnd == 0) {
        // A thread timer: a fresh id unless an existing one is given, delivered to proc.
        UINT_PTR timerId = id != 0 ? id : m_nextThreadTimer++;
        if (MessageDispatcher* dispatcher = ThreadQueue::current()->ensureDispatcher()) {
            dispatcher->setWindowTimer(0, timerId, periodMs, proc);
        }
        return timerId;
    }
    std::shared_ptr<LocalWindow> window = local(hwnd);
    if (!window) {
        SetLastError(isWindow(hwnd) ? ERROR_ACCESS_DENIED : ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    auto start = [hwnd, id, periodMs, proc] {
        if (MessageDispatcher* dispatcher = ThreadQueue::current()->dispatcher()) {
            dispatcher->setWindowTimer(hwnd, id, periodMs, proc);
        }
    };
    if (window->owner->isCurrent()) {
        start();
    } else if (!window->owner->run(start)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return id != 0 ? id : 1;
}

bool WindowManager::killTimer(HWND hwnd, UINT_PTR id)
{
    if (hwnd == 0) {
        MessageDispatcher* dispatcher = ThreadQueue::current()->dispatcher();
        return dispatcher != nullptr && dispatcher->killWindowTimer(0, id);
    }
    std::shared_ptr<LocalWindow> window = local(hwnd);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return false;
    }
    if (window->owner->isCurrent()) {
        MessageDispatcher* dispatcher = window->owner->dispatcher();
        return dispatcher != nullptr && dispatcher->killWindowTimer(hwnd, id);
    }
    return window->owner->run([hwnd, id] {
        if (MessageDispatcher* dispatcher = ThreadQueue::current()->dispatcher()) {
            dispatcher->killWindowTimer(hwnd, id);
        }
    });
}

ATOM WindowManager::registerClass(const WNDCLASS& windowClass)
{
    if (windowClass.lpszClassName == nullptr || *windowClass.lpszClassName == '\0') {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string key = text::lower(windowClass.lpszClassName);
    std::unique_lock lock(m_mutex);
    if (m_classes.count(key) != 0 || key == DIALOG_CLASS) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    ATOM atom = m_nextAtom++;
    m_classes[key] = ClassEntry{windowClass.lpszClassName, windowClass.lpfnWndProc, atom};
    return atom;
}

bool WindowManager::unregisterClass(const char* name)
{
    if (name == nullptr) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return false;
    }
    std::string key = text::lower(name);
    std::unique_lock lock(m_mutex);
    auto it = m_classes.find(key);
    if (it == m_classes.end()) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return false;
    }
    for (const auto& [hwnd, window] : m_windows) {
        if (window->object == nullptr && text::lower(window->className) == key) {
            SetLastError(ERROR_CLASS_HAS_WINDOWS);
            return false;
        }
    }
    m_classes.erase(it);
    return true;
}

std::optional<WNDPROC> WindowManager::classProcedure(const char* name)
{
    std::string key = text::lower(name != nullptr ? name : "");
    if (key == DIALOG_CLASS) {
        return static_cast<WNDPROC>(nullptr); // the default handling
    }
    std::shared_lock lock(m_mutex);
    auto it = m_classes.find(key);
    if (it == m_classes.end()) {
        return std::nullopt;
    }
    return it->second.proc;
}

LRESULT WindowManager::defaultProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CLOSE: {
        std::shared_ptr<LocalWindow> window = local(hwnd);
        if (window && window->object != nullptr && window->object->widget() != nullptr) {
            window->object->widget()->close();
        } else if (window) {
            destroy(hwnd, true, true);
        }
        return 0;
    }
    case WM_GETTEXT: {
        auto* buffer = reinterpret_cast<char*>(lParam);
        std::string text = title(hwnd).value_or("");
        if (buffer == nullptr || wParam == 0) {
            return 0;
        }
        std::size_t n = std::min<std::size_t>(text.size(), wParam - 1);
        std::memcpy(buffer, text.data(), n);
        buffer[n] = '\0';
        return static_cast<LRESULT>(n);
    }
    case WM_SETTEXT:
        return setTitle(hwnd, lParam != 0 ? reinterpret_cast<const char*>(lParam) : "", false)
                   ? TRUE
                   : FALSE;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE) {
            return send(hwnd, WM_CLOSE, 0, 0);
        }
        if ((wParam & 0xFFF0) == SC_MINIMIZE) {
            show(hwnd, SW_MINIMIZE);
        } else if ((wParam & 0xFFF0) == SC_RESTORE) {
            show(hwnd, SW_RESTORE);
        }
        return 0;
    default:
        return 0;
    }
}

void WindowManager::threadEnded(DWORD threadId)
{
    std::vector<std::shared_ptr<LocalWindow>> gone;
    {
        std::unique_lock lock(m_mutex);
        for (auto it = m_windows.begin(); it != m_windows.end();) {
            if (it->second->owner->threadId() == threadId) {
                gone.push_back(std::move(it->second));
                it = m_windows.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (const auto& window : gone) {
        window->site->table->remove(window->hwnd);
    }
}

void WindowManager::processEnding()
{
    std::vector<std::shared_ptr<LocalWindow>> gone;
    {
        std::unique_lock lock(m_mutex);
        for (auto& [hwnd, window] : m_windows) {
            gone.push_back(std::move(window));
        }
        m_windows.clear();
    }
    for (const auto& window : gone) {
        window->site->table->remove(window->hwnd);
    }
    gone.clear();
    std::lock_guard lock(m_siteMutex);
    m_site.reset(); // stops the receiver and removes its socket
}

} // namespace platform::detail

namespace platform {

namespace {
std::atomic<DWORD> g_sendTimeoutMs{0};
}

DWORD sendTimeoutMs()
{
    DWORD value = g_sendTimeoutMs.load();
    if (value != 0) {
        return value;
    }
    const char* env = std::getenv("UMBRAVIA_SEND_TIMEOUT_MS");
    long configured = env != nullptr ? std::strtol(env, nullptr, 10) : 0;
    return configured > 0 ? static_cast<DWORD>(configured) : 5000;
}

void setSendTimeoutMs(DWORD milliseconds)
{
    g_sendTimeoutMs.store(milliseconds);
}

SentMessageRefusal::SentMessageRefusal() noexcept
{
    detail::ThreadQueue::current()->refuseSent(true);
}

SentMessageRefusal::~SentMessageRefusal()
{
    detail::ThreadQueue::current()->refuseSent(false);
}

} // namespace platform
