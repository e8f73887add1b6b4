#include "platform/resourcefile.h"

#include <QFile>
#include <QString>

#include "resources/resourceids.h"

bool ReadBitmapResource(unsigned id, size_t maxBytes, std::vector<unsigned char>* bytes) {
  bytes->clear();
  QFile file(QString::fromStdString(BitmapResourcePath(id)));
  if (!file.open(QIODevice::ReadOnly)) return false;
  if (file.size() < 0 || static_cast<unsigned long long>(file.size()) > maxBytes) return false;
  bytes->resize(static_cast<size_t>(file.size()));
  const qint64 read = bytes->empty() ? 0 : file.read(reinterpret_cast<char*>(bytes->data()), file.size());
  if (read != file.size() || !file.atEnd()) {
    bytes->clear();
    return false;
  }
  return true;
}
