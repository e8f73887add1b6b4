# The container library: sets, arrays, handles, threads.
quelt_test(test_containers
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_containers.cpp
  LIBS s100_containers)
