#pragma once
// Building blocks of the modules that the settings dialog tests load: their pages record
// every command they receive, and each CreateTabDlg call, under one test key of the
// registry, so that the test sees what reached which page.

#include "TableModule.h"

#include <common/Settings.h>
#include <platform/Window.h>

#include <QWidget>

#include <initializer_list>
#include <string>

namespace tabs {

inline constexpr const char* RecordKey = "Software\\UmbraviaTests\\Tabs";

// Appends entry to the REG_SZ value name of the record key.
inline void record(const char* name, const std::string& entry)
{
    const settings::Key key = settings::Key::create(HKEY_LOCAL_MACHINE, RecordKey);
    key.writeString(name, key.readString(name).value_or("") + entry);
}

// A page titled by its window text that notes each WM_COMMAND as "<id>;".
class RecordingPage : public QWidget, public platform::Window {
public:
    RecordingPage(const char* title, QWidget* parent) : QWidget(parent), m_title(title)
    {
        setWindowTitle(title);
        resize(240, 120);
        attachWidget(this);
    }
    ~RecordingPage() override { record(m_title.c_str(), "destroyed;"); }
    LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_COMMAND) {
            record(m_title.c_str(), std::to_string(LOWORD(wParam)) + ";");
            return 0;
        }
        return Window::windowProc(message, wParam, lParam);
    }

private:
    std::string m_title;
};

// CreateTabDlg of a module offering pages with these titles: without an array it only
// counts, with one it creates the pages as children of parent.
inline int createPages(const char* module, std::initializer_list<const char*> titles,
                       QWidget* parent, QWidget** pages) noexcept
{
    try {
        record(module, pages == nullptr ? "count;" : "create;");
        if (pages != nullptr) {
            for (const char* title : titles) {
                *pages++ = new RecordingPage(title, parent);
            }
        }
        return static_cast<int>(titles.size());
    } catch (...) {
        return 0;
    }
}

} // namespace tabs

#define TABS_MODULE_PAGES(MODULE, ...)                                                             \
    UMBRAVIA_EXPORT int CreateTabDlg(PageWindow* parent, PageWindow** pages) noexcept              \
    {                                                                                              \
        return tabs::createPages(MODULE, {__VA_ARGS__}, parent, pages);                            \
    }
