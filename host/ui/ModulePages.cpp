#include "ModulePages.h"

#include "core/ModuleTable.h"

#include <QWidget>

#include <algorithm>

namespace host::ui {

namespace {

// Room behind the array for a module that stores more pages than it counted.
constexpr int GuardEntries = 16;
// More pages than any module could sensibly show: such a count is not trusted.
constexpr int MaximumPages = 64;

} // namespace

std::optional<PageOffer> offerPages(const ModuleTable& modules, catalogue::Slot slot,
                                    PageWindow* parent)
{
    const CreateTabDlgFn create = modules.lookup(slot, contract::CreateTabDlg);
    if (create == nullptr) {
        return std::nullopt;
    }
    const int count = create(parent, nullptr);
    if (count <= 0 || count > MaximumPages) {
        return std::nullopt;
    }
    return PageOffer{slot, create, count};
}

std::vector<PageOffer> offerPages(const ModuleTable& modules, PageWindow* parent)
{
    std::vector<PageOffer> offers;
    for (catalogue::Slot slot : catalogue::SlotOrder) {
        if (std::optional<PageOffer> offer = offerPages(modules, slot, parent)) {
            offers.push_back(*offer);
        }
    }
    return offers;
}

std::vector<PageWindow*> createPages(const PageOffer& offer, PageWindow* parent)
{
    std::vector<PageWindow*> array(static_cast<std::size_t>(offer.count + GuardEntries), nullptr);
    const int created = offer.create(parent, array.data());
    // Only the counted entries are pages; what a module stored past them (or counted
    // wrongly in its answer) is hidden, its parent still owns it.
    const auto kept = static_cast<std::size_t>(std::clamp(created, 0, offer.count));
    for (std::size_t i = kept; i < array.size(); ++i) {
        if (array[i] != nullptr) {
            array[i]->hide();
        }
    }
    array.resize(kept);
    array.resize(static_cast<std::size_t>(offer.count), nullptr);
    return array;
}

} // namespace host::ui
