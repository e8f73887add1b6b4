// Reading the program's embedded resources (the bitmaps of quelt_resources,
// the help pages of quelt_help) for the code that keeps Qt out of its own.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Reads the bitmap resource id whole into *bytes.  False, with *bytes
// empty, when there is no such resource, it cannot be read, or it holds
// more than maxBytes (refused before it is read).
bool ReadBitmapResource(unsigned id, size_t maxBytes, std::vector<unsigned char>* bytes);

// The files beneath the embedded resource folder (e.g. "help"), each as its
// path relative to that folder ("index.html", "sub/page.html"), sorted.
// Empty when there is no such folder.
std::vector<std::string> ListResourceFolder(const std::string& folder);

// Reads the embedded resource file (e.g. "help/index.html") whole into
// *bytes.  False, with *bytes empty, when there is no such file, it cannot
// be read, or it holds more than maxBytes.
bool ReadResourceFile(const std::string& path, size_t maxBytes, std::string* bytes);
