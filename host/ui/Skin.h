#pragma once
// Where things sit on the main window's background picture (res/back2.bmp, 640 x 440):
// the header with the caption buttons, the navigation column and the white page card.

#include <common/ui/SettingsPage.h>

#include <QPoint>
#include <QRect>
#include <QSize>

namespace host::ui::skin {

inline constexpr QSize WindowSize{640, 440};
// Navigation column: buttons 6 px from the left and from 57 px down, one above the other.
inline constexpr QPoint NavigationOrigin{6, 57};
inline constexpr QSize NavigationButton{138, 30};
inline constexpr QSize NavigationSubButton{138, 24};
// The page area on the right (the white card of the background).
inline constexpr QRect PageArea{QPoint{160, 61}, pageui::PageSize};
// Header and footer buttons.
inline constexpr QPoint MinimiseButton{584, 15};
inline constexpr QPoint CloseButton{610, 15};
inline constexpr QSize CaptionButton{22, 22};
inline constexpr QPoint ApplyButton{536, 406};
inline constexpr QSize PushButton{96, 28};

} // namespace host::ui::skin
