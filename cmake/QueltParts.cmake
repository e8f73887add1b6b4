# A folder whose targets are put together from several pieces keeps one
# <piece>.cmake file per piece beside its CMakeLists.txt; each file appends
# its sources and libraries to the folder's lists.  This includes them all.
macro(quelt_include_parts)
  file(GLOB _quelt_parts CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cmake)
  list(SORT _quelt_parts)
  foreach(_quelt_part IN LISTS _quelt_parts)
    include(${_quelt_part})
  endforeach()
endmacro()

# quelt_test(NAME SOURCES... LIBS ...): one GoogleTest executable, its cases
# registered with ctest one by one.
function(quelt_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  # Tests find the source and build folders through these definitions (a
  # list-valued ENVIRONMENT does not survive test discovery).
  target_compile_definitions(${name} PRIVATE
    QUELT_TEST_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    QUELT_TEST_BINARY_DIR="${PROJECT_BINARY_DIR}")
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()
