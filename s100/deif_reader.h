// Reads one data element from text (the AtoAnyDE side of the data-element
// text).  Recursive descent, with the nesting bounded before each descent.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "s100/ctcontainers.h"
#include "s100/deif.h"
#include "s100/deif_keyset.h"
#include "s100/deif_lexicon.h"
#include "s100/deif_symcache.h"

namespace deif {

class Reader {
 public:
  Reader(const char* text, size_t length, QV_SymbolTranslator translator, void* context);
  ~Reader();
  Reader(const Reader&) = delete;
  Reader& operator=(const Reader&) = delete;

  // Reads the whole text as one element.  On success the element owns what
  // it holds; on failure it is type 10 and nothing is left allocated.
  bool Read(QV_RawDataElement* out);
  uint32_t Error() const { return error_; }
  // Offset where reading stopped: the end on success, the fault on failure.
  size_t Stop() const { return static_cast<size_t>(stop_ - begin_); }

 private:
  // ---- tokens ----
  bool SkipSpace();  // false at the end of the text
  bool Fail(uint32_t code, const char* at);
  bool FailContainer(uint32_t containerError);
  bool Stored(int result, const uint32_t* containerError);  // a container call's result
  bool Unexpected();  // truncated at the end, a syntax fault elsewhere
  bool FailItem();    // an array item that does not fit the array
  bool Expect(char c);
  bool ExpectTo();
  void ReadWord(const char** s, size_t* n);  // at a name start
  Word PeekWord();
  bool ReadMagnitude(bool* negative, uint64_t* magnitude, const char** start);
  bool ReadUnsignedAt(uint32_t* value);  // no leading blanks (after #)
  bool ReadWhole(int64_t min, int64_t max, int64_t* value);
  bool ReadInt32(int32_t* value);
  bool ReadUInt32(uint32_t* value);
  bool ReadBool(int32_t* value);
  bool ReadFloat(float* value);
  bool ReadIRange(CTirange* value);  // FROM to TO
  bool ReadFRange(CTfrange* value);
  bool ReadQuoted(std::string& out);  // appends the decoded bytes
  bool ReadName(uint32_t* symbol);
  bool Translate(const char* name, size_t length, const char* at, uint32_t* symbol);

  // ---- structure ----
  bool ReadSetBody(CTkvs set, int depth);
  bool ReadSetValue(CTkvs set, CTsymbol key, int depth);
  bool ReadArray(CTary target, int depth);
  bool ItemFits(Word kind);
  template <class Item>
  bool ReadItems(Item item);
  bool ReadSetItems(CTary target, int depth);
  bool ReadArrayItems(CTary target, int depth);
  bool ReadStringItems(CTary target);
  template <class T>
  bool ReadValueItems(std::vector<T>& items, Word kind, bool (Reader::*read)(T*));

  const char* const begin_;
  const char* const end_;
  const char* p_;
  const char* stop_;
  QV_SymbolTranslator translator_;
  void* context_;
  uint32_t error_ = 0;

  // What the element under construction owns until Read hands it over.
  CTkvs rootSet_ = 0;
  CTary rootArray_ = 0;

  SymbolCache symbols_;
  std::vector<KeySet> keys_;  // per nesting level: the keys of the set being read
  std::string text_;   // a string value being decoded
  std::string name_;   // a quoted name being decoded
  std::vector<char> asked_;  // the name handed to the translator
  // Items of the array being read; arrays of plain items never nest.
  std::vector<uint32_t> words_;
  std::vector<float> floats_;
  std::vector<CTirange> iranges_;
  std::vector<CTfrange> franges_;
  std::string texts_;
  std::vector<size_t> textStarts_;
  std::vector<const char*> textPointers_;
};

}  // namespace deif
