#pragma once
// The check boxes of the filter pages as a table: each row a box in a titled group, bound
// to one switch of the page's group of the model.

#include "WizardPage.h"

#include <QCheckBox>

#include <cstdint>
#include <span>

namespace wizard::ui {

template <typename Group> struct SwitchRow {
    UINT id;
    int frame; // index into the page's frame titles
    const char* text;
    std::uint32_t Group::*field;
};

namespace switchlayout {
inline constexpr int RowHeight = 13;
inline constexpr int FrameTitle = 14;
inline constexpr int FrameGap = 6;
} // namespace switchlayout

// Lays the frames out one under the other from the top of the page's content, each box
// checked from the model.
template <typename Group>
void addSwitches(pageui::ControlSet& controls, const Group& values,
                 std::span<const char* const> frames, std::span<const SwitchRow<Group>> rows)
{
    using namespace switchlayout;
    int y = WizardPage::ContentTop;
    for (std::size_t frame = 0; frame < frames.size(); ++frame) {
        int count = 0;
        for (const SwitchRow<Group>& row : rows) {
            if (row.frame == static_cast<int>(frame)) {
                const QRect units(30, y + FrameTitle + RowHeight * count++, 370, 10);
                controls.addCheckBox(row.id, row.text, units)->setChecked(values.*row.field != 0);
            }
        }
        const int height = FrameTitle + RowHeight * count;
        controls.addGroup(frames[frame], QRect(14, y, 406, height));
        y += height + FrameGap;
    }
}

// The boxes into the model.
template <typename Group>
void storeSwitches(const pageui::ControlSet& controls, Group& values,
                   std::span<const SwitchRow<Group>> rows)
{
    for (const SwitchRow<Group>& row : rows) {
        values.*row.field = controls.checkBox(row.id)->isChecked() ? 1 : 0;
    }
}

} // namespace wizard::ui
