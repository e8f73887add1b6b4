// Numeric ids of the editor's bitmap resources.  Each bitmap is embedded as
// the Qt resource ":/bitmaps/<id>.bmp" (see BitmapResourcePath).
#pragma once

#include <string>

inline constexpr unsigned IDR_MAINFRAME = 128;  // application icon, menu, document string
inline constexpr unsigned IDB_INTEGER = 150;
inline constexpr unsigned IDB_BOOLEAN = 151;
inline constexpr unsigned IDB_KVSET_OPEN = 153;
inline constexpr unsigned IDB_KVSET_SHUT = 154;
inline constexpr unsigned IDB_KEY = 155;
inline constexpr unsigned IDB_STRING = 157;
inline constexpr unsigned IDB_ARRAY_OPEN = 158;
inline constexpr unsigned IDB_UINT = 159;
inline constexpr unsigned IDB_RANGE = 160;
inline constexpr unsigned IDB_ARRAY_SHUT = 161;
inline constexpr unsigned IDR_TOOLBAR = 162;  // eight 24 x 24 buttons side by side
inline constexpr unsigned IDB_FLOAT = 163;

// The Qt resource path of bitmap id, e.g. ":/bitmaps/150.bmp".
std::string BitmapResourcePath(unsigned id);
