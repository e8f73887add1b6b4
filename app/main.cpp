// quelt: the profile editor.  Command line: none (New), or
//   SERVER new CLASS        a new profile of that class
//   SERVER edit NAME CLASS  the stored profile NAME of CLASS on SERVER
#include "app/quelt.h"
#include "app/settings.h"

// The one application object, made before main and gone after it.
CQueltApp theApp;

int main(int argc, char** argv) {
  // The program remembers its window and profiles; tests of its parts do not.
  EnableEditorSettings();
  return theApp.Main(argc, argv);
}
