# The registry calls over the settings file (no Qt).
list(APPEND PLATFORM_BASE_SOURCES
  regdoc.cpp
  regparse.cpp
  regwrite.cpp
  regstore.cpp
  registry.cpp)
