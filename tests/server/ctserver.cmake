# The real ctserver process, started on a free loopback port.
if(TARGET ctserver)
  quelt_test(test_ctserver SOURCES test_ctserver.cpp startup_test.cpp LIBS ctserver_service gRPC::grpc++ SQLite::SQLite3)
  target_compile_definitions(test_ctserver PRIVATE CTSERVER_PATH="$<TARGET_FILE:ctserver>")
  add_dependencies(test_ctserver ctserver)
endif()
if(TARGET ctserver_service)
  quelt_test(test_serveroptions SOURCES test_serveroptions.cpp LIBS ctserver_service)
endif()
