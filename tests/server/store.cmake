# The profile store, the symbol table and the core behind the protocol.
if(TARGET server_core)
  quelt_test(test_symboltable SOURCES test_symboltable.cpp LIBS server_core)
  quelt_test(test_store SOURCES test_store.cpp LIBS server_core)
  quelt_test(test_core SOURCES test_core.cpp file_safety_test.cpp LIBS server_core)
  quelt_test(test_sessions SOURCES test_sessions.cpp LIBS server_core)
endif()
