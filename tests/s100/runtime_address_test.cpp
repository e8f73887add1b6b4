// Server addresses: the forms a known server's data may take, the loopback
// rule for plain gRPC, the lookup among the known servers and the runtime's
// own settings.
#include <gtest/gtest.h>

#include "platform/registry.h"
#include "s100/cterrors.h"
#include "s100/runtime_address.h"
#include "tests/support/registry.h"
#include "tests/support/serverprocess.h"
#include "tests/support/tempdir.h"

using namespace ct::runtime;
namespace env = testsupport;

namespace {

ServerAddress Parsed(const std::string& text) {
  ServerAddress address;
  uint32_t error = 0;
  EXPECT_TRUE(ParseAddress(text, &address, &error)) << text;
  return address;
}

uint32_t ParseError(const std::string& text) {
  ServerAddress address;
  uint32_t error = 0;
  EXPECT_FALSE(ParseAddress(text, &address, &error)) << text;
  return error;
}

TEST(RuntimeAddress, EveryFormOfAddressParses) {
  const struct {
    const char* text;
    AddressKind kind;
    const char* target;
  } cases[] = {
      {"127.0.0.1:7310", AddressKind::Plain, "127.0.0.1:7310"},
      {"dns:///localhost:9000", AddressKind::Plain, "dns:///localhost:9000"},
      {"[::1]:7310", AddressKind::Plain, "[::1]:7310"},
      {"grpcs://ct01.example.com:7443", AddressKind::Tls, "ct01.example.com:7443"},
      {"unix:/run/ctserver.sock", AddressKind::Unix, "unix:/run/ctserver.sock"},
      {"  embedded:/var/lib/quelt/profiles.db \r\n", AddressKind::Embedded, "/var/lib/quelt/profiles.db"},
  };
  for (const auto& c : cases) {
    const ServerAddress a = Parsed(c.text);
    EXPECT_EQ(a.kind, c.kind) << c.text;
    EXPECT_EQ(a.target, c.target) << c.text;
  }
}

TEST(RuntimeAddress, MalformedAddressesAreRefused) {
  for (const char* text : {"", "localhost", "localhost:", "localhost:0", "localhost:65536", "localhost:12ab",
                           "embedded:", "unix:", "grpcs://", "grpcs://host", "a:b:c", "local host:7310",
                           "localhost:7310\n7311"}) {
    EXPECT_EQ(ParseError(text), ct::kErrBadAddress) << text;
  }
}

TEST(RuntimeAddress, PlainGrpcOnlyToThisMachine) {
  EXPECT_EQ(ParseError("10.0.0.5:7310"), ct::kErrBadAddress);
  EXPECT_EQ(ParseError("dns:///ct01.example.com:7310"), ct::kErrBadAddress);
  EXPECT_EQ(ParseError("127.evil.example:7310"), ct::kErrBadAddress);

  for (const char* host : {"localhost", "LocalHost", "127.0.0.1", "127.255.3.4", "::1", "[::1]"}) {
    EXPECT_TRUE(IsLoopbackHost(host)) << host;
  }
  for (const char* host : {"128.0.0.1", "127.0.0", "127.0.0.256", "127.0.0.1.5", "127..0.1", "localhost.", "::2"}) {
    EXPECT_FALSE(IsLoopbackHost(host)) << host;
  }
}

TEST(RuntimeAddress, HostNameAloneUsesDefaultPortAndTlsAwayFromLoopback) {
  ServerAddress a;
  uint32_t error = 0;
  ASSERT_TRUE(AddressForHostName("localhost", &a, &error));
  EXPECT_EQ(a.kind, AddressKind::Plain);
  EXPECT_EQ(a.target, "localhost:7310");
  ASSERT_TRUE(AddressForHostName("ct01", &a, &error));
  EXPECT_EQ(a.kind, AddressKind::Tls);
  EXPECT_EQ(a.target, "ct01:7310");
  EXPECT_FALSE(AddressForHostName("two words", &a, &error));
  EXPECT_EQ(error, ct::kErrBadAddress);
}

class RuntimeRegistry : public ::testing::Test {
 protected:
  env::TempDir dir_;
  std::string file_ = dir_.File("test.reg");
};

TEST_F(RuntimeRegistry, KnownServersResolveByName) {
  env::RegistryContents reg;
  reg.servers = {{"Local", "embedded:/tmp/x.db"}, {"localhost", ""}, {"Remote", "grpcs://ct02:7443"},
                 {"Broken", "not an address"}};
  env::InstallRegistry(file_, reg);

  ServerAddress a;
  uint32_t error = 0;
  ASSERT_TRUE(ResolveServer("Local", &a, &error));
  EXPECT_EQ(a.kind, AddressKind::Embedded);
  EXPECT_EQ(a.target, "/tmp/x.db");
  ASSERT_TRUE(ResolveServer("localhost", &a, &error));
  EXPECT_EQ(a.target, "localhost:7310");
  ASSERT_TRUE(ResolveServer("Remote", &a, &error));
  EXPECT_EQ(a.kind, AddressKind::Tls);

  EXPECT_FALSE(ResolveServer("Broken", &a, &error));
  EXPECT_EQ(error, ct::kErrBadAddress);
}

TEST_F(RuntimeRegistry, UnknownNamesFailUnlessTheyAreAddresses) {
  env::InstallRegistry(file_, {});
  ServerAddress a;
  uint32_t error = 0;
  EXPECT_FALSE(ResolveServer("Nowhere", &a, &error));
  EXPECT_EQ(error, ct::kErrUnknownServer);
  EXPECT_FALSE(ResolveServer("", &a, &error));
  EXPECT_EQ(error, ct::kErrUnknownServer);
  EXPECT_FALSE(ResolveServer(std::string(300, 'a'), &a, &error));
  EXPECT_EQ(error, ct::kErrUnknownServer);

  ASSERT_TRUE(ResolveServer("127.0.0.1:9999", &a, &error));
  EXPECT_EQ(a.target, "127.0.0.1:9999");
  ASSERT_TRUE(ResolveServer("embedded:/tmp/y.db", &a, &error));
  EXPECT_EQ(a.kind, AddressKind::Embedded);
}

TEST_F(RuntimeRegistry, KnownNameWinsOverLiteralAddress) {
  env::RegistryContents reg;
  reg.servers = {{"127.0.0.1:1234", "embedded:/tmp/z.db"}};
  env::InstallRegistry(file_, reg);
  ServerAddress a;
  uint32_t error = 0;
  ASSERT_TRUE(ResolveServer("127.0.0.1:1234", &a, &error));
  EXPECT_EQ(a.kind, AddressKind::Embedded);
}

TEST_F(RuntimeRegistry, ServerValueOfWrongTypeIsRefused) {
  env::WriteFile(file_,
                 "Windows Registry Editor Version 5.00\n\n"
                 "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Velcor\\Halden Client\\Servers\\TRNW_Administration]\n"
                 "\"Numbered\"=dword:00000001\n");
  setenv("HALDEN_REGISTRY", file_.c_str(), 1);
  RegReloadFile();
  ServerAddress a;
  uint32_t error = 0;
  EXPECT_FALSE(ResolveServer("Numbered", &a, &error));
  EXPECT_EQ(error, ct::kErrBadAddress);
}

TEST_F(RuntimeRegistry, SettingsDefaultWhenMissing) {
  env::InstallRegistry(file_, {});
  const RuntimeSettings s = ReadRuntimeSettings();
  EXPECT_EQ(s.connectTimeoutMs, 5000u);
  EXPECT_EQ(s.callTimeoutMs, 30000u);
  EXPECT_TRUE(s.tokenFile.empty());
  EXPECT_TRUE(s.caFile.empty());
}

TEST_F(RuntimeRegistry, SettingsAreReadAndKeptInBounds) {
  env::RegistryContents reg;
  reg.connectTimeoutMs = 1200;
  reg.callTimeoutMs = 0xFFFFFFFF;
  reg.tokenFile = "/etc/velcor/token";
  reg.caFile = "/etc/velcor/ca.pem";
  env::InstallRegistry(file_, reg);
  RuntimeSettings s = ReadRuntimeSettings();
  EXPECT_EQ(s.connectTimeoutMs, 1200u);
  EXPECT_EQ(s.callTimeoutMs, 3600000u);
  EXPECT_EQ(s.tokenFile, "/etc/velcor/token");
  EXPECT_EQ(s.caFile, "/etc/velcor/ca.pem");

  reg.connectTimeoutMs = 0;  // would mean "never wait"
  env::InstallRegistry(file_, reg);
  s = ReadRuntimeSettings();
  EXPECT_EQ(s.connectTimeoutMs, 50u);
}

TEST_F(RuntimeRegistry, TimeoutOfWrongTypeKeepsDefault) {
  env::WriteFile(file_,
                 "Windows Registry Editor Version 5.00\n\n"
                 "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Velcor\\Halden Client\\Runtime]\n"
                 "\"ConnectTimeoutMs\"=\"1000\"\n");
  setenv("HALDEN_REGISTRY", file_.c_str(), 1);
  RegReloadFile();
  EXPECT_EQ(ReadRuntimeSettings().connectTimeoutMs, 5000u);
}

}  // namespace
