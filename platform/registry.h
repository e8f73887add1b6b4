// The registry calls, over the installation's settings file (the text
// format that regedit exports).  Shaped as the Windows calls they replace so
// that NT_RegKey and the client runtime wrap them unchanged.
//
// The file is $HALDEN_REGISTRY when set, else /etc/velcor/halden-client.reg.
// A missing or unreadable file is a registry without keys.  Writes replace
// the file atomically under a lock.  Every call is thread-safe.
#pragma once

#include <cstdint>

using LONG = long;
using DWORD = uint32_t;
using REGSAM = uint32_t;
struct RegKeyObject;
using HKEY = RegKeyObject*;

// Predefined root keys.
extern const HKEY HKEY_LOCAL_MACHINE;
extern const HKEY HKEY_CURRENT_USER;

// Results.
inline constexpr LONG ERROR_SUCCESS = 0;
inline constexpr LONG ERROR_FILE_NOT_FOUND = 2;
inline constexpr LONG ERROR_ACCESS_DENIED = 5;
inline constexpr LONG ERROR_INVALID_HANDLE = 6;
inline constexpr LONG ERROR_OUTOFMEMORY = 14;
inline constexpr LONG ERROR_INVALID_PARAMETER = 87;
inline constexpr LONG ERROR_MORE_DATA = 234;
inline constexpr LONG ERROR_NO_MORE_ITEMS = 259;
inline constexpr LONG ERROR_WRITE_FAULT = 29;
inline constexpr LONG ERROR_BAD_PATHNAME = 161;
inline constexpr LONG ERROR_KEY_DELETED = 1018;

// Dispositions that RegCreateKeyExA reports.
inline constexpr DWORD REG_CREATED_NEW_KEY = 1;
inline constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// Value types.
inline constexpr DWORD REG_NONE = 0;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_EXPAND_SZ = 2;
inline constexpr DWORD REG_BINARY = 3;
inline constexpr DWORD REG_DWORD = 4;
inline constexpr DWORD REG_MULTI_SZ = 7;
inline constexpr DWORD REG_QWORD = 11;

// Access masks (kept for the callers' sake; the file is readable by all who
// can read it, writable by those who can write it).
inline constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
inline constexpr REGSAM KEY_SET_VALUE = 0x0002;
inline constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr REGSAM KEY_READ = 0x20019;
inline constexpr REGSAM KEY_WRITE = 0x20006;
inline constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;
inline constexpr REGSAM GENERIC_READ = 0x80000000u;

// Buffer lengths are in bytes and count the terminator where there is one.
// A buffer that is too small gives ERROR_MORE_DATA with the length needed;
// an index past the last gives ERROR_NO_MORE_ITEMS.  Key paths and value
// names compare without regard to case.  A handle that is closed, or that
// was never opened, gives ERROR_INVALID_HANDLE; one whose key was deleted
// gives ERROR_KEY_DELETED.  lastWriteTime, when given, receives a FILETIME
// (8 bytes) of the file's modification time.
LONG RegOpenKeyExA(HKEY parent, const char* subKey, DWORD options, REGSAM access, HKEY* result);
LONG RegCreateKeyExA(HKEY parent, const char* subKey, DWORD reserved, const char* keyClass, DWORD options,
                     REGSAM access, void* security, HKEY* result, DWORD* disposition);
LONG RegCloseKey(HKEY key);
// data may be null to ask only for type and length; *dataLen is in/out.
LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD* reserved, DWORD* type, uint8_t* data, DWORD* dataLen);
LONG RegQueryInfoKeyA(HKEY key, char* keyClass, DWORD* classLen, DWORD* reserved, DWORD* subKeys,
                      DWORD* maxSubKeyLen, DWORD* maxClassLen, DWORD* values, DWORD* maxValueNameLen,
                      DWORD* maxValueLen, DWORD* securityDescriptor, void* lastWriteTime);
LONG RegEnumKeyA(HKEY key, DWORD index, char* name, DWORD nameLen);
LONG RegEnumValueA(HKEY key, DWORD index, char* valueName, DWORD* valueNameLen, DWORD* reserved, DWORD* type,
                   uint8_t* data, DWORD* dataLen);
LONG RegSetValueExA(HKEY key, const char* valueName, DWORD reserved, DWORD type, const uint8_t* data, DWORD dataLen);
LONG RegDeleteValueA(HKEY key, const char* valueName);
LONG RegDeleteKeyA(HKEY key, const char* subKey);

// Re-reads the file on the next call (tests and tools that change
// $HALDEN_REGISTRY call it).
void RegReloadFile();
