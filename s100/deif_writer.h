// Writes one data element as text (the DEtoA side of the data-element text).
#pragma once

#include <cstdint>

#include <vector>

#include "s100/ctbulk.h"
#include "s100/ctcontainers.h"
#include "s100/deif.h"
#include "s100/deif_buffer.h"
#include "s100/deif_symcache.h"

namespace deif {

class Writer {
 public:
  Writer(QV_SymbolTranslator translator, void* context);

  // Writes the element; on failure Error() tells why.
  bool Write(const QV_RawDataElement& element);
  uint32_t Error() const { return error_; }
  // The written text (malloc'd; the caller frees it), or null.
  char* Release() { return out_.Release(); }

 private:
  // depth: how many sets and arrays enclose the contents of this one,
  // itself included; indent: the indentation level of the line it is on.
  bool WriteSet(CTkvs set, int depth, int indent);
  // viewed: the translator calls made when the set's view was taken.
  bool WriteWords(uint32_t type, uint32_t w0, uint32_t w1);
  bool WriteSetValue(CTkvs set, const ct::store::EntryView& entry, uint64_t viewed, int depth, int indent);
  bool WriteArray(CTary array, int depth, int indent);
  bool WriteScalarItems(const ct::store::ArrayView& view);
  bool WriteContainerItems(const ct::store::ArrayView& view, int depth, int indent);

  void WriteSymbol(uint32_t symbol);
  void WriteInt(int32_t value);
  void WriteUInt(uint32_t value);
  void WriteFloat(float value);
  void WriteString(const char* text);

  bool Fail(uint32_t code);
  bool FailContainer(uint32_t containerError);
  bool CheckOutput();

  TextBuffer out_;
  QV_SymbolTranslator translator_;
  void* context_;
  SpellingCache spellings_;
  uint32_t error_ = 0;
  uint64_t translations_ = 0;  // translator calls so far
  std::vector<std::vector<ct::store::EntryView>> views_;  // per nesting level
};

}  // namespace deif
