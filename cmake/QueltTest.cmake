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
