#include "platform/qtconvert.h"

#include <QByteArray>
#include <QObject>
#include <QStringDecoder>
#include <QVariant>
#include <cstring>

namespace {

// The property under which a control keeps the bytes of its text.
constexpr const char* kBytesProperty = "_quelt_text_bytes";

}  // namespace

QString ToQString(const char* text, int length) {
  if (text == nullptr) return QString();
  const qsizetype n = length < 0 ? static_cast<qsizetype>(std::strlen(text)) : length;
  // The same check that EncodingOf makes, so that a text decodes exactly as
  // its encoding is reported.
  if (IsUtf8(text, static_cast<size_t>(n))) {
    // A leading byte-order mark is part of the text; fromUtf8 would drop it.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    return utf8.decode(QByteArrayView(text, n));
  }
  return QString::fromLatin1(text, n);
}

CString FromQString(const QString& text) {
  const QByteArray bytes = text.toUtf8();
  return CString(bytes.constData(), static_cast<int>(bytes.size()));
}

bool EncodeText(const QString& text, TextEncoding encoding, CString* bytes) {
  if (bytes == nullptr) return false;
  if (encoding == TextEncoding::Utf8) {
    // A lone surrogate cannot be written as UTF-8; toUtf8 would replace it.
    for (qsizetype i = 0; i < text.size(); ++i) {
      const QChar c = text.at(i);
      if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
        ++i;
      } else if (c.isSurrogate()) {
        return false;
      }
    }
    *bytes = FromQString(text);
    return true;
  }
  std::string out;
  out.reserve(static_cast<size_t>(text.size()));
  for (const QChar c : text) {
    if (c.unicode() > 0xFF) return false;
    out.push_back(static_cast<char>(c.unicode()));
  }
  *bytes = CString(out);
  return true;
}

bool BytesForText(const QString& text, const CString& original, CString* bytes) {
  if (bytes == nullptr) return false;
  if (text == ToQString(original)) {
    *bytes = original;
    return true;
  }
  return EncodeText(text, EncodingOf(original), bytes);
}

void RememberTextBytes(QObject* control, const CString& bytes) {
  if (control == nullptr) return;
  control->setProperty(kBytesProperty, QByteArray(bytes.GetString(), bytes.GetLength()));
}

bool ControlTextBytes(const QObject* control, const QString& text, CString* bytes) {
  CString original;
  if (control != nullptr) {
    const QVariant kept = control->property(kBytesProperty);
    if (kept.isValid()) {
      const QByteArray b = kept.toByteArray();
      original = CString(b.constData(), static_cast<int>(b.size()));
    }
  }
  return BytesForText(text, original, bytes);
}
