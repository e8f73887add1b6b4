# Conversions between containers and the wire's DataElement message.
if(TARGET server_core)
  quelt_test(test_demessage SOURCES test_demessage.cpp LIBS server_core)
endif()
