// Conversions between the platform's plain value types and Qt's.
// Texts are 8-bit: UTF-8 when they are valid UTF-8, else Latin-1 (so that
// any byte string shows as something and survives a round trip).  A text
// the user did not change goes back as the bytes it came from; a changed
// one is encoded the way its bytes were decoded (see docs/text.md).
#pragma once

#include <QColor>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

#include "platform/cstring.h"
#include "platform/geometry.h"
#include "platform/textbytes.h"
#include "platform/wintypes.h"

class QObject;

// Decodes as EncodingOf says.  A leading byte-order mark stays a character.
QString ToQString(const char* text, int length = -1);
inline QString ToQString(const CString& text) { return ToQString(text.GetString(), text.GetLength()); }
// UTF-8: for texts that never were bytes (the editor's own texts, a text
// read from another program).
CString FromQString(const QString& text);
// Encodes in the given encoding; false (and *bytes untouched) when a
// character does not exist in it.  Nothing is ever replaced.
bool EncodeText(const QString& text, TextEncoding encoding, CString* bytes);

// The bytes for a text shown in place of original: original itself when the
// text is unchanged, else the text encoded as original was decoded.  False
// when a character of the changed text does not exist in that encoding.
bool BytesForText(const QString& text, const CString& original, CString* bytes);

// A control's text remembers the bytes it was set from, so that reading
// it back gives those bytes when the user did not change it.
void RememberTextBytes(QObject* control, const CString& bytes);
// The bytes of text shown in the control, as BytesForText gives them
// against the remembered bytes (UTF-8 when there are none).
bool ControlTextBytes(const QObject* control, const QString& text, CString* bytes);

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
