#include "platform/clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <cctype>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/qtconvert.h"

namespace {

constexpr UINT kFirstRegistered = 0xC000;
constexpr UINT kLastRegistered = 0xFFFF;
constexpr size_t kMaxNameLength = 255;

struct Registry {
  std::mutex mutex;
  std::map<std::string, UINT> byKey;  // lower-case name -> number
  std::vector<std::string> mimeTypes;  // index: number - kFirstRegistered
};

Registry& Formats() {
  static Registry registry;
  return registry;
}

// On Windows a registered format keeps its own name, so that programs that
// register the same name there read the same data.
std::string MimeTypeFor(const std::string& name, const std::string& lowerName) {
#ifdef Q_OS_WIN
  (void)lowerName;
  return "application/x-qt-windows-mime;value=\"" + name + "\"";
#else
  (void)name;
  std::string mime = "application/x-";
  for (char c : lowerName) {
    if (c == ' ') {
      mime += '-';
    } else if (std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '+' || c == '_') {
      mime += c;
    } else {
      // Keep other characters distinguishable but valid in a MIME type.
      static const char hex[] = "0123456789abcdef";
      mime += '_';
      mime += hex[(static_cast<unsigned char>(c) >> 4) & 0xF];
      mime += hex[static_cast<unsigned char>(c) & 0xF];
    }
  }
  return mime;
#endif
}

// Beside plain text, the bytes it was decoded from, so that text copied
// and pasted back unchanged keeps its bytes (a Latin-1 text stays Latin-1).
const QString kTextBytesMime = QStringLiteral("application/x-quelt-text-bytes");

QClipboard* Board() {
  if (QGuiApplication::instance() == nullptr) return nullptr;
  return QGuiApplication::clipboard();
}

}  // namespace

UINT RegisterClipboardFormatA(const char* name) {
  if (name == nullptr || *name == '\0') return 0;
  const std::string given(name);
  std::string key(given);
  if (key.size() > kMaxNameLength) return 0;
  for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  Registry& r = Formats();
  std::lock_guard<std::mutex> lock(r.mutex);
  const auto it = r.byKey.find(key);
  if (it != r.byKey.end()) return it->second;
  if (r.mimeTypes.size() > kLastRegistered - kFirstRegistered) return 0;
  const UINT number = kFirstRegistered + static_cast<UINT>(r.mimeTypes.size());
  r.mimeTypes.push_back(MimeTypeFor(given, key));
  r.byKey.emplace(key, number);
  return number;
}

CString ClipboardFormatMimeType(UINT format) {
  if (format == CF_TEXT) return CString("text/plain");
  if (format < kFirstRegistered) return CString();
  Registry& r = Formats();
  std::lock_guard<std::mutex> lock(r.mutex);
  const size_t index = format - kFirstRegistered;
  return index < r.mimeTypes.size() ? CString(r.mimeTypes[index]) : CString();
}

bool ClipboardSetText(UINT format, const CString& text) {
  const CString mime = ClipboardFormatMimeType(format);
  QClipboard* board = Board();
  if (mime.IsEmpty() || board == nullptr) return false;
  auto* data = new QMimeData;
  data->setText(ToQString(text));
  if (format == CF_TEXT) data->setData(kTextBytesMime, QByteArray(text.GetString(), text.GetLength()));
  if (format != CF_TEXT) data->setData(ToQString(mime), QByteArray(text.GetString(), text.GetLength()));
  board->setMimeData(data);  // the clipboard owns it now
  return true;
}

bool ClipboardHasFormat(UINT format) {
  const CString mime = ClipboardFormatMimeType(format);
  QClipboard* board = Board();
  if (mime.IsEmpty() || board == nullptr) return false;
  const QMimeData* data = board->mimeData();
  return data != nullptr && data->hasFormat(ToQString(mime));
}

bool ClipboardGetText(UINT format, CString* text, size_t limit) {
  if (text == nullptr) return false;
  const CString mime = ClipboardFormatMimeType(format);
  QClipboard* board = Board();
  if (mime.IsEmpty() || board == nullptr) return false;
  const QMimeData* data = board->mimeData();
  if (data == nullptr || !data->hasFormat(ToQString(mime))) return false;
  QByteArray bytes;
  if (format == CF_TEXT) {
    // Text another program put there is UTF-8; ours keeps its own bytes
    // unless something replaced the text since.
    const QString shown = data->text();
    const QByteArray kept = data->data(kTextBytesMime);
    CString original(kept.constData(), static_cast<int>(kept.size()));
    const CString encoded =
        data->hasFormat(kTextBytesMime) && shown == ToQString(original) ? original : FromQString(shown);
    bytes = QByteArray(encoded.GetString(), encoded.GetLength());
  } else {
    bytes = data->data(ToQString(mime));
  }
  if (static_cast<size_t>(bytes.size()) > limit) return false;
  const qsizetype zero = bytes.indexOf('\0');
  if (zero >= 0) bytes.truncate(zero);
  *text = CString(bytes.constData(), static_cast<int>(bytes.size()));
  return true;
}
