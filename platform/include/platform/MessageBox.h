#pragma once
// Message boxes. One call, three presenters: a Qt box when a display exists (installed
// by the UI library's application start-up), headless (one line on standard error,
// "MessageBox [<caption>] <text>", line breaks written as \n, answered with the default
// button or with UMBRAVIA_MESSAGEBOX_ANSWER = ok|yes|no|cancel when that button exists),
// and a scripted presenter for tests that records every box and answers as told.

#include <platform/WinTypes.h>

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

constexpr UINT MB_OK = 0x0;
constexpr UINT MB_OKCANCEL = 0x1;
constexpr UINT MB_ABORTRETRYIGNORE = 0x2;
constexpr UINT MB_YESNOCANCEL = 0x3;
constexpr UINT MB_YESNO = 0x4;
constexpr UINT MB_RETRYCANCEL = 0x5;
constexpr UINT MB_TYPEMASK = 0xF;
constexpr UINT MB_ICONHAND = 0x10;
constexpr UINT MB_ICONERROR = 0x10;
constexpr UINT MB_ICONSTOP = 0x10;
constexpr UINT MB_ICONQUESTION = 0x20;
constexpr UINT MB_ICONEXCLAMATION = 0x30;
constexpr UINT MB_ICONWARNING = 0x30;
constexpr UINT MB_ICONASTERISK = 0x40;
constexpr UINT MB_ICONINFORMATION = 0x40;
constexpr UINT MB_ICONMASK = 0xF0;
constexpr UINT MB_DEFBUTTON1 = 0x000;
constexpr UINT MB_DEFBUTTON2 = 0x100;
constexpr UINT MB_DEFBUTTON3 = 0x200;
constexpr UINT MB_DEFMASK = 0xF00;
constexpr UINT MB_APPLMODAL = 0x0000;
constexpr UINT MB_TASKMODAL = 0x2000;
constexpr UINT MB_SETFOREGROUND = 0x10000;
constexpr UINT MB_TOPMOST = 0x40000;

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDABORT = 3;
constexpr int IDRETRY = 4;
constexpr int IDIGNORE = 5;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// Safe from any thread; the Qt presenter shows the box on the UI thread and blocks the
// caller until it is answered.
int MessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT flags) noexcept;

namespace platform {

struct MessageBoxCall {
    HWND owner = 0;
    std::string text;
    std::string caption;
    UINT flags = 0;
    UINT buttons() const { return flags & MB_TYPEMASK; }
    UINT icon() const { return flags & MB_ICONMASK; }
};

class MessageBoxPresenter {
public:
    virtual ~MessageBoxPresenter() = default;
    virtual int present(const MessageBoxCall& call) = 0;
};

// The button a box answers with when nobody chooses (the default button of its flags).
int defaultAnswer(UINT flags);
// Whether the box of these flags has a button answering with id.
bool hasButton(UINT flags, int id);

// The presenter in use; null restores the automatic choice (headless, or Qt once the UI
// library installed itself).
void setMessageBoxPresenter(std::shared_ptr<MessageBoxPresenter> presenter);
std::shared_ptr<MessageBoxPresenter> messageBoxPresenter();
// The presenter of the automatic choice when a display exists: the UI library's
// installQtMessageBoxPresenter() puts its Qt presenter here; null goes back to headless.
void setDisplayMessageBoxPresenter(std::shared_ptr<MessageBoxPresenter> presenter);

// The one line the headless presenter writes for a box (with its line end).
std::string headlessMessageBoxLine(const MessageBoxCall& call);

class HeadlessPresenter : public MessageBoxPresenter {
public:
    int present(const MessageBoxCall& call) override;
};

// Records every box; answers from the queued answers in order, then with the default
// button (or through the answer function when one is set). Thread-safe.
class ScriptedPresenter : public MessageBoxPresenter {
public:
    int present(const MessageBoxCall& call) override;
    void queueAnswer(int id);
    void setAnswerFunction(std::function<int(const MessageBoxCall&)> answer);
    std::vector<MessageBoxCall> calls() const;
    std::vector<std::string> texts() const;
    void clear();

private:
    mutable std::mutex m_mutex;
    std::vector<MessageBoxCall> m_calls;
    std::deque<int> m_answers;
    std::function<int(const MessageBoxCall&)> m_answer;
};

// Installs a scripted presenter for the lifetime of the object (tests).
class ScopedScriptedPresenter {
public:
    ScopedScriptedPresenter();
    ~ScopedScriptedPresenter();
    ScriptedPresenter& operator*() { return *m_presenter; }
    ScriptedPresenter* operator->() { return m_presenter.get(); }

private:
    std::shared_ptr<ScriptedPresenter> m_presenter;
    std::shared_ptr<MessageBoxPresenter> m_previous;
};

} // namespace platform
