// Reading the program's embedded resources (the bitmaps of quelt_resources)
// for the classes that keep Qt out of their own code.
#pragma once

#include <cstddef>
#include <vector>

// Reads the bitmap resource id whole into *bytes.  False, with *bytes
// empty, when there is no such resource, it cannot be read, or it holds
// more than maxBytes (refused before it is read).
bool ReadBitmapResource(unsigned id, size_t maxBytes, std::vector<unsigned char>* bytes);
