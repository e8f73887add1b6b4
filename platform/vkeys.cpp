#include "platform/vkeys.h"

#include <QGuiApplication>

#if __has_include(<QtGui/qguiapplication_platform.h>)
#include <QtGui/qguiapplication_platform.h>
#endif

#if QT_CONFIG(xcb)
#include <X11/XKBlib.h>
#endif

UINT VirtualKeyFromQt(int qtKey, Qt::KeyboardModifiers modifiers) {
  const bool keypad = modifiers.testFlag(Qt::KeypadModifier);
  if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) return static_cast<UINT>(qtKey);  // same codes as ASCII
  if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
    return keypad ? VK_NUMPAD0 + static_cast<UINT>(qtKey - Qt::Key_0) : static_cast<UINT>(qtKey);
  if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) return VK_F1 + static_cast<UINT>(qtKey - Qt::Key_F1);
  switch (qtKey) {
    case Qt::Key_Backspace:
      return VK_BACK;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      return VK_TAB;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return VK_RETURN;
    case Qt::Key_Shift:
      return VK_SHIFT;
    case Qt::Key_Control:
      return VK_CONTROL;
    case Qt::Key_Alt:
      return VK_MENU;
    case Qt::Key_Pause:
      return VK_PAUSE;
    case Qt::Key_CapsLock:
      return VK_CAPITAL;
    case Qt::Key_Escape:
      return VK_ESCAPE;
    case Qt::Key_Space:
      return VK_SPACE;
    case Qt::Key_PageUp:
      return VK_PRIOR;
    case Qt::Key_PageDown:
      return VK_NEXT;
    case Qt::Key_End:
      return VK_END;
    case Qt::Key_Home:
      return VK_HOME;
    case Qt::Key_Left:
      return VK_LEFT;
    case Qt::Key_Up:
      return VK_UP;
    case Qt::Key_Right:
      return VK_RIGHT;
    case Qt::Key_Down:
      return VK_DOWN;
    case Qt::Key_Insert:
      return VK_INSERT;
    case Qt::Key_Delete:
      return VK_DELETE;
    case Qt::Key_Menu:
      return VK_APPS;
    case Qt::Key_NumLock:
      return VK_NUMLOCK;
    case Qt::Key_ScrollLock:
      return VK_SCROLL;
    case Qt::Key_Asterisk:
      return keypad ? VK_MULTIPLY : static_cast<UINT>('8');  // Shift+8 on the main block
    case Qt::Key_Plus:
      return keypad ? VK_ADD : VK_OEM_PLUS;
    case Qt::Key_Minus:
      return keypad ? VK_SUBTRACT : VK_OEM_MINUS;
    case Qt::Key_Slash:
      return keypad ? VK_DIVIDE : 0xBF;  // VK_OEM_2
    case Qt::Key_Period:
      return keypad ? VK_DECIMAL : VK_OEM_PERIOD;
    case Qt::Key_Comma:
      return VK_OEM_COMMA;
    case Qt::Key_Equal:
      return VK_OEM_PLUS;  // the key that carries '=' and '+'
    default:
      return 0;
  }
}

UINT MouseKeyFlags(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers) {
  UINT flags = 0;
  if (buttons.testFlag(Qt::LeftButton)) flags |= MK_LBUTTON;
  if (buttons.testFlag(Qt::RightButton)) flags |= MK_RBUTTON;
  if (buttons.testFlag(Qt::MiddleButton)) flags |= MK_MBUTTON;
  if (modifiers.testFlag(Qt::ShiftModifier)) flags |= MK_SHIFT;
  if (modifiers.testFlag(Qt::ControlModifier)) flags |= MK_CONTROL;
  return flags;
}

namespace {

// Whether the named lock indicator is lit on the X server the application
// runs on; false when it does not run on one.
bool LockLit(UINT virtualKey) {
#if QT_CONFIG(xcb)
  auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
  if (app == nullptr || QGuiApplication::platformName() != QLatin1String("xcb")) return false;
  auto* x11 = app->nativeInterface<QNativeInterface::QX11Application>();
  Display* display = x11 != nullptr ? x11->display() : nullptr;
  if (display == nullptr) return false;
  const char* name = virtualKey == VK_CAPITAL ? "Caps Lock" : virtualKey == VK_NUMLOCK ? "Num Lock" : "Scroll Lock";
  const Atom atom = XInternAtom(display, name, True);
  if (atom == None) return false;
  Bool on = False;
  if (!XkbGetNamedIndicator(display, atom, nullptr, &on, nullptr, nullptr)) return false;
  return on == True;
#else
  (void)virtualKey;
  return false;
#endif
}

}  // namespace

short GetKeyState(UINT virtualKey) {
  constexpr short kDown = static_cast<short>(0x8000);
  if (QCoreApplication::instance() == nullptr) return 0;
  switch (virtualKey) {
    case VK_SHIFT:
    case VK_CONTROL:
    case VK_MENU: {
      if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) return 0;
      const Qt::KeyboardModifiers held = QGuiApplication::queryKeyboardModifiers();
      const Qt::KeyboardModifier wanted = virtualKey == VK_SHIFT     ? Qt::ShiftModifier
                                          : virtualKey == VK_CONTROL ? Qt::ControlModifier
                                                                     : Qt::AltModifier;
      return held.testFlag(wanted) ? kDown : 0;
    }
    case VK_CAPITAL:
    case VK_NUMLOCK:
    case VK_SCROLL:
      return LockLit(virtualKey) ? 1 : 0;
    default:
      return 0;
  }
}
