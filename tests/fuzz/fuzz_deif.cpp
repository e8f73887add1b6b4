// Fuzzes AtoAnyDE.  Any input must fail cleanly (element left empty, no
// container left behind) or read into an element that DEtoA writes and
// AtoAnyDE reads back to the same element.  A broken promise aborts, so
// libFuzzer keeps the input.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "s100/cterrors.h"
#include "s100/ctstore.h"
#include "s100/deif.h"
#include "tests/fuzz/deif_fuzz_translator.h"
#include "tests/s100/deif_compare.h"

namespace {

[[noreturn]] void Broken(const char* what, const std::string& detail = std::string()) {
  std::fprintf(stderr, "fuzz_deif: %s %s\n", what, detail.c_str());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const size_t before = ct::store::LiveHandles();
  deif_test::FuzzNames names;
  const char* text = reinterpret_cast<const char*>(data);

  QV_RawDataElement e;
  size_t stop = 0;
  QV_Status st = AtoAnyDEn(text, size, &stop, &e, deif_test::FuzzNames::Translate, &names);
  if (stop > size) Broken("stop past the end");
  if (st != QV_OK) {
    if (st.state != QV_STATE_FAILURE || st.error < ct::kErrTextSyntax) {
      if (st.error != ct::kErrNoMemory) Broken("unexpected failure code");
    }
    if (e.type != CT_TYPE_NONE) Broken("failed read left an element");
    if (ct::store::LiveHandles() != before) Broken("failed read left containers");
    return 0;
  }
  if (stop != size) Broken("success short of the end");

  char* written = nullptr;
  st = DEtoA(&e, &written, deif_test::FuzzNames::Translate, &names);
  if (st != QV_OK) {
    // Escapes can make the text longer than what was read.
    if (st.error != ct::kErrTextTooLarge) Broken("DEtoA failed on a read element");
  } else {
    QV_RawDataElement back;
    st = AtoAnyDE(written, nullptr, &back, deif_test::FuzzNames::Translate, &names);
    if (st != QV_OK) Broken("written text does not read", written);
    std::string why;
    if (!deif_test::SameElement(e, back, &why)) Broken("round trip changed the element:", why);
    QV_DestroyDataElement(&back);
    std::free(written);
  }
  QV_DestroyDataElement(&e);
  if (ct::store::LiveHandles() != before) Broken("containers leaked");
  return 0;
}
