# The device-independent bitmap, the icon store and the icons themselves.
quelt_test(tree_icons
  SOURCES dibitmap_test.cpp bmstore_test.cpp iconsheet_test.cpp
  LIBS editor_tree)
# For running the binary outside ctest, which sets these in the environment.
target_compile_definitions(tree_icons PRIVATE
  QUELT_DEFAULT_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
  QUELT_DEFAULT_BINARY_DIR="${PROJECT_BINARY_DIR}")
