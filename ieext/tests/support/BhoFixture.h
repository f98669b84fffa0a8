#pragma once
// The fixture of the helper object's behaviour tests: a prefix with UmbraIEExt.dll
// registered, the main program's window present, the settings key with every switch off,
// and browsers that load the object as Internet Explorer does.

#include "TestBrowser.h"

#include <common/BrowserHelper.h>
#include <common/HostMessages.h>
#include <common/Settings.h>
#include <platform/Environment.h>
#include <platform/Window.h>

#include <QCoreApplication>
#include <QTimer>

#include <ComTestSupport.h>
#include <TestSupport.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ieexttest {

inline std::filesystem::path modulePath()
{
    return std::filesystem::canonical(testsupport::binDir() / "UmbraIEExt.dll");
}

inline std::string moduleDosPath()
{
    return platform::toDosPath(modulePath()).str();
}

inline bool registrationKeyExists()
{
    return settings::Key::open(HKEY_LOCAL_MACHINE, browserhelper::RegistrationKey).valid();
}

// What the browser window's message loop returns when action runs inside it and ends it
// with a quit message; -1 when nothing ended the loop within a generous bound. The loop
// is the application's own, as in a browser process whose window runs on the main
// thread.
inline int loopExitCode(const std::function<void()>& action)
{
    QTimer start;
    start.setSingleShot(true);
    QObject::connect(&start, &QTimer::timeout, action);
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(-1); });
    start.start(0);
    guard.start(10000);
    return QCoreApplication::exec();
}

class BhoTest : public testsupport::PrefixTest {
protected:
    void SetUp() override
    {
        ASSERT_EQ(testsupport::callModuleExport(moduleDosPath(), "DllRegisterServer"), S_OK);
        ASSERT_TRUE(m_mainWindow.createWindow(DIALOG_CLASS, hostlink::MainWindowTitle));
        settings::Key key = settings::Key::create(HKEY_LOCAL_MACHINE, settings::IEExtKey);
        for (const char* name : {browserhelper::KillAllPopups, browserhelper::WindowResizable,
                                 browserhelper::ShowAddressBar, browserhelper::ShowMenuBar,
                                 browserhelper::ShowStatusBar, browserhelper::ShowToolBar}) {
            key.writeDword(name, 0);
        }
    }

    void TearDown() override
    {
        m_browsers.clear();
        CoFreeUnusedLibraries();
    }

    TestBrowser& open(const BrowserLayout& layout = {})
    {
        m_browsers.push_back(std::make_unique<TestBrowser>(&layout));
        TestBrowser& browser = *m_browsers.back();
        EXPECT_EQ(browser.loadHelpers(), 1);
        EXPECT_EQ(browser.subscribers(), 1);
        return browser;
    }

    static void setSwitch(const char* name, DWORD value)
    {
        settings::Key::create(HKEY_LOCAL_MACHINE, settings::IEExtKey).writeDword(name, value);
    }

    static std::string rulePath(const char* rule)
    {
        return std::string(settings::IEExtKey) + "\\" + rule;
    }

    // As the settings page saves a list: the subkey made anew, entries "0", "1", ...
    static void setList(const char* rule, DWORD enabled, const std::vector<std::string>& entries)
    {
        ASSERT_EQ(settings::saveList(HKEY_LOCAL_MACHINE, rulePath(rule).c_str(),
                                     settings::StringList{enabled, entries}),
                  ERROR_SUCCESS);
    }

    static void setSizeRule(DWORD enabled, DWORD threshold)
    {
        settings::Key key =
            settings::Key::create(HKEY_LOCAL_MACHINE, rulePath(browserhelper::SizeRuleKey).c_str());
        key.writeDword(nullptr, enabled);
        key.writeDword(browserhelper::SizeThreshold, threshold);
    }

    platform::Window m_mainWindow;
    std::vector<std::unique_ptr<TestBrowser>> m_browsers;
};

} // namespace ieexttest
