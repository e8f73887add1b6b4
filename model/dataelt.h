// QV_DataElement: one typed value of a profile, a type code and two 32-bit
// words.  Strings, sets and arrays are owned by the element and copied deeply
// on every copy and assignment; the accessors lend them.
#pragma once

#include <cstdint>

#include "s100/ctcontainers.h"
#include "s100/deif.h"

class QV_DataElement {
 public:
  QV_DataElement();
  QV_DataElement(const QV_DataElement& other);
  // A move takes the value over and leaves the source with no value.
  QV_DataElement(QV_DataElement&& other) noexcept;
  ~QV_DataElement();
  QV_DataElement& operator=(const QV_DataElement& other);
  QV_DataElement& operator=(QV_DataElement&& other) noexcept;

  // Each setter frees what the element held and takes a copy of its input;
  // the caller keeps what it passed.
  void SetToInt(int32_t value);
  void SetToUInt(uint32_t value);
  void SetToBool(int32_t value);  // kept as given, not made 0 or 1
  void SetToSymbol(uint32_t value);
  void SetToFloat(float value);
  void SetToIRange(CTirange value);
  void SetToFRange(CTfrange value);
  void SetToString(const char* text);  // null keeps a null text (type stays String)
  void SetToKVSet(CTkvs set);
  void SetToArray(CTary array);  // the element's type becomes the array's code

  // The words read as the asked kind, whatever the type code.  String, KVSet
  // and Array lend the element's own buffer or handle, valid until the
  // element is next set, assigned or destroyed.
  int32_t Int() const;
  uint32_t UInt() const;
  int32_t Bool() const;
  uint32_t Symbol() const;
  float Float() const;
  CTirange IRange() const;
  CTfrange FRange() const;
  char* String() const;
  CTkvs KVSet() const;
  CTary Array() const;
  uint32_t Type() const { return m_type; }

 protected:
  // Frees what the element owns; the type becomes 10 (no value).
  void Clear();

  void SetWord(unsigned index, const void* from);
  // A one- or two-word value of the type in place of the old value.
  void SetWords(uint32_t type, const void* first, const void* second = nullptr);
  void GetWord(unsigned index, void* to) const;
  template <class T>
  T WordAs(unsigned index) const {
    T value;
    GetWord(index, &value);
    return value;
  }
  void SetText(char* text);

  uint32_t m_type;
  // The two value words; a string's buffer pointer takes both on 64-bit.
  union {
    uint32_t words[2];
    char* text;
  } m_value;
};

// The raw form of an element for the data-element text writer; it lends the
// element's text, set or array, so it lives no longer than the element.
QV_RawDataElement ToRawDataElement(const QV_DataElement& element);
// Copies what the text reader gave into the element; false for a type that
// has no value kind (the element is then left as it was).
bool FromRawDataElement(const QV_RawDataElement& raw, QV_DataElement* element);
