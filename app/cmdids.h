// Command ids of the editor's own menu items (the framework's ids, such as
// ID_FILE_NEW, are in the platform layer).
#pragma once

#include "platform/wintypes.h"

inline constexpr UINT ID_EDIT_PROPERTIES = 32772;
inline constexpr UINT ID_EDIT_DELETE = 32773;
inline constexpr UINT ID_ADD_INTEGER = 32774;
inline constexpr UINT ID_ADD_UINT = 32775;
inline constexpr UINT ID_ADD_BOOLEAN = 32776;
inline constexpr UINT ID_ADD_SYMBOL = 32777;
inline constexpr UINT ID_ADD_STRING = 32778;
inline constexpr UINT ID_ADD_IRANGE = 32779;
inline constexpr UINT ID_ADD_ARRAY = 32780;
inline constexpr UINT ID_ADD_KVSET = 32781;
inline constexpr UINT ID_VIEW_ZOOM = 32782;
inline constexpr UINT ID_ADD_FLOAT = 32783;
inline constexpr UINT ID_ADD_FRANGE = 32784;
inline constexpr UINT ID_FIND_NEXT = 32787;
inline constexpr UINT ID_HELP_SEARCHFORHELPON = 32808;
inline constexpr UINT ID_HELP_HOWTOUSEHELP = 32809;
inline constexpr UINT ID_HELP_CONTENTS = 32810;
inline constexpr UINT ID_EDIT_COPY = 57634;
inline constexpr UINT ID_EDIT_CUT = 57635;
inline constexpr UINT ID_EDIT_FIND = 57636;
inline constexpr UINT ID_EDIT_PASTE = 57637;
inline constexpr UINT ID_EDIT_UNDO = 57643;
inline constexpr UINT ID_EDIT_REDO = 57644;
inline constexpr UINT ID_PROFILE_IMPORT = 32900;
inline constexpr UINT ID_PROFILE_EXPORT = 32901;
inline constexpr UINT ID_PROFILE_HISTORY = 32902;
inline constexpr UINT ID_VIEW_EXPANDALL = 32903;
inline constexpr UINT ID_VIEW_COLLAPSEALL = 32904;
inline constexpr UINT ID_FIND_PREVIOUS = 32905;
inline constexpr UINT ID_COMPARE_SERVER = 32906;
inline constexpr UINT ID_COMPARE_NEXT = 32907;
inline constexpr UINT ID_COMPARE_PREVIOUS = 32908;
inline constexpr UINT ID_COMPARE_TAKE_OTHER = 32909;
inline constexpr UINT ID_COMPARE_END = 32910;
inline constexpr UINT ID_COMPARE_OTHER_SERVER = 32911;
inline constexpr UINT ID_COMPARE_FILE = 32912;
inline constexpr UINT ID_COMPARE_REVISION = 32913;
// Conflicts after a merge with the server's changes.
inline constexpr UINT ID_COMPARE_KEEP_MINE = 32920;
