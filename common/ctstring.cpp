#include "common/ctstring.h"

#include <cstdlib>
#include <cstring>
#include <istream>
#include <new>
#include <ostream>
#include <string>

namespace {

const char* TextOf(const char* buffer) { return buffer ? buffer : ""; }

bool IsSpace(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

int Lower(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c; }

}  // namespace

char* QV_String::Duplicate(const char* text) {
  const char* source = TextOf(text);
  const size_t length = std::strlen(source);
  auto* copy = static_cast<char*>(std::malloc(length + 1));
  if (copy) std::memcpy(copy, source, length + 1);
  return copy;
}

QV_String::QV_String() : m_pBuffer(Duplicate(nullptr)) {}

QV_String::QV_String(const char* text) : m_pBuffer(Duplicate(text)) {}

QV_String::QV_String(const QV_String& other) : m_pBuffer(Duplicate(other.m_pBuffer)) {}

QV_String::~QV_String() { std::free(m_pBuffer); }

QV_String& QV_String::operator=(const QV_String& other) {
  if (this == &other) return *this;
  return *this = other.m_pBuffer;
}

QV_String& QV_String::operator=(const char* text) {
  // Copy before freeing: the text may lie inside this string's own buffer.
  char* copy = Duplicate(text);
  std::free(m_pBuffer);
  m_pBuffer = copy;
  return *this;
}

void QV_String::Concatenate(const QV_String& other) {
  if (!m_pBuffer) {
    *this = other;
    return;
  }
  const size_t length = std::strlen(m_pBuffer);
  const size_t added = std::strlen(TextOf(other.m_pBuffer));
  const bool self = &other == this;
  auto* grown = static_cast<char*>(std::realloc(m_pBuffer, length + added + 1));
  if (!grown) return;  // the old text stays as it was
  m_pBuffer = grown;
  // Appending a string to itself reads the old text from the moved buffer.
  std::memcpy(m_pBuffer + length, self ? m_pBuffer : TextOf(other.m_pBuffer), added);
  m_pBuffer[length + added] = '\0';
}

int32_t QV_String::Length() const { return m_pBuffer ? static_cast<int32_t>(std::strlen(m_pBuffer)) : 0; }

int32_t QV_String::CompareWith(const char* text) const {
  const auto* a = reinterpret_cast<const unsigned char*>(TextOf(m_pBuffer));
  const auto* b = reinterpret_cast<const unsigned char*>(TextOf(text));
  while (*a && *a == *b) {
    ++a;
    ++b;
  }
  return static_cast<int32_t>(*a) - static_cast<int32_t>(*b);
}

int32_t QV_String::CompareWith(const QV_String& other) const { return CompareWith(other.m_pBuffer); }

int32_t QV_String::InsensitiveCompareWith(const QV_String& other) const {
  const auto* a = reinterpret_cast<const unsigned char*>(TextOf(m_pBuffer));
  const auto* b = reinterpret_cast<const unsigned char*>(TextOf(other.m_pBuffer));
  while (*a && Lower(*a) == Lower(*b)) {
    ++a;
    ++b;
  }
  return Lower(*a) - Lower(*b);
}

std::istream& operator>>(std::istream& in, QV_String& string) {
  using traits = std::istream::traits_type;
  // 1. Skip leading whitespace.
  for (int c = in.peek(); c != traits::eof() && IsSpace(c); c = in.peek()) in.get();
  // 2. Remember where the word starts.
  const std::istream::pos_type start = in.tellg();
  // 3. Take the word up to the next whitespace or the end.  The characters
  //    are kept as well, for streams that cannot go back.
  std::string taken;
  for (int c = in.peek(); c != traits::eof() && !IsSpace(c); c = in.peek()) {
    in.get();
    taken.push_back(traits::to_char_type(c));
  }
  // 4. Go back and read the word in one block.
  if (!taken.empty() && start != std::istream::pos_type(-1)) {
    in.clear(in.rdstate() & ~std::ios::eofbit);
    if (in.seekg(start)) {
      const std::streamsize count = static_cast<std::streamsize>(taken.size());
      char* block = new (std::nothrow) char[taken.size() + 1];
      if (block) {
        in.read(block, count);
        if (in.gcount() == count) {
          block[count] = '\0';
          string = block;
          delete[] block;
          return in;
        }
        delete[] block;
      }
    }
    // The stream would not give the word again: it was taken already.
    in.clear(in.rdstate() & ~std::ios::failbit);
  }
  string = taken.c_str();
  return in;
}

std::ostream& operator<<(std::ostream& out, const QV_String& string) {
  const char* text = string;
  if (text) out.write(text, static_cast<std::streamsize>(std::strlen(text)));
  return out;
}
