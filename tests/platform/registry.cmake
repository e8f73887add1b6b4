# The registry calls and the settings file format.
quelt_test(registry_calls_test SOURCES registry_calls_test.cpp LIBS platform_base)
quelt_test(registry_format_test SOURCES registry_format_test.cpp LIBS platform_base)
quelt_test(registry_write_test SOURCES registry_write_test.cpp LIBS platform_base)
