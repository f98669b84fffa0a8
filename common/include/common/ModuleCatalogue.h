#pragma once
// The suite's plug-in modules in one table: file name, registry subkey, the pages each
// creates in the host and the host commands that show them or ask them for their action.
// The host's module table, the first-run registration, the main window's navigation and
// the settings dialog read it; so will the wizard and the uninstall helper.

#include <common/HostMessages.h>
#include <common/Settings.h>

#include <array>
#include <string_view>

namespace catalogue {

// The host's module slots, in load order.
enum class Slot { Chain = 0, Local = 1, Filters = 2, IEExt = 3 };
inline constexpr std::array<Slot, 4> SlotOrder = {Slot::Chain, Slot::Local, Slot::Filters,
                                                  Slot::IEExt};

struct Module {
    Slot slot;
    const char* fileName;         // the product file in the install folder
    const char* registrationName; // the name the first run loads it by
    const char* key;              // under HKEY_LOCAL_MACHINE; holds PathName
    bool required;                // the host ends when it is registered but cannot be loaded
    int pages;                    // pages its CreateTabDlg gives the main window
};

inline constexpr std::array<Module, 4> Modules = {{
    {Slot::Chain, "Chain.dll", "Chain.dll", settings::ChainKey, true, 1},
    {Slot::Local, "Local.dll", "local.dll", settings::LocalKey, false, 1},
    {Slot::Filters, "Filters.dll", "Filters.dll", settings::FiltersKey, true, 2},
    {Slot::IEExt, "IEExt.dll", "IEExt.dll", settings::IEExtKey, false, 1},
}};

constexpr const Module& module(Slot slot)
{
    return Modules[static_cast<std::size_t>(slot)];
}

// The module with this file name (any case), or null.
const Module* moduleByFileName(std::string_view fileName);

// The first run registers the modules in one order and rewrites their paths in another.
inline constexpr std::array<Slot, 4> RegistrationOrder = {Slot::Local, Slot::IEExt, Slot::Filters,
                                                          Slot::Chain};
inline constexpr std::array<Slot, 4> PathRewriteOrder = {Slot::Filters, Slot::IEExt, Slot::Local,
                                                         Slot::Chain};

// The module pages of the main window, in the order Apply visits them.
enum class Page { Chain = 0, Request = 1, Response = 2, Local = 3, IEExt = 4 };

struct HostPage {
    Page page;
    Slot slot;          // the module that creates it
    int index;          // its place in that module's page array
    UINT showCommand;   // the navigation entry that shows it
    UINT actionCommand; // the main window command that sends it 1124 (0: none)
};

inline constexpr std::array<HostPage, 5> HostPages = {{
    {Page::Chain, Slot::Chain, 0, cmd::ShowChainPage, cmd::ChainPageAction},
    {Page::Request, Slot::Filters, 0, cmd::ShowRequestPage, cmd::RequestPageAction},
    {Page::Response, Slot::Filters, 1, cmd::ShowResponsePage, cmd::ResponsePageAction},
    {Page::Local, Slot::Local, 0, cmd::ShowLocalPage, cmd::LocalPageAction},
    {Page::IEExt, Slot::IEExt, 0, cmd::ShowIEExtPage, 0},
}};

constexpr const HostPage& hostPage(Page page)
{
    return HostPages[static_cast<std::size_t>(page)];
}

// The entries of the navigation's proxy-settings group, top to bottom.
inline constexpr std::array<Page, 5> NavigationOrder = {Page::Chain, Page::Response, Page::Request,
                                                        Page::Local, Page::IEExt};

} // namespace catalogue
