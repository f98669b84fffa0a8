#pragma once
// The pages one module has created through CreateTabDlg. Every call creates its pages
// anew (once for the host's main window, again for each opening of its settings
// dialog); a page lives until its parent destroys it or the module's OnProgramExit
// destroys every page still there, so that no page outlives the code behind it.

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
