#include "platform/resourcefile.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include <algorithm>

#include "resources/resourceids.h"

namespace {

// Reads the resource at path (":/...") into bytes, a container of bytes.
template <typename Bytes>
bool ReadWhole(const QString& path, size_t maxBytes, Bytes* bytes) {
  bytes->clear();
  if (!QFileInfo(path).isFile()) return false;  // a folder opens too
  QFile file(path);
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

}  // namespace

bool ReadBitmapResource(unsigned id, size_t maxBytes, std::vector<unsigned char>* bytes) {
  return ReadWhole(QString::fromStdString(BitmapResourcePath(id)), maxBytes, bytes);
}

std::vector<std::string> ListResourceFolder(const std::string& folder) {
  std::vector<std::string> files;
  if (folder.empty()) return files;
  const QString root = QStringLiteral(":/") + QString::fromStdString(folder);
  QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
  while (it.hasNext()) files.push_back(it.next().mid(root.size() + 1).toStdString());
  std::sort(files.begin(), files.end());
  return files;
}

bool ReadResourceFile(const std::string& path, size_t maxBytes, std::string* bytes) {
  if (path.empty()) {
    bytes->clear();
    return false;
  }
  return ReadWhole(QStringLiteral(":/") + QString::fromStdString(path), maxBytes, bytes);
}
