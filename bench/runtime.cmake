# The runtime's overhead over the bare gRPC stub, and symbol translations.
if(TARGET common AND TARGET s100_runtime AND TARGET ctserver AND TARGET runtime_testenv)
  add_executable(bench_runtime bench_runtime.cpp)
  target_include_directories(bench_runtime PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(bench_runtime PRIVATE common s100_runtime runtime_testenv benchmark::benchmark)
  add_dependencies(bench_runtime ctserver)
endif()
