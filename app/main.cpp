// quelt: the profile editor.  Command line: none (New), or
//   SERVER new CLASS        a new profile of that class
//   SERVER edit NAME CLASS  the stored profile NAME of CLASS on SERVER
// --version and --help answer on standard output without opening a window.
#include <cstdio>
#include <cstring>

#include "app/quelt.h"
#include "app/settings.h"
#include "quelt_version.h"

// The one application object, made before main and gone after it.
CQueltApp theApp;

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("quelt %s\n", QUELT_VERSION);
    return 0;
  }
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::printf(
        "Usage: quelt [SERVER new CLASS | SERVER edit NAME CLASS]\n"
        "The profile editor for CT servers.  Without arguments it starts a new profile;\n"
        "SERVER new CLASS starts a new profile of that class for a known server, and\n"
        "SERVER edit NAME CLASS opens a stored profile.  Known servers are read from\n"
        "the registry file ($HALDEN_REGISTRY, else /etc/velcor/halden-client.reg).\n"
        "  --help     show this text\n"
        "  --version  show the version\n"
        "See quelt(1).\n");
    return 0;
  }
  // The program remembers its window and profiles; tests of its parts do not.
  EnableEditorSettings();
  return theApp.Main(argc, argv);
}
