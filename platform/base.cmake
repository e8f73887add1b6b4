# Plain value types and the device context base (no Qt).
list(APPEND PLATFORM_BASE_SOURCES
  cstring.cpp
  geometry.cpp
  gdiobjects.cpp
  cdc.cpp
  dib.cpp
  recordingdc.cpp
)
