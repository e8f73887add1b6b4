# ctadm run as a program: round trips, failures, known servers, help.
if(TARGET ctadm AND TARGET runtime_testenv)
  quelt_test(ctadm_test SOURCES ctadm_test.cpp ctadm_safety_test.cpp LIBS runtime_testenv s100_runtime)
  target_compile_definitions(ctadm_test PRIVATE CTADM_PATH="$<TARGET_FILE:ctadm>")
  add_dependencies(ctadm_test ctadm)
endif()
