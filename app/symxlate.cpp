#include "app/symxlate.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "app/misc.h"
#include "app/queltview.h"
#include "common/multises.h"
#include "resources/stringids.h"
#include "s100/cterrors.h"
#include "s100/deif.h"

namespace {

// One side of a translation: its server, and what went wrong on it.
struct Side {
  const char* server;
  bool unreachable = false;
  bool cancelled = false;
};

// GenrTranslator on one side's server, noting failures that mean the
// server's table could not be asked (rather than that it lacks a name).
QV_Status Through(uint32_t* symbol, char** text, int32_t direction, void* context) {
  auto* side = static_cast<Side*>(context);
  // Once the server could not be asked, every further symbol fails at once
  // rather than waiting on the server again.
  if (side->unreachable || side->cancelled) return QV_CreateStatus(QV_STATE_FAILURE, IDS_ADM_COULD_NOT_CONNECT, 0);
  const QV_Status status = GenrTranslator(symbol, text, direction, const_cast<char*>(side->server));
  if (status.state != QV_STATE_SUCCESS) {
    MultiAdminSession* session = CQueltView::AppSession();
    if (session != nullptr && session->Cancelled())
      side->cancelled = true;
    else if (status.error == IDS_ADM_COULD_NOT_CONNECT)
      side->unreachable = true;
  }
  return status;
}

// The set as exact text; symbols by number when `side` is null.
bool Write(CTkvs set, Side* side, std::string* out) {
  QV_RawDataElement element{};
  element.type = CT_TYPE_KVSET;
  element.value.kvs = set;
  char* text = nullptr;
  const QV_Status status = side != nullptr ? DEtoA(&element, &text, &Through, side) : DEtoA(&element, &text, nullptr, nullptr);
  const bool ok = status == QV_OK && text != nullptr;
  if (ok) out->assign(text);
  std::free(text);
  return ok;
}

}  // namespace

UINT TranslateProfileSymbols(const CString& from, const CString& to, CTkvs set) {
  Side source{from.GetString()};
  std::string text;
  const bool written = Write(set, &source, &text);
  if (source.cancelled) return kTranslationCancelled;
  // Unnamed symbols would be written by number, meaning other names on the
  // target: without the source's table nothing is translated.
  if (source.unreachable) return IDS_ADM_COULD_NOT_CONNECT;
  if (!written) return IDS_RENDER_FAILED;

  Side target{to.GetString()};
  QV_RawDataElement element{};
  const QV_Status status = AtoAnyDEn(text.data(), text.size(), nullptr, &element, &Through, &target);
  if (status.state != QV_STATE_SUCCESS || element.type != CT_TYPE_KVSET) {
    QV_DestroyDataElement(&element);
    if (target.cancelled) return kTranslationCancelled;
    if (target.unreachable) return IDS_ADM_COULD_NOT_CONNECT;
    return status.error == ct::kErrTextUnknownName ? IDS_STORE_UNKNOWN_SYMBOL : IDS_RENDER_FAILED;
  }
  uint32_t err = 0;
  CTkvs_Clear(set, &err);
  const bool copied = CTkvs_Copy(set, element.value.kvs, &err) == 1;
  QV_DestroyDataElement(&element);
  return copied ? 0 : IDS_NO_MEMORY;
}

bool SameProfileContent(CTkvs a, CTkvs b) {
  std::string ta, tb;
  return Write(a, nullptr, &ta) && Write(b, nullptr, &tb) && ta == tb;
}
