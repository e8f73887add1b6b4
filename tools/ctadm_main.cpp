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

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "ctadm - administer the profiles of CT servers.\n"
      "A server is a known server's name (see `ctadm servers`) or an address: host:port on this machine,\n"
      "grpcs://host:port, unix:/path/to/socket or embedded:/path/to/profiles.db.  Profiles are read and\n"
      "written as data-element text (docs/deif.md).  Exit status: 0 success, 1 failure."};
  app.require_subcommand(1);
  app.set_version_flag("--version", "ctadm " QUELT_VERSION);

  std::string serverOption;
  app.add_option("-s,--server", serverOption, "server name or address (default: $CTADM_SERVER, else the first known server)")
      ->envname("CTADM_SERVER");

  std::string name, profileClass, input, address;
  uint64_t revision = 0;
  bool update = false;
  bool showRevision = false;
  uint64_t ifRevision = 0;

  CLI::App* list = app.add_subcommand("list", "list the profiles: one line per profile, NAME<tab>CLASS");
  list->add_option("-c,--class", profileClass, "only profiles of this class");

  CLI::App* get = app.add_subcommand("get", "write a profile as data-element text on standard output");
  get->add_option("NAME", name, "profile name")->required();
  get->add_option("CLASS", profileClass, "profile class")->required();
  get->add_flag("--show-revision", showRevision,
                "also write the line \"revision N\" on standard error: the revision of the text given");

  CLI::App* put = app.add_subcommand("put", "store a profile from data-element text (a kvset)");
  put->add_option("NAME", name, "profile name")->required();
  put->add_option("CLASS", profileClass, "profile class")->required();
  put->add_option("FILE", input, "text file, or - for standard input")->required();
  put->add_flag("-u,--update", update, "replace the stored profile instead of adding a new one");
  put->add_option("--if-revision", ifRevision,
                  "replace the stored profile only while it is at revision N (see get --show-revision); "
                  "otherwise write nothing and fail")
      ->type_name("N")
      ->check(CLI::PositiveNumber);

  CLI::App* remove = app.add_subcommand("remove", "remove a profile");
  remove->add_option("NAME", name, "profile name")->required();
  remove->add_option("CLASS", profileClass, "profile class")->required();

  CLI::App* history = app.add_subcommand(
      "history", "list the revisions of a profile, newest first: REVISION<tab>TIME (UTC)<tab>current|old");
  history->add_option("NAME", name, "profile name")->required();
  history->add_option("CLASS", profileClass, "profile class")->required();

  CLI::App* restore = app.add_subcommand("restore", "make an old revision's content the current one");
  restore->add_option("NAME", name, "profile name")->required();
  restore->add_option("CLASS", profileClass, "profile class")->required();
  restore->add_option("REVISION", revision, "revision number (see history)")->required();

  ctadm::DiffRequest diffRequest;
  std::string diffFile;
  CLI::App* diff = app.add_subcommand(
      "diff",
      "show what differs between a profile (new) and a revision, a text file or another server's profile (old), "
      "one line each: + PATH = VALUE, - PATH = VALUE, ~ PATH: OLD -> NEW.  Exit status: 0 same, 1 different, "
      "2 trouble");
  diff->add_option("NAME", diffRequest.name, "profile name")->required();
  diff->add_option("CLASS", diffRequest.profileClass, "profile class")->required();
  diff->add_option("--revision", diffRequest.revision, "compare with this revision of the profile (see history)");
  diff->add_option("--file", diffFile, "compare with data-element text in this file (- for standard input)");
  diff->add_option("--with", diffRequest.with, "compare with the profile on SERVER (by default the same name and class)")
      ->expected(1, 3)
      ->type_name("SERVER [NAME CLASS]");
  diff->add_flag("--names", diffRequest.byName, "match keys and symbols by name (servers whose symbol tables differ)");

  CLI::App* symbols = app.add_subcommand("symbols", "list the server's symbol table: VALUE<tab>NAME");
  CLI::App* services =
      app.add_subcommand("services", "list the services: NAME<tab>STATE<tab>START MODE<tab>running|stopped");
  CLI::App* processes = app.add_subcommand("processes", "list the server processes: NAME<tab>running|stopped");
  CLI::App* level = app.add_subcommand("level", "show the server level");

  CLI::App* servers = app.add_subcommand("servers", "list the known servers in the registry: NAME<tab>ADDRESS");
  CLI::App* addServer = app.add_subcommand("add-server", "add or change a known server in the registry");
  addServer->add_option("NAME", name, "server name as the editor lists it")->required();
  addServer->add_option("ADDRESS", address, "where it is (empty: NAME is the host, port 7310)")->required();
  CLI::App* removeServer = app.add_subcommand("remove-server", "remove a known server from the registry");
  removeServer->add_option("NAME", name, "server name")->required();

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int status = app.exit(e);
    // diff's trouble is 2, as diff(1)'s is.
    return status != 0 && *diff ? 2 : status;
  }

  std::string error;
  // Failures of diff exit with 2: 1 means "different".
  auto fail = [&](const std::string& message) { return *diff ? Fail(message) + 1 : Fail(message); };

  // Before anything reads them: a FIFO would block ctadm for ever.
  if (std::string problem = ctadm::OptionFileProblem(); !problem.empty()) return fail(problem);

  // Registry commands need no server.
  if (*servers) {
    std::vector<ctadm::KnownServer> known;
    if (!ctadm::ListServers(&known, &error)) return Fail(error);
    for (const auto& s : known) {
      std::cout << s.name << "\t" << (s.usable ? s.address : "(not a text value)") << "\n";
    }
    return 0;
  }
  if (*addServer) return ctadm::AddServer(name, address, &error) ? 0 : Fail(error);
  if (*removeServer) return ctadm::RemoveServer(name, &error) ? 0 : Fail(error);

  std::string server;
  if (!ChooseServer(serverOption, &server, &error)) return fail(error);
  if (std::string problem = PortProblemOf(server, serverOption.empty()); !problem.empty()) return fail(problem);
  if (*diff && !diffFile.empty()) {
    if (!ReadInput(diffFile, &diffRequest.fileText, &error)) return fail(error);
    diffRequest.haveFile = true;
  }
  ctadm::AdminClient client;
  if (!client.Open(server, &error)) return fail(error);

  if (*diff) {
    const int status = ctadm::RunDiff(client, diffRequest, std::cout, &error);
    return status == 2 ? fail(error) : status;
  }

  if (*list) {
    std::vector<ctadm::ProfileEntry> profiles;
    if (!client.List(profileClass, &profiles, &error)) return Fail(error);
    for (const auto& p : profiles) std::cout << p.name << "\t" << p.profileClass << "\n";
    return 0;
  }
  if (*get) {
    std::string text;
    CT_ProfileVersion version{0, 0};
    if (!client.Get(name, profileClass, &text, &error, &version)) return Fail(error);
    if (text.empty() || text.back() != '\n') text += '\n';
    std::fwrite(text.data(), 1, text.size(), stdout);
    if (std::fflush(stdout) != 0) return Fail("cannot write the profile to standard output");
    if (showRevision) std::cerr << "revision " << version.revision << "\n";
    return 0;
  }
  if (*put) {
    std::string text;
    if (!ReadInput(input, &text, &error)) return Fail(error);
    // A revision to write over only makes sense for an update.
    bool conflict = false;
    if (client.Put(name, profileClass, text, update || ifRevision != 0, &error, ifRevision, &conflict)) return 0;
    if (!conflict) return Fail(error);
    // Which revision won is told when it can still be read.
    CT_ProfileVersion now{0, 0};
    QV_DataElement ignored;
    std::string why;
    const std::string which = "profile " + EchoText(name) + " [" + EchoText(profileClass) + "]";
    if (client.Fetch(name, profileClass, &ignored, &why, &now) && now.revision != 0) {
      return Fail(which + " is at revision " + std::to_string(now.revision) + ", not " + std::to_string(ifRevision) +
                  "; nothing was written");
    }
    return Fail(which + " is no longer at revision " + std::to_string(ifRevision) + "; nothing was written");
  }
  if (*remove) return client.Remove(name, profileClass, &error) ? 0 : Fail(error);
  if (*history) {
    std::vector<CT_RevisionInfo> revisions;
    if (!client.History(name, profileClass, &revisions, &error)) return Fail(error);
    for (const auto& r : revisions) {
      // A revision kept from before stored times were recorded has none.
      std::cout << r.revision << "\t" << (r.timeUnixMs > 0 ? UtcTime(r.timeUnixMs) : std::string("unknown")) << "\t" << (r.current ? "current" : "old") << "\n";
    }
    return 0;
  }
  if (*restore) {
    uint64_t current = 0;
    if (!client.Restore(name, profileClass, revision, &current, &error)) return Fail(error);
    std::cout << "restored revision " << revision << " as revision " << current << "\n";
    return 0;
  }
  if (*symbols) {
    std::vector<std::pair<uint32_t, std::string>> table;
    if (!client.Symbols(&table, &error)) return Fail(error);
    char value[16];
    for (const auto& [symbol, symbolName] : table) {
      std::snprintf(value, sizeof value, "0x%08X", symbol);
      std::cout << value << "\t" << symbolName << "\n";
    }
    return 0;
  }
  if (*services) {
    std::vector<ctadm::ServiceEntry> entries;
    if (!client.Services(&entries, &error)) return Fail(error);
    for (const auto& s : entries) {
      std::cout << s.name << "\t" << client.SymbolName(s.state) << "\t" << client.SymbolName(s.mode) << "\t"
                << (s.running ? "running" : "stopped") << "\n";
    }
    return 0;
  }
  if (*processes) {
    std::vector<ctadm::ProcessEntry> entries;
    if (!client.Processes(&entries, &error)) return Fail(error);
    for (const auto& p : entries) std::cout << p.name << "\t" << (p.running ? "running" : "stopped") << "\n";
    return 0;
  }
  if (*level) {
    int32_t value = 0;
    if (!client.Level(&value, &error)) return Fail(error);
    std::cout << value << "\n";
    return 0;
  }
  return Fail("no command given (see --help)");
}
