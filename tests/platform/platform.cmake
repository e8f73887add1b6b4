# Tests of the platform layer (value types, device contexts, dialogs and
# their host, message boxes, clipboard).
quelt_test(platform_values_test
  SOURCES cstring_test.cpp geometry_test.cpp recordingdc_test.cpp
  LIBS platform_base)
quelt_test(platform_qtdc_test
  SOURCES qtmain.cpp qtdc_test.cpp
  LIBS platform_qt)
