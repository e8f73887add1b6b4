# The node icons: one device-independent bitmap, and the store of all eleven.
list(APPEND EDITOR_TREE_SOURCES dibitmap.cpp bmstore.cpp)
