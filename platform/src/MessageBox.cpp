// MessageBox and the choice of its presenter.

#include <platform/MessageBox.h>

#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace platform {

namespace {

// Guards g_explicitPresenter and g_displayPresenter.
std::mutex g_presenterMutex;
std::shared_ptr<MessageBoxPresenter> g_explicitPresenter;
std::shared_ptr<MessageBoxPresenter> g_displayPresenter;

struct ButtonSet {
    UINT type;
    std::vector<int> ids; // in the order the box shows them
};

const std::vector<int>& buttonsOf(UINT flags)
{
    static const ButtonSet sets[] = {
        {MB_OK, {IDOK}},
        {MB_OKCANCEL, {IDOK, IDCANCEL}},
        {MB_ABORTRETRYIGNORE, {IDABORT, IDRETRY, IDIGNORE}},
        {MB_YESNOCANCEL, {IDYES, IDNO, IDCANCEL}},
        {MB_YESNO, {IDYES, IDNO}},
        {MB_RETRYCANCEL, {IDRETRY, IDCANCEL}},
    };
    for (const ButtonSet& set : sets) {
        if (set.type == (flags & MB_TYPEMASK)) {
            return set.ids;
        }
    }
    return sets[0].ids; // an unknown type shows OK, as Windows does
}

// The answer UMBRAVIA_MESSAGEBOX_ANSWER names, or 0.
int answerFromEnvironment()
{
    const char* env = std::getenv("UMBRAVIA_MESSAGEBOX_ANSWER");
    if (env == nullptr) {
        return 0;
    }
    static const std::pair<const char*, int> names[] = {
        {"ok", IDOK}, {"yes", IDYES}, {"no", IDNO}, {"cancel", IDCANCEL}};
    for (const auto& [name, id] : names) {
        if (strcasecmp(env, name) == 0) {
            return id;
        }
    }
    return 0;
}

} // namespace

int defaultAnswer(UINT flags)
{
    const std::vector<int>& ids = buttonsOf(flags);
    std::size_t index = (flags & MB_DEFMASK) >> 8;
    return index < ids.size() ? ids[index] : ids.front();
}

bool hasButton(UINT flags, int id)
{
    const std::vector<int>& ids = buttonsOf(flags);
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

void setMessageBoxPresenter(std::shared_ptr<MessageBoxPresenter> presenter)
{
    std::lock_guard lock(g_presenterMutex);
    g_explicitPresenter = std::move(presenter);
}

void setDisplayMessageBoxPresenter(std::shared_ptr<MessageBoxPresenter> presenter)
{
    std::lock_guard lock(g_presenterMutex);
    g_displayPresenter = std::move(presenter);
}

std::shared_ptr<MessageBoxPresenter> messageBoxPresenter()
{
    static const auto headless = std::make_shared<HeadlessPresenter>();
    std::lock_guard lock(g_presenterMutex);
    if (g_explicitPresenter != nullptr) {
        return g_explicitPresenter;
    }
    return g_displayPresenter != nullptr ? g_displayPresenter : headless;
}

std::string headlessMessageBoxLine(const MessageBoxCall& call)
{
    std::string line = "MessageBox [" + call.caption + "] ";
    const std::string& text = call.text;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            line += "\\n";
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
                ++i; // CR LF is one line break
            }
        } else {
            line += text[i];
        }
    }
    return line + "\n";
}

int HeadlessPresenter::present(const MessageBoxCall& call)
{
    std::string line = headlessMessageBoxLine(call);
    // One write, so that lines of several threads never mix.
    for (std::size_t done = 0; done < line.size();) {
        ssize_t put = ::write(STDERR_FILENO, line.data() + done, line.size() - done);
        if (put <= 0) {
            break;
        }
        done += static_cast<std::size_t>(put);
    }
    int wanted = answerFromEnvironment();
    return wanted != 0 && hasButton(call.flags, wanted) ? wanted : defaultAnswer(call.flags);
}

int ScriptedPresenter::present(const MessageBoxCall& call)
{
    std::function<int(const MessageBoxCall&)> answer;
    {
        std::lock_guard lock(m_mutex);
        m_calls.push_back(call);
        if (!m_answers.empty()) {
            int id = m_answers.front();
            m_answers.pop_front();
            return id;
        }
        answer = m_answer;
    }
    // Called outside the lock: the function may look at the recorded calls.
    return answer ? answer(call) : defaultAnswer(call.flags);
}

void ScriptedPresenter::queueAnswer(int id)
{
    std::lock_guard lock(m_mutex);
    m_answers.push_back(id);
}

void ScriptedPresenter::setAnswerFunction(std::function<int(const MessageBoxCall&)> answer)
{
    std::lock_guard lock(m_mutex);
    m_answer = std::move(answer);
}

std::vector<MessageBoxCall> ScriptedPresenter::calls() const
{
    std::lock_guard lock(m_mutex);
    return m_calls;
}

std::vector<std::string> ScriptedPresenter::texts() const
{
    std::lock_guard lock(m_mutex);
    std::vector<std::string> texts;
    for (const MessageBoxCall& call : m_calls) {
        texts.push_back(call.text);
    }
    return texts;
}

void ScriptedPresenter::clear()
{
    std::lock_guard lock(m_mutex);
    m_calls.clear();
    m_answers.clear();
}

ScopedScriptedPresenter::ScopedScriptedPresenter()
    : m_presenter(std::make_shared<ScriptedPresenter>())
{
    std::lock_guard lock(g_presenterMutex);
    m_previous = std::exchange(g_explicitPresenter, m_presenter);
}

ScopedScriptedPresenter::~ScopedScriptedPresenter()
{
    std::lock_guard lock(g_presenterMutex);
    g_explicitPresenter = m_previous;
}

} // namespace platform

int MessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT flags) noexcept
{
    try {
        platform::MessageBoxCall call;
        call.owner = owner;
        call.text = text != nullptr ? text : "";
        call.caption = caption != nullptr ? caption : "Error"; // Windows' caption for none
        call.flags = flags;
        return platform::messageBoxPresenter()->present(call);
    } catch (...) {
        // A box that cannot be shown answers as if nobody chose.
        return platform::defaultAnswer(flags);
    }
}
