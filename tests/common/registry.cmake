# NT_RegKey over a temporary settings file.
quelt_test(registry_key_test SOURCES registry_key_test.cpp LIBS common)
# Where the shipped example file is, when the environment does not say.
target_compile_definitions(registry_key_test PRIVATE QUELT_SOURCE_ROOT="${PROJECT_SOURCE_DIR}")
