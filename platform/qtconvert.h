// Conversions between the platform's plain value types and Qt's.
// Texts are 8-bit: UTF-8 when they are valid UTF-8, else Latin-1 (so that
// any byte string shows as something and survives a round trip).
#pragma once

#include <QColor>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

#include "platform/cstring.h"
#include "platform/geometry.h"
#include "platform/wintypes.h"

QString ToQString(const char* text, int length = -1);
inline QString ToQString(const CString& text) { return ToQString(text.GetString(), text.GetLength()); }
// UTF-8.
CString FromQString(const QString& text);

inline QColor ToQColor(COLORREF c) {
  return QColor(static_cast<int>(GetRValue(c)), static_cast<int>(GetGValue(c)), static_cast<int>(GetBValue(c)));
}
inline COLORREF FromQColor(const QColor& c) {
  return RGB(static_cast<unsigned>(c.red()), static_cast<unsigned>(c.green()), static_cast<unsigned>(c.blue()));
}

// CRect's right and bottom are exclusive, as are QRect's width and height.
inline QRect ToQRect(const CRect& r) { return QRect(r.left, r.top, r.Width(), r.Height()); }
inline CRect FromQRect(const QRect& r) { return RectFromSize(r.x(), r.y(), r.width(), r.height()); }
inline QPoint ToQPoint(CPoint p) { return QPoint(p.x, p.y); }
inline CPoint FromQPoint(const QPoint& p) { return CPoint(p.x(), p.y()); }
inline CSize FromQSize(const QSize& s) { return CSize(s.width(), s.height()); }
