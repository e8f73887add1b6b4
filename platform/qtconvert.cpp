#include "platform/qtconvert.h"

#include <QByteArray>
#include <QStringDecoder>
#include <cstring>

QString ToQString(const char* text, int length) {
  if (text == nullptr) return QString();
  const qsizetype n = length < 0 ? static_cast<qsizetype>(std::strlen(text)) : length;
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString decoded = utf8.decode(QByteArrayView(text, n));
  if (!utf8.hasError()) return decoded;
  return QString::fromLatin1(text, n);
}

CString FromQString(const QString& text) {
  const QByteArray bytes = text.toUtf8();
  return CString(bytes.constData(), static_cast<int>(bytes.size()));
}
