#include "common/registry.h"

#include <cstring>

namespace {

// Leaves a text buffer that the registry filled with dataLen bytes
// terminated; false when the data took the whole buffer and does not end
// in a zero byte (the caller would read past the buffer).
bool Terminate(char* buffer, DWORD capacity, DWORD dataLen) {
  if (dataLen < capacity) {
    buffer[dataLen] = '\0';
    return true;
  }
  if (dataLen > 0 && buffer[dataLen - 1] == '\0') {
    return true;
  }
  if (capacity > 0) {
    buffer[0] = '\0';
  }
  return false;
}

}  // namespace

NT_RegKey::NT_RegKey(HKEY hKey) : m_hKey(hKey), m_bValid(hKey != nullptr) {}

NT_RegKey::NT_RegKey(HKEY hParent, const char* pszSubKey, REGSAM samDesired) : m_hKey(nullptr), m_bValid(0) {
  m_bValid = RegOpenKeyExA(hParent, pszSubKey, 0, samDesired, &m_hKey) == ERROR_SUCCESS;
  if (!m_bValid) {
    m_hKey = nullptr;
  }
}

NT_RegKey::NT_RegKey(const NT_RegKey& parent, const char* pszSubKey, REGSAM samDesired)
    : m_hKey(nullptr), m_bValid(0) {
  if (parent.m_bValid) {
    m_bValid = RegOpenKeyExA(parent.m_hKey, pszSubKey, 0, samDesired, &m_hKey) == ERROR_SUCCESS;
    if (!m_bValid) {
      m_hKey = nullptr;
    }
  }
}

NT_RegKey::~NT_RegKey() {
  if (m_bValid) {
    RegCloseKey(m_hKey);
  }
}

int NT_RegKey::GetValue(const char* pszName, char* pBuffer, DWORD dwLength) const {
  if (!m_bValid || pBuffer == nullptr) {
    return 0;
  }
  DWORD len = dwLength;
  if (RegQueryValueExA(m_hKey, pszName, nullptr, nullptr, reinterpret_cast<uint8_t*>(pBuffer), &len) !=
      ERROR_SUCCESS) {
    return 0;
  }
  return Terminate(pBuffer, dwLength, len);
}

int NT_RegKey::GetValue(const char* pszName, DWORD* pdwValue) const {
  if (!m_bValid || pdwValue == nullptr) {
    return 0;
  }
  DWORD type = REG_NONE;
  if (RegQueryValueExA(m_hKey, pszName, nullptr, &type, nullptr, nullptr) != ERROR_SUCCESS || type != REG_DWORD) {
    return 0;
  }
  uint8_t bytes[4];
  DWORD len = sizeof bytes;
  if (RegQueryValueExA(m_hKey, pszName, nullptr, &type, bytes, &len) != ERROR_SUCCESS || type != REG_DWORD ||
      len != sizeof bytes) {
    return 0;
  }
  *pdwValue = bytes[0] | (static_cast<DWORD>(bytes[1]) << 8) | (static_cast<DWORD>(bytes[2]) << 16) |
              (static_cast<DWORD>(bytes[3]) << 24);
  return 1;
}

int NT_RegKey::SetValue(const char* pszName, const char* pszText) {
  if (!m_bValid || pszText == nullptr) {
    return 0;
  }
  DWORD len = static_cast<DWORD>(std::strlen(pszText) + 1);
  return RegSetValueExA(m_hKey, pszName, 0, REG_SZ, reinterpret_cast<const uint8_t*>(pszText), len) ==
         ERROR_SUCCESS;
}

int NT_RegKey::SetValue(const char* pszName, DWORD dwValue) {
  if (!m_bValid) {
    return 0;
  }
  const uint8_t bytes[4] = {static_cast<uint8_t>(dwValue), static_cast<uint8_t>(dwValue >> 8),
                            static_cast<uint8_t>(dwValue >> 16), static_cast<uint8_t>(dwValue >> 24)};
  return RegSetValueExA(m_hKey, pszName, 0, REG_DWORD, bytes, sizeof bytes) == ERROR_SUCCESS;
}

int NT_RegKey::DelValue(const char* pszName) {
  return m_bValid && RegDeleteValueA(m_hKey, pszName) == ERROR_SUCCESS;
}

int NT_RegKey::DeleteSubKey(const char* pszSubKey) {
  return m_bValid && RegDeleteKeyA(m_hKey, pszSubKey) == ERROR_SUCCESS;
}

HKEY NT_RegKey::CreateSubKey(const char* pszSubKey, REGSAM samDesired) {
  if (!m_bValid) {
    return nullptr;
  }
  HKEY result = nullptr;
  DWORD disposition = 0;
  if (RegCreateKeyExA(m_hKey, pszSubKey, 0, "", 0, samDesired, nullptr, &result, &disposition) != ERROR_SUCCESS) {
    return nullptr;
  }
  return result;
}

int NT_RegKey::GetNumberOfSubKeys(DWORD* pdwCount) const {
  if (!m_bValid || pdwCount == nullptr) {
    return 0;
  }
  // A one-character class buffer answers ERROR_MORE_DATA for a key with a
  // class text; the count is filled in all the same.
  char keyClass[1];
  DWORD classLen = sizeof keyClass;
  LONG rc = RegQueryInfoKeyA(m_hKey, keyClass, &classLen, nullptr, pdwCount, nullptr, nullptr, nullptr, nullptr,
                             nullptr, nullptr, nullptr);
  return rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA;
}

int NT_RegKey::GetSubKeyName(DWORD dwIndex, char* pszName, DWORD dwLength) const {
  return m_bValid && RegEnumKeyA(m_hKey, dwIndex, pszName, dwLength) == ERROR_SUCCESS;
}

int NT_RegKey::GetValueDetails(DWORD* pdwValues, DWORD* pdwMaxNameLen, DWORD* pdwMaxDataLen) const {
  if (!m_bValid) {
    return 0;
  }
  char keyClass[1];
  DWORD classLen = sizeof keyClass;
  LONG rc = RegQueryInfoKeyA(m_hKey, keyClass, &classLen, nullptr, nullptr, nullptr, nullptr, pdwValues,
                             pdwMaxNameLen, pdwMaxDataLen, nullptr, nullptr);
  return rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA;
}

int NT_RegKey::GetStringValue(DWORD dwIndex, char* pszName, DWORD dwNameLen, char* pData, DWORD dwDataLen) const {
  if (!m_bValid) {
    return 0;
  }
  DWORD type = REG_NONE;
  DWORD dataLen = dwDataLen;
  if (RegEnumValueA(m_hKey, dwIndex, pszName, &dwNameLen, nullptr, &type, reinterpret_cast<uint8_t*>(pData),
                    &dataLen) != ERROR_SUCCESS ||
      type != REG_SZ) {
    return 0;
  }
  return pData == nullptr || Terminate(pData, dwDataLen, dataLen);
}

int NT_RegKey::ValueExists(const char* pszSubKey, const char* pszName) const {
  HKEY sub = nullptr;
  if (RegOpenKeyExA(m_hKey, pszSubKey, 0, KEY_READ, &sub) != ERROR_SUCCESS) {
    return 0;
  }
  uint8_t scratch[256];
  DWORD len = sizeof scratch;
  LONG rc = RegQueryValueExA(sub, pszName, nullptr, nullptr, scratch, &len);
  RegCloseKey(sub);
  return rc == ERROR_SUCCESS;
}
