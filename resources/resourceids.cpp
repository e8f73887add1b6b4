#include "resources/resourceids.h"

std::string BitmapResourcePath(unsigned id) { return ":/bitmaps/" + std::to_string(id) + ".bmp"; }
