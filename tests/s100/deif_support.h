// Helpers for the data-element text tests: deep comparison, a translator
// backed by maps, a seeded generator of random elements, and owners that
// release elements and texts.
#pragma once

#include <cstdint>
#include <map>
#include <random>
#include <string>

#include "s100/deif.h"
#include "tests/s100/deif_compare.h"

namespace deif_test {

// Frees a raw element at the end of a scope.
struct Element {
  QV_RawDataElement e{};
  Element() { e.type = CT_TYPE_NONE; }
  ~Element() { QV_DestroyDataElement(&e); }
  Element(const Element&) = delete;
  Element& operator=(const Element&) = delete;
  QV_RawDataElement* operator&() { return &e; }
};

// Frees a text from DEtoA at the end of a scope.
struct Text {
  char* p = nullptr;
  ~Text() { std::free(p); }
  std::string str() const { return p ? std::string(p) : std::string(); }
};


// Symbol <-> name tables behind the test translator.
struct Names {
  std::map<uint32_t, std::string> names;
  std::map<std::string, uint32_t> symbols;
  int toName = 0;    // calls symbol -> name
  int toSymbol = 0;  // calls name -> symbol
  void Add(uint32_t symbol, const std::string& name) {
    names[symbol] = name;
    symbols[name] = symbol;
  }
};
// The translator; context is a Names*.
QV_Status MapTranslator(uint32_t* symbol, char** text, int32_t direction, void* context);

// DEtoA then AtoAnyDE; fails the current test on a failing status.
std::string Write(const QV_RawDataElement& e, QV_SymbolTranslator tr = nullptr, void* ctx = nullptr);
QV_Status ReadText(const std::string& text, QV_RawDataElement* out, QV_SymbolTranslator tr = nullptr,
                   void* ctx = nullptr, size_t* stop = nullptr);

// A text of `depth` nested containers (sets and arrays of several kinds
// mixed), the innermost holding an int array.
std::string NestedText(int depth);

// Handles in use in the container library (to prove nothing leaked).
size_t LiveHandles();

// Random elements for property tests.
class Generator {
 public:
  Generator(uint32_t seed, Names* names);
  // A random set nested at most maxDepth deep, or any random element.
  void Set(QV_RawDataElement* out, int maxDepth);
  void Any(QV_RawDataElement* out, int maxDepth);

  float Float();
  std::string Bytes(size_t maxLength);  // bytes 1..255
  uint32_t Symbol();

 private:
  CTkvs MakeSet(int depth);
  CTary MakeArray(int depth);
  uint32_t Below(uint32_t n) { return std::uniform_int_distribution<uint32_t>(0, n - 1)(rng_); }
  uint32_t Word() { return static_cast<uint32_t>(rng_()); }

  std::mt19937 rng_;
  Names* names_;
};

}  // namespace deif_test
