# Tests of the platform layer (value types, device contexts, dialogs and
# their host, message boxes, clipboard).
quelt_test(platform_values_test
  SOURCES cstring_test.cpp geometry_test.cpp dib_test.cpp recordingdc_test.cpp
  LIBS platform_base)
quelt_test(platform_qtdc_test
  SOURCES qtmain.cpp qtdc_test.cpp
  LIBS platform_qt)
quelt_test(platform_dialog_test
  SOURCES qtmain.cpp dialog_test.cpp msgbox_test.cpp
  LIBS platform_qt)
quelt_test(platform_clipboard_test
  SOURCES qtmain.cpp clipboard_test.cpp
  LIBS platform_qt)
