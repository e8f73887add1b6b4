# The string table, and the committed bitmaps against their pixel maps.
quelt_test(resources_strings SOURCES stringtable_test.cpp LIBS platform_qt)

find_package(Python3 COMPONENTS Interpreter)
if(Python3_Interpreter_FOUND)
  add_test(NAME resources.bitmaps_match_pixel_maps
           COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/resources/bitmaps/make_bitmaps.py --check)
endif()
