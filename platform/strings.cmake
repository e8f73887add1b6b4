# The string table (texts in resources/strings.inc).
list(APPEND PLATFORM_QT_SOURCES stringtable.cpp)
