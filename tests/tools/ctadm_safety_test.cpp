// ctadm and the runtime with careless settings: ports out of range on the
// command line and in the registry, and a registry, token or authority file
// that is a FIFO.  Each must fail at once with one clear line, never hang.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <future>
#include <string>
#include <vector>

#include "s100/cterrors.h"
#include "s100/ctruntime.h"
#include "s100/runtime_address.h"
#include "tests/support/registry.h"
#include "tests/support/serverprocess.h"
#include "tests/support/tempdir.h"

namespace env = testsupport;

namespace {

struct Ran {
  int status = -1;  // 124: still running after the time limit
  std::string err;
};

std::string Quote(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

class CtadmSafety : public ::testing::Test {
 protected:
  Ran Ctadm(const std::vector<std::string>& args) {
    std::string command = "timeout 20 " + Quote(CTADM_PATH);
    for (const auto& a : args) command += " " + Quote(a);
    const std::string err = dir_.File("stderr");
    command += " </dev/null >/dev/null 2>" + Quote(err);
    const int raw = std::system(command.c_str());
    Ran run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.err = env::ReadFile(err);
    return run;
  }

  env::TempDir dir_;
};

TEST_F(CtadmSafety, PortsOutOfRangeAreRefusedOnTheCommandLineAndInTheRegistry) {
  const char* addresses[] = {"127.0.0.1:65536", "127.0.0.1:65537",     "127.0.0.1:99999",
                             "localhost:0",     "localhost:-1",        "localhost:1e3",
                             "[::1]:100000",    "dns:///localhost:65537", "grpcs://ct.example.com:70000"};
  for (const char* address : addresses) {
    // The runtime refuses it, literally and as a known server's value.
    ct::runtime::ServerAddress parsed;
    uint32_t error = 0;
    EXPECT_FALSE(ct::runtime::ParseAddress(address, &parsed, &error)) << address;
    env::RegistryContents reg;
    reg.servers["Bad"] = address;
    env::InstallRegistry(dir_.File("test.reg"), reg);
    error = 0;
    EXPECT_FALSE(ct::runtime::ResolveServer("Bad", &parsed, &error)) << address;
    EXPECT_EQ(error, ct::kErrBadAddress) << address;

    // ctadm names where the address came from and the allowed range.
    Ran literal = Ctadm({"--server", address, "list"});
    EXPECT_EQ(literal.status, 1) << address;
    EXPECT_NE(literal.err.find("--server: the port must be a decimal number from 1 to 65535"), std::string::npos)
        << literal.err;
    Ran known = Ctadm({"--server", "Bad", "list"});
    EXPECT_EQ(known.status, 1) << address;
    EXPECT_NE(known.err.find("server 'Bad' in"), std::string::npos) << known.err;
    EXPECT_NE(known.err.find("1 to 65535"), std::string::npos) << known.err;
    Ran added = Ctadm({"add-server", "Other", address});
    EXPECT_EQ(added.status, 1) << address;
    EXPECT_NE(added.err.find("1 to 65535"), std::string::npos) << added.err;
    EXPECT_EQ(env::ReadFile(dir_.File("test.reg")).find("Other"), std::string::npos) << "nothing was added";
  }
}

TEST_F(CtadmSafety, OptionFilesThatAreFifosAreRefusedWithOneLine) {
  const std::string fifo = dir_.File("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);

  struct Case {
    const char* what;
    bool registryIsFifo;
    bool tokenIsFifo;
    bool caIsFifo;
    const char* says;
  };
  const Case cases[] = {
      {"registry", true, false, false, "the registry file"},
      {"token", false, true, false, "the token file"},
      {"authority", false, false, true, "the authority file"},
  };
  for (const Case& c : cases) {
    env::RegistryContents reg;
    reg.servers["Remote"] = "grpcs://127.0.0.1:1";
    if (c.tokenIsFifo) reg.tokenFile = fifo;
    if (c.caIsFifo) reg.caFile = fifo;
    env::InstallRegistry(dir_.File("test.reg"), reg);
    if (c.registryIsFifo) ::setenv("HALDEN_REGISTRY", fifo.c_str(), 1);

    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"servers"}, std::vector<std::string>{"--server", "Remote", "list"}}) {
      Ran run = Ctadm(args);
      EXPECT_EQ(run.status, 1) << c.what << " " << args[0] << (run.status == 124 ? ": ctadm hung" : "");
      EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
      EXPECT_NE(run.err.find("is not a regular file"), std::string::npos) << run.err;
      EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << "one line: " << run.err;
    }

    // The runtime itself (as the editor uses it) fails at once as well.
    auto open = std::async(std::launch::async, [] {
      CT_Initialize(nullptr);
      CTkvs options = 0, reply = 0;
      CTkvs_Create(&options, nullptr);
      CTkvs_Create(&reply, nullptr);
      CTkvs_PutString(options, CT_KEY_SERVER_NAME, "Remote", nullptr);
      CT_ReplyRecord record = CT_MakeReplyRecord(reply);
      CTses handle = 0;
      const int result = CTses_Create(&handle, "safety test", 0, options, &record, 0);
      CTkvs_Destroy(options, nullptr);
      CTkvs_Destroy(reply, nullptr);
      CT_Shutdown(nullptr);
      return result;
    });
    if (open.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
      ADD_FAILURE() << c.what << ": the runtime blocked";
      const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);  // let it go
      if (fd >= 0) ::close(fd);
    }
    EXPECT_NE(open.get(), 1) << c.what;
  }
}

TEST_F(CtadmSafety, HugeInputIsEchoedCut) {
  env::RegistryContents reg;
  reg.servers["Local"] = "embedded:" + dir_.File("local.db");
  env::InstallRegistry(dir_.File("test.reg"), reg);
  const std::string huge(100000, 'n');
  const std::vector<std::vector<std::string>> cases = {
      {"--server", "Local", "get", huge, "C"},
      {"--server", "Local", "remove", "p", huge},
      {"--server", "Local", "put", "p", "C", dir_.File(huge.substr(0, 200) + "/" + huge.substr(0, 200))},
      {"--server", huge + ":99999", "list"},
      {"add-server", "x", huge},
  };
  for (const auto& args : cases) {
    Ran run = Ctadm(args);
    EXPECT_EQ(run.status, 1) << args[2].substr(0, 20);
    EXPECT_FALSE(run.err.empty());
    EXPECT_LT(run.err.size(), 1000u) << run.err.substr(0, 300);
  }
}

}  // namespace
