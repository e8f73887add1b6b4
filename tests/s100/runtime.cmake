# Tests of the client runtime, and the fixtures the session and ctadm tests
# share with them (temporary registry, a real ctserver process).
if(TARGET s100_runtime)
  add_library(runtime_testenv STATIC runtime_testenv.cpp)
  target_include_directories(runtime_testenv PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(runtime_testenv PUBLIC platform_base)
  if(TARGET ctserver)
    target_compile_definitions(runtime_testenv PRIVATE CTSERVER_PATH="$<TARGET_FILE:ctserver>")
    add_dependencies(runtime_testenv ctserver)
  endif()

  quelt_test(runtime_test
    SOURCES runtime_address_test.cpp runtime_calls_test.cpp runtime_transport_test.cpp
    LIBS s100_runtime runtime_testenv)
endif()
