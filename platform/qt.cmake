# The platform layer's Qt parts.
list(APPEND PLATFORM_QT_SOURCES
  qtconvert.cpp
  qtdc.cpp
)
