// The known servers: the values of the registry's known-servers key, whose
// names the editor lists and whose data says where each server is.
#pragma once

#include <string>
#include <vector>

namespace ctadm {

struct KnownServer {
  std::string name;
  std::string address;  // empty: the name is the host, on the default port
  bool usable = true;   // false when the value is not a text value
};

// The registry file in use ($HALDEN_REGISTRY or the installation's).
std::string RegistryFile();

bool ListServers(std::vector<KnownServer>* servers, std::string* error);
// Adds or replaces a known server; the address must be one the runtime can
// use (or empty).
bool AddServer(const std::string& name, const std::string& address, std::string* error);
bool RemoveServer(const std::string& name, std::string* error);

// Empty when an address has no port or a plain decimal one from 1 to 65535;
// otherwise what is wrong with it, naming the allowed range.
std::string PortProblem(const std::string& address);

// Empty when the registry file and the files it names for the runtime (the
// token and the trusted authorities) are regular files or missing;
// otherwise one line that says which is not.  A FIFO there would block.
std::string OptionFileProblem();

}  // namespace ctadm
