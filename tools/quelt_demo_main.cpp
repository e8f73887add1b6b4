// quelt-demo: creates the demo installation the editor starts on, once.
#include <CLI/CLI.hpp>

#include <iostream>
#include <string>

#include "tools/demo_install.h"

int main(int argc, char** argv) {
  CLI::App app{"Creates the Quelt demo installation (registry file, help pages, demo profiles) once."};
  std::string folder;
  app.add_option("--dir", folder, "the demo folder (default: ${XDG_DATA_HOME:-~/.local/share}/quelt/demo)");
  CLI11_PARSE(app, argc, argv);
  if (folder.empty()) folder = demo::DefaultDemoFolder();
  if (folder.empty()) {
    std::cerr << "quelt-demo: no demo folder: give --dir, or set HOME or XDG_DATA_HOME\n";
    return 1;
  }
  bool created = false;
  std::string error;
  if (!demo::CreateDemo(folder, &created, &error)) {
    std::cerr << "quelt-demo: " << error << "\n";
    return 1;
  }
  std::cout << (created ? "Created the demo installation in " : "The demo installation is already in ") << folder
            << "\n";
  return 0;
}
