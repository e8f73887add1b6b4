#include "platform/cstring.h"

#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstring>

namespace {

std::atomic<CString::Resolver> g_resolver{nullptr};

bool IsSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

// Appends the formatted text to out; false (out unchanged) on a format error.
bool AppendFormatted(std::string& out, const char* format, va_list args) {
  if (format == nullptr) return false;
  // Most texts are short: one pass into a local buffer, a second pass only
  // for a longer text.
  char local[256];
  va_list probe;
  va_copy(probe, args);
  const int needed = std::vsnprintf(local, sizeof local, format, probe);
  va_end(probe);
  if (needed < 0) return false;
  if (static_cast<size_t>(needed) < sizeof local) {
    out.append(local, static_cast<size_t>(needed));
    return true;
  }
  const size_t oldSize = out.size();
  out.resize(oldSize + static_cast<size_t>(needed) + 1);
  va_list again;
  va_copy(again, args);
  const int written = std::vsnprintf(&out[oldSize], static_cast<size_t>(needed) + 1, format, again);
  va_end(again);
  if (written != needed) {
    out.resize(oldSize);
    return false;
  }
  out.resize(oldSize + static_cast<size_t>(needed));
  return true;
}

}  // namespace

CString::CString(const char* text) : m_text(text != nullptr ? text : "") {}

CString::CString(const char* text, int length) {
  if (text != nullptr && length > 0) m_text.assign(text, static_cast<size_t>(length));
}

CString::CString(char ch, int repeat) {
  if (repeat > 0) m_text.assign(static_cast<size_t>(repeat), ch);
}

char CString::GetAt(int index) const {
  if (index < 0 || index >= GetLength()) return '\0';
  return m_text[static_cast<size_t>(index)];
}

void CString::SetAt(int index, char ch) {
  if (index < 0 || index >= GetLength()) return;
  m_text[static_cast<size_t>(index)] = ch;
}

CString& CString::operator=(const char* text) {
  m_text = text != nullptr ? text : "";
  return *this;
}

CString& CString::operator+=(const CString& other) {
  m_text += other.m_text;
  return *this;
}

CString& CString::operator+=(const char* text) {
  if (text != nullptr) m_text += text;
  return *this;
}

CString& CString::operator+=(char ch) {
  m_text += ch;
  return *this;
}

CString operator+(const CString& a, const CString& b) {
  CString r(a);
  r += b;
  return r;
}

CString operator+(const CString& a, const char* b) {
  CString r(a);
  r += b;
  return r;
}

CString operator+(const char* a, const CString& b) {
  CString r(a);
  r += b;
  return r;
}

CString operator+(const CString& a, char b) {
  CString r(a);
  r += b;
  return r;
}

bool operator==(const CString& a, const char* b) { return a.m_text == (b != nullptr ? b : ""); }

int CString::Compare(const char* other) const { return std::strcmp(m_text.c_str(), other != nullptr ? other : ""); }

int CString::CompareNoCase(const char* other) const {
  const unsigned char* a = reinterpret_cast<const unsigned char*>(m_text.c_str());
  const unsigned char* b = reinterpret_cast<const unsigned char*>(other != nullptr ? other : "");
  for (;; ++a, ++b) {
    const int ca = std::tolower(*a);
    const int cb = std::tolower(*b);
    if (ca != cb) return ca < cb ? -1 : 1;
    if (ca == 0) return 0;
  }
}

void CString::Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  FormatV(format, args);
  va_end(args);
}

void CString::AppendFormat(const char* format, ...) {
  va_list args;
  va_start(args, format);
  AppendFormatV(format, args);
  va_end(args);
}

void CString::FormatV(const char* format, va_list args) {
  std::string out;
  if (!AppendFormatted(out, format, args)) out.clear();
  m_text.swap(out);
}

void CString::AppendFormatV(const char* format, va_list args) { AppendFormatted(m_text, format, args); }

CString& CString::MakeUpper() {
  for (char& c : m_text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return *this;
}

CString& CString::MakeLower() {
  for (char& c : m_text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return *this;
}

CString& CString::MakeReverse() {
  m_text.assign(m_text.rbegin(), m_text.rend());
  return *this;
}

int CString::Find(const char* sub, int start) const {
  if (sub == nullptr || start < 0 || start > GetLength()) return -1;
  const size_t at = m_text.find(sub, static_cast<size_t>(start));
  return at == std::string::npos ? -1 : static_cast<int>(at);
}

int CString::Find(char ch, int start) const {
  if (start < 0 || start >= GetLength()) return -1;
  const size_t at = m_text.find(ch, static_cast<size_t>(start));
  return at == std::string::npos ? -1 : static_cast<int>(at);
}

int CString::ReverseFind(char ch) const {
  const size_t at = m_text.rfind(ch);
  return at == std::string::npos ? -1 : static_cast<int>(at);
}

int CString::FindOneOf(const char* chars) const {
  if (chars == nullptr || *chars == '\0') return -1;
  const size_t at = m_text.find_first_of(chars);
  return at == std::string::npos ? -1 : static_cast<int>(at);
}

CString CString::Left(int count) const {
  if (count <= 0) return CString();
  return CString(m_text.substr(0, static_cast<size_t>(count)));
}

CString CString::Mid(int first) const { return Mid(first, GetLength()); }

CString CString::Mid(int first, int count) const {
  if (first < 0) first = 0;
  if (count <= 0 || first >= GetLength()) return CString();
  return CString(m_text.substr(static_cast<size_t>(first), static_cast<size_t>(count)));
}

CString CString::Right(int count) const {
  if (count <= 0) return CString();
  if (count >= GetLength()) return *this;
  return CString(m_text.substr(m_text.size() - static_cast<size_t>(count)));
}

CString& CString::TrimLeft() {
  size_t i = 0;
  while (i < m_text.size() && IsSpace(m_text[i])) ++i;
  m_text.erase(0, i);
  return *this;
}

CString& CString::TrimRight() {
  size_t n = m_text.size();
  while (n > 0 && IsSpace(m_text[n - 1])) --n;
  m_text.resize(n);
  return *this;
}

CString& CString::Trim() { return TrimRight().TrimLeft(); }

CString& CString::TrimLeft(const char* chars) {
  if (chars == nullptr) return *this;
  const size_t at = m_text.find_first_not_of(chars);
  m_text.erase(0, at == std::string::npos ? m_text.size() : at);
  return *this;
}

CString& CString::TrimRight(const char* chars) {
  if (chars == nullptr) return *this;
  const size_t at = m_text.find_last_not_of(chars);
  m_text.resize(at == std::string::npos ? 0 : at + 1);
  return *this;
}

int CString::Replace(const char* oldText, const char* newText) {
  if (oldText == nullptr || *oldText == '\0') return 0;
  const std::string from(oldText);
  const std::string to(newText != nullptr ? newText : "");
  int count = 0;
  std::string out;
  size_t pos = 0;
  for (;;) {
    const size_t at = m_text.find(from, pos);
    if (at == std::string::npos) break;
    out.append(m_text, pos, at - pos);
    out += to;
    pos = at + from.size();
    ++count;
  }
  if (count == 0) return 0;
  out.append(m_text, pos, std::string::npos);
  m_text.swap(out);
  return count;
}

int CString::Remove(char ch) {
  const size_t before = m_text.size();
  std::string out;
  out.reserve(before);
  for (char c : m_text)
    if (c != ch) out += c;
  m_text.swap(out);
  return static_cast<int>(before - m_text.size());
}

int CString::Insert(int index, const char* text) {
  if (index < 0) index = 0;
  if (index > GetLength()) index = GetLength();
  if (text != nullptr) m_text.insert(static_cast<size_t>(index), text);
  return GetLength();
}

int CString::Delete(int index, int count) {
  if (index < 0) index = 0;
  if (count > 0 && index < GetLength()) m_text.erase(static_cast<size_t>(index), static_cast<size_t>(count));
  return GetLength();
}

BOOL CString::LoadString(UINT id) {
  const Resolver resolver = g_resolver.load();
  if (resolver == nullptr) {
    m_text.clear();
    return FALSE;
  }
  *this = resolver(id);
  return IsEmpty() ? FALSE : TRUE;
}

void CString::SetStringResolver(Resolver resolver) { g_resolver.store(resolver); }

CString::Resolver CString::GetStringResolver() { return g_resolver.load(); }
