#pragma once
// Support for the tests of settings pages (Qt): a stand-in for the host's main window
// that counts the change notifications (1224) and the other messages the pages send it,
// a helper that acts on the next modal dialog as soon as it opens, and a check of a
// module's page exports.

#include <common/HostMessages.h>
#include <common/PluginContract.h>
#include <platform/KernelObjects.h>
#include <platform/Window.h>
#include <platform/Windows.h>

#include <QApplication>
#include <QDialog>
#include <QTimer>

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace testsupport {

// Its handle sits in the host's named section, as the host writes it, so that modules
// find it as the application's main window.
class TestHostWindow : public platform::Window {
public:
    explicit TestHostWindow(bool publish = true)
    {
        EXPECT_TRUE(createWindow("UmbraviaTestHost", "Test host"));
        if (publish) {
            m_section = CreateFileMapping(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                          sizeof(HWND), hostlink::MainWindowSection);
            EXPECT_NE(m_section, nullptr);
            void* view = MapViewOfFile(m_section, FILE_MAP_WRITE, 0, 0, sizeof(HWND));
            const HWND handle = hwnd();
            std::memcpy(view, &handle, sizeof handle);
            UnmapViewOfFile(view);
        }
    }
    ~TestHostWindow() override
    {
        if (m_section != nullptr) {
            CloseHandle(m_section);
        }
    }
    LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        ++counts[message];
        if (message == msg::SettingsModified) {
            ++notifications;
            EXPECT_EQ(wParam, 0u);
            EXPECT_EQ(lParam, 0);
        }
        return Window::windowProc(message, wParam, lParam);
    }
    // Delivers what was posted so far and returns the count of 1224.
    int received()
    {
        for (int i = 0; i < 20; ++i) {
            QCoreApplication::processEvents();
        }
        return notifications;
    }
    // Delivers what was posted so far and returns how often message came.
    int count(UINT message)
    {
        received();
        return counts[message];
    }

    int notifications = 0;
    std::map<UINT, int> counts;

private:
    HANDLE m_section = nullptr;
};

// Runs act on the next modal dialog as soon as it is shown.
inline void whenDialogOpens(std::function<void(QDialog*)> act)
{
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            act(dialog);
        }
    });
    timer->start();
}

// Loads a module and checks its page exports as the host uses them: CreateTabDlg with
// a null array only counts, with an array it makes children of parent titled as given,
// and OnProgramExit destroys every page it made.
inline void expectModulePages(const std::filesystem::path& module, QWidget& parent,
                              const std::vector<std::string>& titles)
{
    void* library = dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    auto create = reinterpret_cast<CreateTabDlgFn>(dlsym(library, contract::CreateTabDlg.name));
    auto exit = reinterpret_cast<OnProgramExitFn>(dlsym(library, contract::OnProgramExit.name));
    ASSERT_NE(create, nullptr);
    ASSERT_NE(exit, nullptr);
    const int count = static_cast<int>(titles.size());
    EXPECT_EQ(create(&parent, nullptr), count);
    EXPECT_TRUE(parent.findChildren<QWidget*>(Qt::FindDirectChildrenOnly).isEmpty());
    for (int round = 0; round < 2; ++round) { // the main window's, then a dialog's
        std::vector<PageWindow*> pages(titles.size(), nullptr);
        ASSERT_EQ(create(&parent, pages.data()), count);
        for (std::size_t i = 0; i < titles.size(); ++i) {
            ASSERT_NE(pages[i], nullptr);
            EXPECT_EQ(pages[i]->windowTitle().toStdString(), titles[i]);
            EXPECT_EQ(pages[i]->parentWidget(), &parent);
        }
    }
    EXPECT_EQ(parent.findChildren<QWidget*>(Qt::FindDirectChildrenOnly).size(), 2 * count);
    exit();
    EXPECT_TRUE(parent.findChildren<QWidget*>(Qt::FindDirectChildrenOnly).isEmpty());
    dlclose(library);
}

} // namespace testsupport
