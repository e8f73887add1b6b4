#include "model/dataelt.h"

#include <cstring>
#include <new>

static_assert(sizeof(float) == 4 && sizeof(CTkvs) == 4 && sizeof(CTary) == 4, "32-bit words");

QV_DataElement::QV_DataElement() : m_type(CT_TYPE_NONE) { std::memset(&m_value, 0, sizeof m_value); }

QV_DataElement::QV_DataElement(const QV_DataElement& other) : QV_DataElement() { *this = other; }

QV_DataElement::QV_DataElement(QV_DataElement&& other) noexcept : m_type(other.m_type), m_value(other.m_value) {
  other.m_type = CT_TYPE_NONE;
  std::memset(&other.m_value, 0, sizeof other.m_value);
}

QV_DataElement::~QV_DataElement() { Clear(); }

QV_DataElement& QV_DataElement::operator=(QV_DataElement&& other) noexcept {
  if (this == &other) return *this;
  Clear();
  m_type = other.m_type;
  m_value = other.m_value;
  other.m_type = CT_TYPE_NONE;
  std::memset(&other.m_value, 0, sizeof other.m_value);
  return *this;
}

QV_DataElement& QV_DataElement::operator=(const QV_DataElement& other) {
  if (this == &other) return *this;
  // Through the raw form, which names every value kind once; a code
  // without a value kind copies as no value.
  if (!FromRawDataElement(ToRawDataElement(other), this)) Clear();
  return *this;
}

void QV_DataElement::SetWords(uint32_t type, const void* first, const void* second) {
  Clear();
  m_type = type;
  SetWord(0, first);
  if (second) SetWord(1, second);
}

void QV_DataElement::SetWord(unsigned index, const void* from) {
  std::memcpy(reinterpret_cast<unsigned char*>(&m_value) + 4 * index, from, 4);
}

void QV_DataElement::GetWord(unsigned index, void* to) const {
  std::memcpy(to, reinterpret_cast<const unsigned char*>(&m_value) + 4 * index, 4);
}

void QV_DataElement::SetText(char* text) { std::memcpy(&m_value, &text, sizeof text); }

void QV_DataElement::Clear() {
  uint32_t err = 0;
  if (m_type == CT_TYPE_KVSET) {
    CTkvs_Destroy(KVSet(), &err);
  } else if (m_type == CT_TYPE_STRING) {
    delete[] String();
    SetText(nullptr);
  } else if (m_type >= CT_TYPE_ARRAY) {
    CTary_Destroy(Array(), &err);
  }
  m_type = CT_TYPE_NONE;
}

void QV_DataElement::SetToInt(int32_t value) { SetWords(CT_TYPE_INT, &value); }

void QV_DataElement::SetToUInt(uint32_t value) { SetWords(CT_TYPE_UINT, &value); }

void QV_DataElement::SetToBool(int32_t value) { SetWords(CT_TYPE_BOOL, &value); }

void QV_DataElement::SetToSymbol(uint32_t value) { SetWords(CT_TYPE_SYMBOL, &value); }

void QV_DataElement::SetToFloat(float value) { SetWords(CT_TYPE_FLOAT, &value); }

void QV_DataElement::SetToIRange(CTirange value) { SetWords(CT_TYPE_IRANGE, &value.start, &value.end); }

void QV_DataElement::SetToFRange(CTfrange value) { SetWords(CT_TYPE_FRANGE, &value.start, &value.end); }

// The setters that own something copy their input before freeing the old
// value, so an element can be set from its own text, set or array.

void QV_DataElement::SetToString(const char* text) {
  char* copy = nullptr;
  if (text) {
    const size_t length = std::strlen(text);
    copy = new (std::nothrow) char[length + 1];
    if (copy) std::memcpy(copy, text, length + 1);
  }
  Clear();
  m_type = CT_TYPE_STRING;
  SetText(copy);
}

void QV_DataElement::SetToKVSet(CTkvs set) {
  uint32_t err = 0;
  CTkvs copy = 0;
  if (CTkvs_Create(&copy, &err)) CTkvs_Copy(copy, set, &err);
  Clear();
  m_type = CT_TYPE_KVSET;
  SetWord(0, &copy);
}

void QV_DataElement::SetToArray(CTary array) {
  uint32_t err = 0;
  uint32_t type = CT_TYPE_NONE;
  CTary copy = 0;
  // Without a type there is no array to copy; the element then holds no
  // value rather than an array it would never free.
  if (CTary_GetType(array, &type, &err) && CTary_Create(&copy, &err)) CTary_Copy(copy, array, &err);
  Clear();
  if (copy == 0) return;
  m_type = type;
  SetWord(0, &copy);
}

int32_t QV_DataElement::Int() const { return WordAs<int32_t>(0); }

uint32_t QV_DataElement::UInt() const { return WordAs<uint32_t>(0); }

int32_t QV_DataElement::Bool() const { return Int(); }

uint32_t QV_DataElement::Symbol() const { return UInt(); }

float QV_DataElement::Float() const { return WordAs<float>(0); }

CTirange QV_DataElement::IRange() const { return CTirange{WordAs<int32_t>(0), WordAs<int32_t>(1)}; }

CTfrange QV_DataElement::FRange() const { return CTfrange{WordAs<float>(0), WordAs<float>(1)}; }

char* QV_DataElement::String() const {
  char* text;
  std::memcpy(&text, &m_value, sizeof text);
  return text;
}

CTkvs QV_DataElement::KVSet() const { return UInt(); }

CTary QV_DataElement::Array() const { return UInt(); }

QV_RawDataElement ToRawDataElement(const QV_DataElement& element) {
  QV_RawDataElement raw{};
  raw.type = element.Type();
  switch (raw.type) {
    case CT_TYPE_INT: raw.value.i = element.Int(); break;
    case CT_TYPE_UINT: raw.value.u = element.UInt(); break;
    case CT_TYPE_BOOL: raw.value.i = element.Bool(); break;
    case CT_TYPE_SYMBOL: raw.value.u = element.Symbol(); break;
    case CT_TYPE_FLOAT: raw.value.f = element.Float(); break;
    case CT_TYPE_IRANGE: raw.value.ir = element.IRange(); break;
    case CT_TYPE_FRANGE: raw.value.fr = element.FRange(); break;
    case CT_TYPE_KVSET: raw.value.kvs = element.KVSet(); break;
    case CT_TYPE_STRING: raw.value.str = element.String(); break;
    default:
      if (raw.type >= CT_TYPE_ARRAY) raw.value.ary = element.Array();
      break;
  }
  return raw;
}

bool FromRawDataElement(const QV_RawDataElement& raw, QV_DataElement* element) {
  switch (raw.type) {
    case CT_TYPE_INT: element->SetToInt(raw.value.i); return true;
    case CT_TYPE_UINT: element->SetToUInt(raw.value.u); return true;
    case CT_TYPE_BOOL: element->SetToBool(raw.value.i); return true;
    case CT_TYPE_SYMBOL: element->SetToSymbol(raw.value.u); return true;
    case CT_TYPE_FLOAT: element->SetToFloat(raw.value.f); return true;
    case CT_TYPE_IRANGE: element->SetToIRange(raw.value.ir); return true;
    case CT_TYPE_FRANGE: element->SetToFRange(raw.value.fr); return true;
    case CT_TYPE_KVSET: element->SetToKVSet(raw.value.kvs); return true;
    case CT_TYPE_STRING: element->SetToString(raw.value.str); return true;
    default:
      if (raw.type < CT_TYPE_ARRAY) return false;
      element->SetToArray(raw.value.ary);
      return element->Type() >= CT_TYPE_ARRAY;
  }
}
