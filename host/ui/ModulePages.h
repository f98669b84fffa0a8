#pragma once
// Asking the modules for their pages, for the main window and the settings dialog alike:
// each module is first asked how many pages it has (null array), then fills an array of
// exactly that many entries. A module that stores more than it counted writes into a
// guard behind the array, never past it; those extra pages are not used.

#include <common/ModuleCatalogue.h>
#include <common/PluginContract.h>

#include <optional>
#include <vector>

namespace host {
class ModuleTable;
}

namespace host::ui {

struct PageOffer {
    catalogue::Slot slot;
    CreateTabDlgFn create;
    int count; // what the module answered for a null array (more than 0)
};

// The loaded modules that offer pages, in slot order.
std::vector<PageOffer> offerPages(const ModuleTable& modules, PageWindow* parent);
// The offer for one slot (nothing when the module is absent or has no pages).
std::optional<PageOffer> offerPages(const ModuleTable& modules, catalogue::Slot slot,
                                    PageWindow* parent);

// Creates the offered pages; the result has offer.count entries (null where the module
// created none). Pages stored beyond the count are hidden and left to their parent.
std::vector<PageWindow*> createPages(const PageOffer& offer, PageWindow* parent);

} // namespace host::ui
