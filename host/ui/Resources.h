#pragma once
// The host loads its pictures through the suite's shared resource folder.

#include <common/ui/Resources.h>

namespace host::ui {
using pageui::Resources;
} // namespace host::ui
