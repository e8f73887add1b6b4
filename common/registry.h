// NT_RegKey: the owner of one open registry key.  Every operation answers
// with a truth value (non-zero for success) and never shows a message; the
// caller decides what a failure means.  The key is closed on destruction.
#pragma once

#include "platform/registry.h"

class NT_RegKey {
 public:
  // Adopts an open key handle (closed on destruction).  A null handle
  // gives a key that is not valid.
  explicit NT_RegKey(HKEY hKey);
  // Opens pszSubKey under hParent.
  NT_RegKey(HKEY hParent, const char* pszSubKey, REGSAM samDesired);
  // Opens pszSubKey under parent; when parent is not valid, nothing is
  // opened and this key is not valid either.
  NT_RegKey(const NT_RegKey& parent, const char* pszSubKey, REGSAM samDesired);
  ~NT_RegKey();

  // Not copyable: two owners of one handle would both close it.
  NT_RegKey(const NT_RegKey&) = delete;
  NT_RegKey& operator=(const NT_RegKey&) = delete;

  int IsValid() const { return m_bValid; }

  // Reads the value, whatever its type, into pBuffer of dwLength bytes.
  // Succeeds only when the buffer ends up holding a terminator: the data is
  // followed by a zero byte, or its own last byte is zero.  Data that fills
  // the buffer with no terminator fails and leaves the empty text there; on
  // any other failure the buffer is untouched.
  int GetValue(const char* pszName, char* pBuffer, DWORD dwLength) const;
  // Reads a REG_DWORD value; any other type, or data that is not 4 bytes,
  // fails and leaves *pdwValue unchanged.
  int GetValue(const char* pszName, DWORD* pdwValue) const;
  // Writes the text with its terminator as REG_SZ.
  int SetValue(const char* pszName, const char* pszText);
  // Writes a 4-byte REG_DWORD.
  int SetValue(const char* pszName, DWORD dwValue);
  int DelValue(const char* pszName);
  // Deletes a sub-key that has no sub-keys of its own.
  int DeleteSubKey(const char* pszSubKey);
  // Creates or opens the sub-key; the caller owns the handle (wrap it in an
  // NT_RegKey or close it).  Null on failure or on a key that is not valid.
  HKEY CreateSubKey(const char* pszSubKey, REGSAM samDesired);
  int GetNumberOfSubKeys(DWORD* pdwCount) const;
  // Names the sub-key at dwIndex into pszName of dwLength bytes.
  int GetSubKeyName(DWORD dwIndex, char* pszName, DWORD dwLength) const;
  // The number of values and the lengths of the longest value name
  // (characters, no terminator) and of the longest value data (bytes).
  int GetValueDetails(DWORD* pdwValues, DWORD* pdwMaxNameLen, DWORD* pdwMaxDataLen) const;
  // The value at dwIndex, when it is a REG_SZ value: its name into pszName
  // and its data into pData.  The lengths are taken by value, so a caller
  // can reuse them for the next index.  The data is left terminated, as in
  // GetValue.
  int GetStringValue(DWORD dwIndex, char* pszName, DWORD dwNameLen, char* pData, DWORD dwDataLen) const;
  // Whether pszSubKey of this key has the value pszName with at most 256
  // bytes of data.  Asks the registry even when this key is not valid.
  int ValueExists(const char* pszSubKey, const char* pszName) const;

 private:
  HKEY m_hKey;
  int m_bValid;
};
