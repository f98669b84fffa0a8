#pragma once
// Building blocks of the modules that the main-window tests load. Every call the host
// makes is appended to $UMBRAVIA_PREFIX/mw.log ("Chain SetMainWindow", "Listfetch
// NetUpdate 1", ...). The pages come from the test itself: it hands each module a page
// factory through MwSetPageFactory, so that the modules need no widget library.

#include "TableModule.h"

#include <cstdio>
#include <cstdlib>
#include <string>

using MwPageFactory = PageWindow* (*)(PageWindow* parent, const char* name);

inline void mwLog(const std::string& line)
{
    const char* prefix = std::getenv("UMBRAVIA_PREFIX");
    if (prefix == nullptr) {
        return;
    }
    const std::string path = std::string(prefix) + "/mw.log";
    if (std::FILE* f = std::fopen(path.c_str(), "a")) {
        std::fprintf(f, "%s\n", line.c_str());
        std::fclose(f);
    }
}

inline MwPageFactory g_mwPageFactory = nullptr;

// SetMainWindow, MwSetPageFactory and a CreateTabDlg that asks the factory for the
// named pages (null entries stay null).
#define MW_MODULE_PAGES(NAME, PAGE1, PAGE2)                                                        \
    UMBRAVIA_EXPORT void SetMainWindow(HWND) noexcept                                              \
    {                                                                                              \
        mwLog(NAME " SetMainWindow");                                                              \
    }                                                                                              \
    UMBRAVIA_EXPORT void MwSetPageFactory(MwPageFactory factory) noexcept                          \
    {                                                                                              \
        g_mwPageFactory = factory;                                                                 \
    }                                                                                              \
    UMBRAVIA_EXPORT int CreateTabDlg(PageWindow* parent, PageWindow** pages) noexcept              \
    {                                                                                              \
        mwLog(NAME " CreateTabDlg");                                                               \
        const char* names[] = {PAGE1, PAGE2};                                                      \
        for (int i = 0; i < 2; ++i) {                                                              \
            if (names[i] != nullptr && g_mwPageFactory != nullptr) {                               \
                pages[i] = g_mwPageFactory(parent, names[i]);                                      \
            }                                                                                      \
        }                                                                                          \
        return 1;                                                                                  \
    }
