# NT_RegKey, the owner of one open registry key.
list(APPEND COMMON_SOURCES registry.cpp)
