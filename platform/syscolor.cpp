#include "platform/syscolor.h"

#include <QGuiApplication>
#include <QPalette>

#include "platform/qtconvert.h"

namespace {

bool RoleOf(int index, QPalette::ColorGroup* group, QPalette::ColorRole* role, COLORREF* fallback) {
  *group = QPalette::Active;
  switch (index) {
    case COLOR_WINDOW:
      *role = QPalette::Base;
      *fallback = RGB(255, 255, 255);
      return true;
    case COLOR_WINDOWTEXT:
      *role = QPalette::Text;
      *fallback = RGB(0, 0, 0);
      return true;
    case COLOR_HIGHLIGHT:
      *role = QPalette::Highlight;
      *fallback = RGB(0, 0, 128);
      return true;
    case COLOR_HIGHLIGHTTEXT:
      *role = QPalette::HighlightedText;
      *fallback = RGB(255, 255, 255);
      return true;
    case COLOR_BTNFACE:
      *role = QPalette::Button;
      *fallback = RGB(192, 192, 192);
      return true;
    case COLOR_GRAYTEXT:
      *group = QPalette::Disabled;
      *role = QPalette::Text;
      *fallback = RGB(128, 128, 128);
      return true;
    case COLOR_BTNTEXT:
      *role = QPalette::ButtonText;
      *fallback = RGB(0, 0, 0);
      return true;
    default:
      return false;
  }
}

}  // namespace

COLORREF GetSysColor(int index) {
  QPalette::ColorGroup group;
  QPalette::ColorRole role;
  COLORREF fallback = 0;
  if (!RoleOf(index, &group, &role, &fallback)) return RGB(0, 0, 0);
  if (QGuiApplication::instance() == nullptr) return fallback;
  return FromQColor(QGuiApplication::palette().color(group, role));
}
