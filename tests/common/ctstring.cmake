# The common string.
quelt_test(test_ctstring
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_ctstring.cpp
  LIBS common)
