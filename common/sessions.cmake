# The administration session and the multi-server session.
list(APPEND COMMON_SOURCES
  admsess.cpp
  multises.cpp)
