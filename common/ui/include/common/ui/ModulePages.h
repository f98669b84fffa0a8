#pragma once
// The pages one module has created through CreateTabDlg. Every call creates its pages
// anew (once for the host's main window, again for each opening of its settings
// dialog); a page lives until its parent destroys it or the module's OnProgramExit
// destroys every page still there, so that no page outlives the code behind it.

#include <common/PluginContract.h>

#include <QCoreApplication>
#include <QPointer>
#include <QWidget>

#include <vector>

namespace pageui {

class ModulePages {
public:
    ModulePages() = default;
    ModulePages(const ModulePages&) = delete;
    ModulePages& operator=(const ModulePages&) = delete;
    // A module unloaded without OnProgramExit still takes its pages with it.
    ~ModulePages()
    {
        if (QCoreApplication::instance() != nullptr) {
            destroyAll();
        }
    }

    // CreateTabDlg's work: the page count, and with an array the pages make(0), make(1),
    // ... stored in it. 0 when a page could not be made (nothing escapes the module).
    template <typename Make> int createTabs(PageWindow** array, int count, Make make) noexcept
    {
        try {
            for (int i = 0; array != nullptr && i < count; ++i) {
                array[i] = add(make(i));
            }
            return count;
        } catch (...) {
            return 0;
        }
    }

    // OnProgramExit's work.
    void exitPages() noexcept
    {
        try {
            destroyAll();
        } catch (...) {
        }
    }

    template <typename Page> Page* add(Page* page)
    {
        m_pages.emplace_back(page);
        return page;
    }

    void destroyAll()
    {
        for (QPointer<QWidget>& page : m_pages) {
            delete page.data();
        }
        m_pages.clear();
    }

    // Pages still alive.
    int alive() const
    {
        int count = 0;
        for (const QPointer<QWidget>& page : m_pages) {
            count += page ? 1 : 0;
        }
        return count;
    }

private:
    std::vector<QPointer<QWidget>> m_pages;
};

} // namespace pageui
