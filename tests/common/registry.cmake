# NT_RegKey over a temporary settings file.
quelt_test(registry_key_test SOURCES registry_key_test.cpp LIBS common)
