// quelt: the profile editor.  Command line: none (New), or
//   SERVER new CLASS        a new profile of that class
//   SERVER edit NAME CLASS  the stored profile NAME of CLASS on SERVER
#include "app/quelt.h"

// The one application object, made before main and gone after it.
CQueltApp theApp;

int main(int argc, char** argv) { return theApp.Main(argc, argv); }
