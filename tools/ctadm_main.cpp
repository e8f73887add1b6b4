// ctadm: the administrator's command line for CT servers.  It lists, gets,
// puts and removes profiles as data-element text, shows revisions, symbols,
// services, processes and the server level, and manages the known servers
// in the registry file.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <ctime>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "platform/fileio.h"
#include "quelt_version.h"
#include "s100/deif.h"
#include "tools/ctadm_client.h"
#include "tools/ctadm_diff.h"
#include "tools/ctadm_servers.h"

namespace {

int Fail(const std::string& message) {
  std::cerr << "ctadm: " << message << "\n";
  return 1;
}

// Reads a whole file, or standard input for "-", up to the text limit.
bool ReadInput(const std::string& path, std::string* text, std::string* error) {
  std::ifstream file;
  std::istream* in = &std::cin;
  if (path != "-") {
    file.open(path, std::ios::binary);
    if (!file) {
      *error = "cannot open " + EchoText(path);
      return false;
    }
    in = &file;
  }
  text->clear();
  char chunk[65536];
  while (in->read(chunk, sizeof chunk) || in->gcount() > 0) {
    text->append(chunk, static_cast<size_t>(in->gcount()));
    if (text->size() > kDeifMaxTextBytes) {
      *error = (path == "-" ? std::string("standard input") : EchoText(path)) + " is larger than 64 MiB";
      return false;
    }
  }
  if (in->bad()) {
    *error = "cannot read " + EchoText(path);
    return false;
  }
  return true;
}

std::string UtcTime(int64_t unixMs) {
  const std::time_t seconds = static_cast<std::time_t>(unixMs / 1000);
  std::tm parts{};
  gmtime_r(&seconds, &parts);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
  return text;
}

// The server to use: the option, else the first known server.
bool ChooseServer(const std::string& option, std::string* server, std::string* error) {
  if (!option.empty()) {
    *server = option;
    return true;
  }
  std::vector<ctadm::KnownServer> servers;
  if (!ctadm::ListServers(&servers, error)) return false;
  for (const auto& s : servers) {
    if (s.usable) {
      *server = s.name;
      return true;
    }
  }
  *error = "no server given (--server) and no known server in " + ctadm::RegistryFile();
  return false;
}

// A bad port in the server's address, named by where it was given: the
// server option or the known server's value in the registry.
std::string PortProblemOf(const std::string& server, bool fromRegistry) {
  std::vector<ctadm::KnownServer> servers;
  std::string ignored;
  if (ctadm::ListServers(&servers, &ignored)) {
    for (const auto& s : servers) {
      if (s.name != server || !s.usable) continue;
      const std::string problem = ctadm::PortProblem(s.address);
      if (problem.empty()) return problem;
      return "server '" + EchoText(server) + "' in " + ctadm::RegistryFile() + ": " + problem;
    }
  }
  if (fromRegistry) return std::string();
  const std::string problem = ctadm::PortProblem(server);
  return problem.empty() ? problem : "--server: " + problem;
}

// What the command line gave: the options of every subcommand and which
// subcommand was chosen.
struct Command {
  std::string serverOption;
  std::string name, profileClass, input, address;
  uint64_t revision = 0;
  bool update = false;
  bool showRevision = false;
  uint64_t ifRevision = 0;
  ctadm::DiffRequest diffRequest;
  std::string diffFile;

  CLI::App* list = nullptr;
  CLI::App* get = nullptr;
  CLI::App* put = nullptr;
  CLI::App* remove = nullptr;
  CLI::App* history = nullptr;
  CLI::App* restore = nullptr;
  CLI::App* diff = nullptr;
  CLI::App* symbols = nullptr;
  CLI::App* services = nullptr;
  CLI::App* processes = nullptr;
  CLI::App* level = nullptr;
  CLI::App* servers = nullptr;
  CLI::App* addServer = nullptr;
  CLI::App* removeServer = nullptr;
};

// A subcommand that names a profile: NAME and CLASS, both required.
CLI::App* AddProfileCommand(CLI::App& app, Command& c, const char* command, const char* description) {
  CLI::App* sub = app.add_subcommand(command, description);
  sub->add_option("NAME", c.name, "profile name")->required();
  sub->add_option("CLASS", c.profileClass, "profile class")->required();
  return sub;
}

void DefineProfileCommands(CLI::App& app, Command& c) {
  c.list = app.add_subcommand("list", "list the profiles: one line per profile, NAME<tab>CLASS");
  c.list->add_option("-c,--class", c.profileClass, "only profiles of this class");

  c.get = AddProfileCommand(app, c, "get", "write a profile as data-element text on standard output");
  c.get->add_flag("--show-revision", c.showRevision,
                  "also write the line \"revision N\" on standard error: the revision of the text given");

  c.put = AddProfileCommand(app, c, "put", "store a profile from data-element text (a kvset)");
  c.put->add_option("FILE", c.input, "text file, or - for standard input")->required();
  c.put->add_flag("-u,--update", c.update, "replace the stored profile instead of adding a new one");
  c.put->add_option("--if-revision", c.ifRevision,
                    "replace the stored profile only while it is at revision N (see get --show-revision); "
                    "otherwise write nothing and fail")
      ->type_name("N")
      ->check(CLI::PositiveNumber);

  c.remove = AddProfileCommand(app, c, "remove", "remove a profile");
  c.history = AddProfileCommand(
      app, c, "history", "list the revisions of a profile, newest first: REVISION<tab>TIME (UTC)<tab>current|old");
  c.restore = AddProfileCommand(app, c, "restore", "make an old revision's content the current one");
  c.restore->add_option("REVISION", c.revision, "revision number (see history)")->required();

  ctadm::DiffRequest& d = c.diffRequest;
  c.diff = app.add_subcommand(
      "diff",
      "show what differs between a profile (new) and a revision, a text file or another server's profile (old), "
      "one line each: + PATH = VALUE, - PATH = VALUE, ~ PATH: OLD -> NEW.  Exit status: 0 same, 1 different, "
      "2 trouble");
  c.diff->add_option("NAME", d.name, "profile name")->required();
  c.diff->add_option("CLASS", d.profileClass, "profile class")->required();
  c.diff->add_option("--revision", d.revision, "compare with this revision of the profile (see history)");
  c.diff->add_option("--file", c.diffFile, "compare with data-element text in this file (- for standard input)");
  c.diff->add_option("--with", d.with, "compare with the profile on SERVER (by default the same name and class)")
      ->expected(1, 3)
      ->type_name("SERVER [NAME CLASS]");
  c.diff->add_flag("--names", d.byName, "match keys and symbols by name (servers whose symbol tables differ)");
}

void DefineServerCommands(CLI::App& app, Command& c) {
  c.symbols = app.add_subcommand("symbols", "list the server's symbol table: VALUE<tab>NAME");
  c.services =
      app.add_subcommand("services", "list the services: NAME<tab>STATE<tab>START MODE<tab>running|stopped");
  c.processes = app.add_subcommand("processes", "list the server processes: NAME<tab>running|stopped");
  c.level = app.add_subcommand("level", "show the server level");

  c.servers = app.add_subcommand("servers", "list the known servers in the registry: NAME<tab>ADDRESS");
  c.addServer = app.add_subcommand("add-server", "add or change a known server in the registry");
  c.addServer->add_option("NAME", c.name, "server name as the editor lists it")->required();
  c.addServer->add_option("ADDRESS", c.address, "where it is (empty: NAME is the host, port 7310)")->required();
  c.removeServer = app.add_subcommand("remove-server", "remove a known server from the registry");
  c.removeServer->add_option("NAME", c.name, "server name")->required();
}

// Registry commands need no server.  Returns -1 when the command is not one.
int RunRegistryCommand(const Command& c) {
  std::string error;
  if (*c.servers) {
    std::vector<ctadm::KnownServer> known;
    if (!ctadm::ListServers(&known, &error)) return Fail(error);
    for (const auto& s : known) {
      std::cout << s.name << "\t" << (s.usable ? s.address : "(not a text value)") << "\n";
    }
    return 0;
  }
  if (*c.addServer) return ctadm::AddServer(c.name, c.address, &error) ? 0 : Fail(error);
  if (*c.removeServer) return ctadm::RemoveServer(c.name, &error) ? 0 : Fail(error);
  return -1;
}

int RunGet(ctadm::AdminClient& client, const Command& c) {
  std::string text, error;
  CT_ProfileVersion version{0, 0};
  if (!client.Get(c.name, c.profileClass, &text, &error, &version)) return Fail(error);
  if (text.empty() || text.back() != '\n') text += '\n';
  std::fwrite(text.data(), 1, text.size(), stdout);
  if (std::fflush(stdout) != 0) return Fail("cannot write the profile to standard output");
  if (c.showRevision) std::cerr << "revision " << version.revision << "\n";
  return 0;
}

int RunPut(ctadm::AdminClient& client, const Command& c) {
  std::string text, error;
  if (!ReadInput(c.input, &text, &error)) return Fail(error);
  // A revision to write over only makes sense for an update.
  bool conflict = false;
  if (client.Put(c.name, c.profileClass, text, c.update || c.ifRevision != 0, &error, c.ifRevision, &conflict)) {
    return 0;
  }
  if (!conflict) return Fail(error);
  // Which revision won is told when it can still be read.
  CT_ProfileVersion now{0, 0};
  QV_DataElement ignored;
  std::string why;
  const std::string which =
      "profile " + EchoText(c.name) + " [" + EchoText(c.profileClass) + "]";
  if (client.Fetch(c.name, c.profileClass, &ignored, &why, &now) && now.revision != 0) {
    return Fail(which + " is at revision " + std::to_string(now.revision) + ", not " +
                std::to_string(c.ifRevision) + "; nothing was written");
  }
  return Fail(which + " is no longer at revision " + std::to_string(c.ifRevision) + "; nothing was written");
}

int RunHistory(ctadm::AdminClient& client, const Command& c) {
  std::string error;
  std::vector<CT_RevisionInfo> revisions;
  if (!client.History(c.name, c.profileClass, &revisions, &error)) return Fail(error);
  for (const auto& r : revisions) {
    // A revision kept from before stored times were recorded has none.
    std::cout << r.revision << "\t" << (r.timeUnixMs > 0 ? UtcTime(r.timeUnixMs) : std::string("unknown")) << "\t"
              << (r.current ? "current" : "old") << "\n";
  }
  return 0;
}

int RunSymbols(ctadm::AdminClient& client) {
  std::string error;
  std::vector<std::pair<uint32_t, std::string>> table;
  if (!client.Symbols(&table, &error)) return Fail(error);
  char value[16];
  for (const auto& [symbol, symbolName] : table) {
    std::snprintf(value, sizeof value, "0x%08X", symbol);
    std::cout << value << "\t" << symbolName << "\n";
  }
  return 0;
}

int RunServices(ctadm::AdminClient& client) {
  std::string error;
  std::vector<ctadm::ServiceEntry> entries;
  if (!client.Services(&entries, &error)) return Fail(error);
  for (const auto& s : entries) {
    std::cout << s.name << "\t" << client.SymbolName(s.state) << "\t" << client.SymbolName(s.mode) << "\t"
              << (s.running ? "running" : "stopped") << "\n";
  }
  return 0;
}

// The commands that talk to a server, once it is open.
int RunServerCommand(ctadm::AdminClient& client, const Command& c) {
  std::string error;
  if (*c.list) {
    std::vector<ctadm::ProfileEntry> profiles;
    if (!client.List(c.profileClass, &profiles, &error)) return Fail(error);
    for (const auto& p : profiles) std::cout << p.name << "\t" << p.profileClass << "\n";
    return 0;
  }
  if (*c.get) return RunGet(client, c);
  if (*c.put) return RunPut(client, c);
  if (*c.remove) return client.Remove(c.name, c.profileClass, &error) ? 0 : Fail(error);
  if (*c.history) return RunHistory(client, c);
  if (*c.restore) {
    uint64_t current = 0;
    if (!client.Restore(c.name, c.profileClass, c.revision, &current, &error)) return Fail(error);
    std::cout << "restored revision " << c.revision << " as revision " << current << "\n";
    return 0;
  }
  if (*c.symbols) return RunSymbols(client);
  if (*c.services) return RunServices(client);
  if (*c.processes) {
    std::vector<ctadm::ProcessEntry> entries;
    if (!client.Processes(&entries, &error)) return Fail(error);
    for (const auto& p : entries) std::cout << p.name << "\t" << (p.running ? "running" : "stopped") << "\n";
    return 0;
  }
  if (*c.level) {
    int32_t value = 0;
    if (!client.Level(&value, &error)) return Fail(error);
    std::cout << value << "\n";
    return 0;
  }
  return Fail("no command given (see --help)");
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "ctadm - administer the profiles of CT servers.\n"
      "A server is a known server's name (see `ctadm servers`) or an address: host:port on this machine,\n"
      "grpcs://host:port, unix:/path/to/socket or embedded:/path/to/profiles.db.  Profiles are read and\n"
      "written as data-element text (docs/deif.md).  Exit status: 0 success, 1 failure."};
  app.require_subcommand(1);
  app.set_version_flag("--version", "ctadm " QUELT_VERSION);

  Command c;
  app.add_option("-s,--server", c.serverOption,
                 "server name or address (default: $CTADM_SERVER, else the first known server)")
      ->envname("CTADM_SERVER");
  DefineProfileCommands(app, c);
  DefineServerCommands(app, c);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int status = app.exit(e);
    // diff's trouble is 2, as diff(1)'s is.
    return status != 0 && *c.diff ? 2 : status;
  }

  std::string error;
  // Failures of diff exit with 2: 1 means "different".
  auto fail = [&](const std::string& message) { return *c.diff ? Fail(message) + 1 : Fail(message); };

  // Before anything reads them: a FIFO would block ctadm for ever.
  if (std::string problem = ctadm::OptionFileProblem(); !problem.empty()) return fail(problem);
  if (const int status = RunRegistryCommand(c); status >= 0) return status;

  std::string server;
  if (!ChooseServer(c.serverOption, &server, &error)) return fail(error);
  if (std::string problem = PortProblemOf(server, c.serverOption.empty()); !problem.empty()) return fail(problem);
  if (*c.diff && !c.diffFile.empty()) {
    if (!ReadInput(c.diffFile, &c.diffRequest.fileText, &error)) return fail(error);
    c.diffRequest.haveFile = true;
  }
  ctadm::AdminClient client;
  if (!client.Open(server, &error)) return fail(error);

  if (*c.diff) {
    const int status = ctadm::RunDiff(client, c.diffRequest, std::cout, &error);
    return status == 2 ? fail(error) : status;
  }
  return RunServerCommand(client, c);
}
