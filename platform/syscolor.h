// System colours by the index the editor asks for, taken from the
// application's palette; the classic defaults when there is no application.
#pragma once

#include "platform/wintypes.h"

inline constexpr int COLOR_WINDOW = 5;
inline constexpr int COLOR_WINDOWTEXT = 8;
inline constexpr int COLOR_HIGHLIGHT = 13;
inline constexpr int COLOR_HIGHLIGHTTEXT = 14;
inline constexpr int COLOR_BTNFACE = 15;
inline constexpr int COLOR_GRAYTEXT = 17;
inline constexpr int COLOR_BTNTEXT = 18;

// The colour as 0x00BBGGRR; black for an unknown index.
COLORREF GetSysColor(int index);
