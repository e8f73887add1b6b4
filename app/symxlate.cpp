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
#include "s100/deif_translate.h"

namespace {

// One side of a translation: the look-ups on its server, and what went
// wrong on it.
class Side {
 public:
  explicit Side(const char* server) : server_(ServerSymbolLookups(session_, server, &failure_)) {
    lookups.toName = [this](uint32_t symbol, std::string* name) {
      return Ask([&] { return server_.toName(symbol, name); });
    };
    lookups.toSymbol = [this](const char* name, uint32_t* symbol) {
      return Ask([&] { return server_.toSymbol(name, symbol); });
    };
  }
  Side(const Side&) = delete;
  Side& operator=(const Side&) = delete;

  SymbolLookups lookups;
  bool unreachable = false;
  bool cancelled = false;

 private:
  // One look-up, noting failures that mean the server's table could not be
  // asked (rather than that it lacks a name).  Once the server could not be
  // asked, every further symbol fails at once rather than waiting on the
  // server again.
  template <class Lookup>
  bool Ask(const Lookup& lookup) {
    if (unreachable || cancelled) return false;
    failure_ = 0;
    if (lookup()) return true;
    if (session_ != nullptr && session_->Cancelled())
      cancelled = true;
    else if (failure_ == IDS_ADM_COULD_NOT_CONNECT)
      unreachable = true;
    return false;
  }

  MultiAdminSession* session_ = CQueltView::AppSession();
  uint32_t failure_ = 0;
  SymbolLookups server_;
};

// The set as exact text; symbols by number when `side` is null.
bool Write(CTkvs set, Side* side, std::string* out) {
  QV_RawDataElement element{};
  element.type = CT_TYPE_KVSET;
  element.value.kvs = set;
  char* text = nullptr;
  const QV_Status status = side != nullptr ? DEtoA(&element, &text, &TranslateSymbols, &side->lookups) : DEtoA(&element, &text, nullptr, nullptr);
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
  const QV_Status status = AtoAnyDEn(text.data(), text.size(), nullptr, &element, &TranslateSymbols, &target.lookups);
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
