# The data element: kinds, copies, ownership.
quelt_test(test_dataelt
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_dataelt.cpp
  LIBS model)
