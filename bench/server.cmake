# ctserver over loopback gRPC against a bare echo service carrying the same bytes.
if(TARGET ctserver_service)
  add_executable(bench_server bench_server.cpp)
  target_link_libraries(bench_server PRIVATE ctserver_service benchmark::benchmark)
  target_include_directories(bench_server PRIVATE ${PROJECT_SOURCE_DIR})
endif()
