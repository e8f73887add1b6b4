// The data-element text ("Velcor DEIF"): DEtoA writes one data element as
// readable, exact, typed text and AtoAnyDE reads it back.  The syntax is
// documented in docs/deif.md.
#pragma once

#include <cstddef>
#include <cstdint>

#include "s100/ctcontainers.h"
#include "s100/ctlimits.h"
#include "s100/qvstatus.h"

// The raw form in which the conversions take and give a value: a type code
// and an 8-byte value.  For KVSet and the array codes (60 and above) the
// value is a container handle; for String a heap text (malloc'd).
struct QV_RawDataElement {
  uint32_t type;
  union {
    int32_t i;       // Int, Bool
    uint32_t u;      // UInt, Symbol
    float f;         // Float
    CTirange ir;     // IRange
    CTfrange fr;     // FRange
    CTkvs kvs;       // KVSet
    CTary ary;       // arrays
    char* str;       // String (may be null)
    uint64_t bits;   // the whole value
  } value;
};

// Symbol translator.  direction != 0: symbol to name; the translator stores
// a malloc'd name in *text and the conversion frees it.  direction == 0:
// name to symbol; *text is the name, the translator writes *symbol.
// Any status other than QV_OK means "no translation".
using QV_SymbolTranslator = QV_Status (*)(uint32_t* symbol, char** text, int32_t direction, void* context);

// Limits of the text reader.
inline constexpr size_t kDeifMaxTextBytes = size_t{64} << 20;  // 64 MiB
inline constexpr int kDeifMaxDepth = kCtMaxElementDepth;

// Writes the element as text into a malloc'd buffer that the caller frees
// with free().  Symbols and keys the translator cannot name are written as
// #number.  On failure *text is null.
QV_Status DEtoA(const QV_RawDataElement* element, char** text, QV_SymbolTranslator translator, void* context);

// Reads one element from a zero-terminated text.  On success *element holds
// it (the caller releases it with QV_DestroyDataElement).  On failure the
// element is type 10 with nothing to free, and the status carries one of the
// text error codes of cterrors.h.  *stop (may be null) is where reading
// stopped: the end of the text on success, the offending spot on failure.
QV_Status AtoAnyDE(const char* text, const char** stop, QV_RawDataElement* element,
                   QV_SymbolTranslator translator, void* context);

// The same on a text of a given length (it need not be terminated).
QV_Status AtoAnyDEn(const char* text, size_t length, size_t* stop, QV_RawDataElement* element,
                    QV_SymbolTranslator translator, void* context);

// Frees the element's own parts (text, set or array) and sets it to type 10.
void QV_DestroyDataElement(QV_RawDataElement* element);
