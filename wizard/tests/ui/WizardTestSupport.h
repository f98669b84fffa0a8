#pragma once
// Support for the wizard's page tests: a session in the test's prefix that never starts a
// host, message boxes answered by their text, and a script that acts on the wizard's
// modal windows one step at a time while the pages run.

#include "ui/Session.h"
#include "ui/WizardPage.h"

#include <common/Settings.h>
#include <platform/Environment.h>
#include <platform/MessageBox.h>
#include <platform/Shell.h>

#include <QAbstractButton>
#include <QApplication>
#include <QTimer>

#include <TestSupport.h>

#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace wizardtest {

// Runs its steps one after another while the wizard's modal windows run: each step once
// a modal window is up, the next once the step has returned or opened a window of its own.
class Script {
public:
    // ready: when the step may run (a message posted by the step before has arrived).
    Script& then(std::function<void()> step, std::function<bool()> ready = {})
    {
        m_steps.push_back({std::move(step), std::move(ready)});
        return *this;
    }
    // Starts the steps and runs body (which opens the first modal window).
    int run(const std::function<int()>& body)
    {
        schedule();
        return body();
    }
    std::size_t done() const { return m_next; }
    std::size_t size() const { return m_steps.size(); }

private:
    void schedule()
    {
        // Tied to this script: a step still pending dies with it.
        QTimer::singleShot(1, &m_context, [this] { pump(); });
    }
    void pump()
    {
        if (m_next >= m_steps.size()) {
            return;
        }
        const Step& next = m_steps[m_next];
        if (QApplication::activeModalWidget() == nullptr || (next.ready && !next.ready())) {
            schedule();
            return;
        }
        const std::function<void()> step = next.run;
        ++m_next;
        schedule();
        step();
    }

    struct Step {
        std::function<void()> run;
        std::function<bool()> ready;
    };
    std::vector<Step> m_steps;
    QObject m_context;
    std::size_t m_next = 0;
};

// The modal window on top, as a T (null when it is something else).
template <typename T> T* top()
{
    return dynamic_cast<T*>(QApplication::activeModalWidget());
}

inline wizard::ui::WizardPage* page()
{
    return top<wizard::ui::WizardPage>();
}

// Clicks a page's button or control by id, as the user does.
inline void click(UINT id)
{
    wizard::ui::WizardPage* current = page();
    ASSERT_NE(current, nullptr);
    QWidget* control = current->control(id);
    ASSERT_NE(control, nullptr) << id;
    auto* button = dynamic_cast<QAbstractButton*>(control);
    ASSERT_NE(button, nullptr) << id;
    button->click();
}

// A fixture with its own prefix, scripted boxes answered by their text (Yes/No questions
// with No unless told otherwise) and a session whose Finish never starts a host.
class WizardTest : public testsupport::PrefixTest {
protected:
    void SetUp() override
    {
        m_boxes->setAnswerFunction([this](const platform::MessageBoxCall& call) {
            for (const auto& [text, answer] : m_answers) {
                if (call.text.find(text) == 0) {
                    return answer;
                }
            }
            return call.buttons() == MB_OK ? IDOK : IDNO;
        });
        m_session.start.folder = platform::toDosPath(testsupport::binDir()).str() + "\\";
        m_session.start.mainProgramPath = m_session.start.folder + "Umbravia.exe";
        m_session.start.startedByHost = true;
    }

    void answer(const std::string& textStart, int id) { m_answers[textStart] = id; }
    std::vector<std::string> texts() { return m_boxes->texts(); }
    int count(const std::string& text)
    {
        int n = 0;
        for (const std::string& shown : texts()) {
            n += shown == text ? 1 : 0;
        }
        return n;
    }

    platform::ScopedScriptedPresenter m_boxes;
    std::map<std::string, int> m_answers;
    wizard::ui::Session m_session;
};

inline std::optional<DWORD> dword(const char* key, const char* name)
{
    return settings::readDword(HKEY_LOCAL_MACHINE, key, name);
}

// A special folder of the prefix, as a host path.
inline std::filesystem::path specialFolder(int csidl)
{
    char path[MAX_PATH] = {};
    EXPECT_TRUE(SHGetSpecialFolderPath(0, path, csidl, TRUE)) << csidl;
    auto host = platform::toHostPath(path);
    EXPECT_TRUE(host.ok()) << path;
    return host.ok() ? *host : std::filesystem::path();
}

} // namespace wizardtest
