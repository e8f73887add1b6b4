// Virtual-key codes, mouse key flags and key states, shaped as the Windows
// ones the editor's key and mouse handlers were written against, and the
// mapping from Qt's keys to them.
#pragma once

#include <Qt>

#include "platform/wintypes.h"

// Virtual keys.  Letters and digits are their upper-case ASCII codes.
inline constexpr UINT VK_BACK = 0x08;
inline constexpr UINT VK_TAB = 0x09;
inline constexpr UINT VK_RETURN = 0x0D;
inline constexpr UINT VK_SHIFT = 0x10;
inline constexpr UINT VK_CONTROL = 0x11;
inline constexpr UINT VK_MENU = 0x12;  // Alt
inline constexpr UINT VK_PAUSE = 0x13;
inline constexpr UINT VK_CAPITAL = 0x14;
inline constexpr UINT VK_ESCAPE = 0x1B;
inline constexpr UINT VK_SPACE = 0x20;
inline constexpr UINT VK_PRIOR = 0x21;  // Page Up
inline constexpr UINT VK_NEXT = 0x22;   // Page Down
inline constexpr UINT VK_END = 0x23;
inline constexpr UINT VK_HOME = 0x24;
inline constexpr UINT VK_LEFT = 0x25;
inline constexpr UINT VK_UP = 0x26;
inline constexpr UINT VK_RIGHT = 0x27;
inline constexpr UINT VK_DOWN = 0x28;
inline constexpr UINT VK_INSERT = 0x2D;
inline constexpr UINT VK_DELETE = 0x2E;
inline constexpr UINT VK_APPS = 0x5D;  // the context-menu key
inline constexpr UINT VK_NUMPAD0 = 0x60;
inline constexpr UINT VK_MULTIPLY = 0x6A;
inline constexpr UINT VK_ADD = 0x6B;
inline constexpr UINT VK_SUBTRACT = 0x6D;
inline constexpr UINT VK_DECIMAL = 0x6E;
inline constexpr UINT VK_DIVIDE = 0x6F;
inline constexpr UINT VK_F1 = 0x70;  // VK_F1 + n - 1 for Fn, up to F24
inline constexpr UINT VK_NUMLOCK = 0x90;
inline constexpr UINT VK_SCROLL = 0x91;
inline constexpr UINT VK_OEM_PLUS = 0xBB;
inline constexpr UINT VK_OEM_COMMA = 0xBC;
inline constexpr UINT VK_OEM_MINUS = 0xBD;
inline constexpr UINT VK_OEM_PERIOD = 0xBE;

// Key flags of the mouse messages.
inline constexpr UINT MK_LBUTTON = 0x0001;
inline constexpr UINT MK_RBUTTON = 0x0002;
inline constexpr UINT MK_SHIFT = 0x0004;
inline constexpr UINT MK_CONTROL = 0x0008;
inline constexpr UINT MK_MBUTTON = 0x0010;

// The virtual key of a Qt key; keypad keys (modifiers with
// Qt::KeypadModifier) map to their VK_NUMPAD/VK_ADD/... codes.  0 for a key
// that has none.
UINT VirtualKeyFromQt(int qtKey, Qt::KeyboardModifiers modifiers);

// The MK_ flags of the buttons and modifiers of a mouse event.
UINT MouseKeyFlags(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers);

// The state of a key: bit 0x8000 set while Shift, Ctrl or Alt is held
// (VK_SHIFT, VK_CONTROL, VK_MENU); bit 1 set while Caps Lock, Num Lock or
// Scroll Lock (VK_CAPITAL, VK_NUMLOCK, VK_SCROLL) is on.  Lock states are
// read from the X server when the application runs on one; elsewhere
// (offscreen, Wayland) they read as off.  Other keys read as 0.  Safe to
// call without an application object (everything reads as 0).
short GetKeyState(UINT virtualKey);
