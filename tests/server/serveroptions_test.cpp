// Which addresses ctserver may listen on, and the token check.
#include <gtest/gtest.h>

#include <fstream>

#include "server/main/adminservice.h"
#include "server/main/serveroptions.h"
#include "server/main/tokencheck.h"
#include "tests/support/tempdir.h"

using ctserver::CheckListenPolicy;
using testsupport::TempDir;
using ctserver::IsLocalAddress;
using ctserver::ServerOptions;

TEST(ServerListenAddress, OnlyLoopbackAndLocalSocketsCountAsLocal) {
  for (const char* a : {"127.0.0.1:7310", "127.1.2.3:0", "localhost:7310", "[::1]:7310", "dns:///127.0.0.1:5",
                        "ipv4:127.0.0.1:5", "[::ffff:127.0.0.1]:9", "unix:/run/ctserver.sock", "unix-abstract:ct"}) {
    EXPECT_TRUE(IsLocalAddress(a)) << a;
  }
  for (const char* a : {"0.0.0.0:7310", "[::]:7310", "10.0.0.1:7310", "128.0.0.1:1", "example.com:7310",
                        "localhost.example.com:1", "[::2]:1", "[::ffff:10.0.0.1]:9", "127.0.0.1", "[::1]",
                        "[::1", ""}) {
    EXPECT_FALSE(IsLocalAddress(a)) << a;
  }
}

TEST(ServerListenAddress, BeyondLoopbackNeedsTlsAndAToken) {
  ServerOptions o;
  EXPECT_EQ(CheckListenPolicy(o), "");  // the default is loopback
  o.listen = "0.0.0.0:7310";
  EXPECT_NE(CheckListenPolicy(o), "");
  o.tokenFile = "/etc/ctserver/token";
  EXPECT_NE(CheckListenPolicy(o), "");
  o.tlsCert = "cert.pem";
  EXPECT_NE(CheckListenPolicy(o), "");  // a certificate without its key
  o.tlsKey = "key.pem";
  EXPECT_EQ(CheckListenPolicy(o), "");
  o.tokenFile.clear();
  EXPECT_NE(CheckListenPolicy(o), "");
}

TEST(ServerToken, ComparesWholeTextsOnly) {
  using ctserver::ConstantTimeEquals;
  EXPECT_TRUE(ConstantTimeEquals("Bearer abc", "Bearer abc"));
  EXPECT_FALSE(ConstantTimeEquals("Bearer abc", "Bearer abd"));
  EXPECT_FALSE(ConstantTimeEquals("Bearer ab", "Bearer abc"));
  EXPECT_FALSE(ConstantTimeEquals("Bearer abc", "Bearer ab"));
  EXPECT_FALSE(ConstantTimeEquals(std::string("Bearer a\0", 9), "Bearer a"));
  EXPECT_TRUE(ConstantTimeEquals("", ""));
}

TEST(ServerToken, ReadsTheFirstLineAndRefusesEmptyOrOddTokens) {
  TempDir dir;
  std::ofstream(dir.File("ok")) << "tok-en_1  \t\nsecond line\n";
  std::ofstream(dir.File("empty")) << "   \nlater\n";
  std::ofstream(dir.File("inner")) << "two words\n";
  std::ofstream(dir.File("long")) << std::string(5000, 'a') << "\n";
  ctserver::TokenCheck check;
  std::string error;
  EXPECT_TRUE(check.AllowsHeader("anything"));  // no token file: no token needed
  ASSERT_TRUE(check.Load(dir.File("ok"), &error)) << error;
  EXPECT_TRUE(check.enabled());
  EXPECT_TRUE(check.AllowsHeader("Bearer tok-en_1"));
  EXPECT_FALSE(check.AllowsHeader("Bearer tok-en_1  "));
  EXPECT_FALSE(check.AllowsHeader("bearer tok-en_1"));
  EXPECT_FALSE(check.AllowsHeader("tok-en_1"));
  EXPECT_FALSE(check.AllowsHeader(""));

  for (const char* bad : {"empty", "inner", "long", "missing"}) {
    ctserver::TokenCheck t;
    error.clear();
    EXPECT_FALSE(t.Load(dir.File(bad), &error)) << bad;
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(error.find("two words"), std::string::npos);  // the file's text is not echoed
  }
}

TEST(ServerLogText, EscapesControlBytesAndCapsTheLength) {
  EXPECT_EQ(ctserver::LogText("plain name"), "plain name");
  EXPECT_EQ(ctserver::LogText("a\nb\x1b[2J\\"), "a\\x0ab\\x1b[2J\\x5c");
  const std::string shown = ctserver::LogText(std::string(300, 'x'));
  EXPECT_EQ(shown, std::string(255, 'x') + "...");
}
