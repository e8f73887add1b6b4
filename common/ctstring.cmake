# The common string.
list(APPEND COMMON_SOURCES ctstring.cpp)
