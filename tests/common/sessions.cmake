# Tests of the administration session and the multi-server session, on an
# embedded server and on a real ctserver process.
if(TARGET common AND TARGET runtime_testenv)
  quelt_test(sessions_test
    SOURCES sessions_admin_test.cpp sessions_multi_test.cpp
    LIBS common s100_runtime runtime_testenv)
  if(TARGET ctserver)
    add_dependencies(sessions_test ctserver)
  endif()
endif()
