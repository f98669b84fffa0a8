#pragma once
// The host draws its buttons with the suite's shared bitmap button.

#include <common/ui/BitmapButton.h>

namespace host::ui {
using pageui::BitmapButton;
} // namespace host::ui
