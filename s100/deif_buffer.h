// The growing output buffer of DEtoA.  It hands its storage over as a
// malloc'd, zero-terminated text, so the caller frees it with free().
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace deif {

class TextBuffer {
 public:
  // limit: the largest text (without its terminator) the buffer may hold.
  explicit TextBuffer(size_t limit) : limit_(limit) {}
  ~TextBuffer() { std::free(data_); }
  TextBuffer(const TextBuffer&) = delete;
  TextBuffer& operator=(const TextBuffer&) = delete;

  // False once an append went over the limit or an allocation failed; every
  // later append is dropped.
  bool Ok() const { return !overLimit_ && !outOfMemory_; }
  bool OverLimit() const { return overLimit_; }
  bool OutOfMemory() const { return outOfMemory_; }
  size_t Size() const { return size_; }
  const char* Data() const { return data_; }

  void Put(char c) {
    if (size_ + 1 >= capacity_ && !Grow(1)) return;
    data_[size_++] = c;
  }
  void Append(const char* s, size_t n) {
    if (n >= capacity_ - size_ && !Grow(n)) return;
    CopyBytes(data_ + size_, s, n);
    size_ += n;
  }
  // Copies n bytes; short runs (names, separators) without a library call.
  static void CopyBytes(char* to, const char* from, size_t n) {
    if (n > 16 && n <= 32) {
      char a[16], b[16];
      std::memcpy(a, from, 16);
      std::memcpy(b, from + n - 16, 16);
      std::memcpy(to, a, 16);
      std::memcpy(to + n - 16, b, 16);
    } else if (n >= 8 && n <= 16) {
      uint64_t a, b;
      std::memcpy(&a, from, 8);
      std::memcpy(&b, from + n - 8, 8);
      std::memcpy(to, &a, 8);
      std::memcpy(to + n - 8, &b, 8);
    } else if (n >= 4 && n < 8) {
      uint32_t a, b;
      std::memcpy(&a, from, 4);
      std::memcpy(&b, from + n - 4, 4);
      std::memcpy(to, &a, 4);
      std::memcpy(to + n - 4, &b, 4);
    } else if (n < 4) {
      for (size_t i = 0; i < n; ++i) to[i] = from[i];
    } else {
      std::memcpy(to, from, n);
    }
  }
  template <size_t N>
  void Literal(const char (&s)[N]) { Append(s, N - 1); }
  void Spaces(size_t n) {
    if (n >= capacity_ - size_ && !Grow(n)) return;
    std::memset(data_ + size_, ' ', n);
    size_ += n;
  }
  // Room for n bytes at the end; write at most n bytes there, then Commit
  // the count written.  Null when the buffer cannot grow.
  char* Reserve(size_t n) {
    if (n >= capacity_ - size_ && !Grow(n)) return nullptr;
    return data_ + size_;
  }
  void Commit(size_t n) { size_ += n; }

  // The text, zero-terminated; the buffer is empty afterwards.  Null when
  // the buffer failed.
  char* Release() {
    if (!Ok()) return nullptr;
    if (data_ == nullptr && !Grow(0)) return nullptr;
    data_[size_] = '\0';
    char* text = data_;
    data_ = nullptr;
    size_ = capacity_ = 0;
    return text;
  }

 private:
  // Makes room for n more bytes plus the terminator.
  bool Grow(size_t n) {
    if (!Ok()) return false;
    if (n > limit_ - size_) {
      overLimit_ = true;
      return false;
    }
    size_t want = size_ + n + 1;
    size_t next = capacity_ < 256 ? 256 : capacity_ + capacity_ / 2;
    if (next < want) next = want;
    if (next > limit_ + 1) next = limit_ + 1;
    char* grown = static_cast<char*>(std::realloc(data_, next));
    if (grown == nullptr) {
      outOfMemory_ = true;
      return false;
    }
    data_ = grown;
    capacity_ = next;
    return true;
  }

  char* data_ = nullptr;
  size_t size_ = 0;
  size_t capacity_ = 0;
  size_t limit_;
  bool overLimit_ = false;
  bool outOfMemory_ = false;
};

}  // namespace deif
