// ctadm as an administrator runs it: text round trips through put and get
// on an embedded file and on a real ctserver, revisions, the messages and
// exit status of failures, the known-servers commands and the help text.
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/registry.h"
#include "tests/support/serverprocess.h"
#include "tests/support/tempdir.h"

namespace env = testsupport;

namespace {

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

std::string ShellQuote(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out += c;
    }
  }
  return out + "'";
}

// A profile with several kinds, in the text an administrator would write
// (not necessarily in the form ctadm writes back).
const char* kHandWritten =
    "kvset {\n"
    "  Admin_ProfileNames = int -5;\n"
    "  #28673 = uint 4294967295;\n"
    "  #28674 = bool 1;\n"
    "  #28675 = symbol Service_Auto;\n"
    "  #28676 = float -0.0;\n"
    "  #28677 = irange -3 to 9;\n"
    "  #28678 = frange 0.5 to 2.5;\n"
    "  #28679 = string \"a \\\"quoted\\\" text\\n\";\n"
    "  #28680 = array int [1, 2, 3];\n"
    "  #28681 = array string [];\n"
    "  #28682 = array array [array int [1], array string [\"a\"]];\n"
    "  #28683 = kvset { #1 = int 1; };\n"
    "}\n";

class Ctadm : public ::testing::Test {
 protected:
  void SetUp() override {
    reg_.servers["Local"] = "embedded:" + dir_.File("local.db");
    env::InstallRegistry(dir_.File("test.reg"), reg_);
  }

  // Runs ctadm with the arguments; standard input from `input` when given.
  Outcome Invoke(const std::vector<std::string>& args, const std::string& input = "") {
    std::string command = ShellQuote(CTADM_PATH);
    for (const auto& a : args) command += " " + ShellQuote(a);
    const std::string in = dir_.File("stdin"), out = dir_.File("stdout"), err = dir_.File("stderr");
    env::WriteFile(in, input);
    command += " < " + ShellQuote(in) + " > " + ShellQuote(out) + " 2> " + ShellQuote(err);
    Outcome run;
    const int raw = std::system(command.c_str());
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = env::ReadFile(out);
    run.err = env::ReadFile(err);
    return run;
  }

  // put NAME from text, then get it back.
  std::string PutAndGet(const std::string& server, const std::string& name, const std::string& text) {
    const std::string file = dir_.File(name + ".txt");
    env::WriteFile(file, text);
    Outcome put = Invoke({"--server", server, "put", name, "Fax", file});
    EXPECT_EQ(put.status, 0) << put.err;
    Outcome get = Invoke({"--server", server, "get", name, "Fax"});
    EXPECT_EQ(get.status, 0) << get.err;
    return get.out;
  }

  void RoundTrip(const std::string& server) {
    const std::string written = PutAndGet(server, "First", kHandWritten);
    ASSERT_FALSE(written.empty());
    EXPECT_NE(written.find("Admin_ProfileNames"), std::string::npos) << "keys come back by name";
    EXPECT_NE(written.find("Service_Auto"), std::string::npos) << "symbols come back by name";
    // What ctadm writes, put back, comes back byte for byte.
    EXPECT_EQ(PutAndGet(server, "Second", written), written);
  }

  env::TempDir dir_;
  env::RegistryContents reg_;
};

TEST_F(Ctadm, TextRoundTripsThroughAnEmbeddedFile) { RoundTrip("Local"); }

TEST_F(Ctadm, TextRoundTripsThroughARunningServer) {
  if (!env::HaveServerBinary()) GTEST_SKIP() << "built without ctserver";
  env::ServerProcess server(dir_.path());
  ASSERT_TRUE(server.Start()) << server.Log();
  RoundTrip(server.address());  // a literal address, not a known server
}

TEST_F(Ctadm, StandardInputAndTheDefaultServer) {
  Outcome put = Invoke({"put", "FromStdin", "Fax", "-"}, kHandWritten);
  ASSERT_EQ(put.status, 0) << put.err;
  Outcome list = Invoke({"list"});
  ASSERT_EQ(list.status, 0) << list.err;
  EXPECT_EQ(list.out, "FromStdin\tFax\n");
}

TEST_F(Ctadm, ListFiltersByClass) {
  env::WriteFile(dir_.File("p.txt"), "kvset { #1 = int 1; }\n");
  ASSERT_EQ(Invoke({"put", "A1", "Fax", dir_.File("p.txt")}).status, 0);
  ASSERT_EQ(Invoke({"put", "A2", "Voice", dir_.File("p.txt")}).status, 0);
  Outcome all = Invoke({"list"});
  EXPECT_NE(all.out.find("A1\tFax\n"), std::string::npos);
  EXPECT_NE(all.out.find("A2\tVoice\n"), std::string::npos);
  Outcome voice = Invoke({"list", "--class", "Voice"});
  EXPECT_EQ(voice.out, "A2\tVoice\n");
}

TEST_F(Ctadm, UpdateHistoryAndRestore) {
  env::WriteFile(dir_.File("v1.txt"), "kvset { #1 = int 1; }\n");
  env::WriteFile(dir_.File("v2.txt"), "kvset { #1 = int 2; }\n");
  ASSERT_EQ(Invoke({"put", "P", "Fax", dir_.File("v1.txt")}).status, 0);
  const std::string first = Invoke({"get", "P", "Fax"}).out;
  ASSERT_EQ(Invoke({"put", "--update", "P", "Fax", dir_.File("v2.txt")}).status, 0);
  EXPECT_NE(Invoke({"get", "P", "Fax"}).out, first);

  Outcome history = Invoke({"history", "P", "Fax"});
  ASSERT_EQ(history.status, 0) << history.err;
  const size_t firstLineEnd = history.out.find('\n');
  ASSERT_NE(firstLineEnd, std::string::npos);
  EXPECT_NE(history.out.substr(0, firstLineEnd).find("current"), std::string::npos);
  const std::string second = history.out.substr(firstLineEnd + 1);
  const std::string oldRevision = second.substr(0, second.find('\t'));
  ASSERT_FALSE(oldRevision.empty());

  Outcome restore = Invoke({"restore", "P", "Fax", oldRevision});
  ASSERT_EQ(restore.status, 0) << restore.err;
  EXPECT_EQ(Invoke({"get", "P", "Fax"}).out, first);
}

TEST_F(Ctadm, FailuresPrintTheReasonAndExitNonZero) {
  Outcome missing = Invoke({"get", "Missing", "Fax"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_TRUE(missing.out.empty());
  EXPECT_NE(missing.err.find("nothing found"), std::string::npos) << missing.err;

  env::WriteFile(dir_.File("p.txt"), "kvset { #1 = int 1; }\n");
  ASSERT_EQ(Invoke({"put", "P", "Fax", dir_.File("p.txt")}).status, 0);
  Outcome again = Invoke({"put", "P", "Fax", dir_.File("p.txt")});
  EXPECT_EQ(again.status, 1);
  EXPECT_NE(again.err.find("already exists"), std::string::npos) << again.err;

  Outcome blank = Invoke({"put", "two words", "Fax", dir_.File("p.txt")});
  EXPECT_EQ(blank.status, 1);
  EXPECT_NE(blank.err.find("name is invalid"), std::string::npos) << blank.err;

  env::WriteFile(dir_.File("bad.txt"), "kvset {\n  #1 = int 1;\n  #2 = nonsense 3;\n}\n");
  Outcome bad = Invoke({"put", "Bad", "Fax", dir_.File("bad.txt")});
  EXPECT_EQ(bad.status, 1);
  EXPECT_NE(bad.err.find("line 3"), std::string::npos) << bad.err;

  env::WriteFile(dir_.File("scalar.txt"), "int 5\n");
  Outcome scalar = Invoke({"put", "Scalar", "Fax", dir_.File("scalar.txt")});
  EXPECT_EQ(scalar.status, 1);
  EXPECT_NE(scalar.err.find("not a key-value set"), std::string::npos) << scalar.err;

  Outcome noFile = Invoke({"put", "X", "Fax", dir_.File("no-such-file")});
  EXPECT_EQ(noFile.status, 1);

  Outcome unknown = Invoke({"--server", "Nowhere", "list"});
  EXPECT_EQ(unknown.status, 1);
  EXPECT_NE(unknown.err.find("not a known server"), std::string::npos) << unknown.err;

  Outcome removed = Invoke({"remove", "Missing", "Fax"});
  EXPECT_EQ(removed.status, 1);
}

TEST_F(Ctadm, UnreachableServerFailsPromptly) {
  reg_.servers["Down"] = "127.0.0.1:" + std::to_string(env::UnusedPort());
  reg_.connectTimeoutMs = 1000;
  env::InstallRegistry(dir_.File("test.reg"), reg_);
  const int64_t start = env::NowMs();
  Outcome run = Invoke({"--server", "Down", "list"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("could not be reached"), std::string::npos) << run.err;
  EXPECT_LT(env::NowMs() - start, env::kHangBoundMs);
}

TEST_F(Ctadm, KnownServersAreManagedInTheRegistry) {
  Outcome add = Invoke({"add-server", "Lab", "grpcs://ct-lab.example.com:7443"});
  ASSERT_EQ(add.status, 0) << add.err;
  Outcome list = Invoke({"servers"});
  EXPECT_NE(list.out.find("Lab\tgrpcs://ct-lab.example.com:7443\n"), std::string::npos) << list.out;
  EXPECT_NE(list.out.find("Local\tembedded:"), std::string::npos) << "other servers are kept";

  Outcome plainRemote = Invoke({"add-server", "Far", "10.9.8.7:7310"});
  EXPECT_EQ(plainRemote.status, 1);
  EXPECT_EQ(Invoke({"servers"}).out.find("Far"), std::string::npos);

  ASSERT_EQ(Invoke({"remove-server", "Lab"}).status, 0);
  EXPECT_EQ(Invoke({"servers"}).out.find("Lab"), std::string::npos);
  Outcome again = Invoke({"remove-server", "Lab"});
  EXPECT_EQ(again.status, 1);
  EXPECT_NE(again.err.find("not a known server"), std::string::npos);

  // A server added here is one the runtime reaches.
  ASSERT_EQ(Invoke({"add-server", "Other", "embedded:" + dir_.File("other.db")}).status, 0);
  EXPECT_EQ(Invoke({"--server", "Other", "list"}).status, 0);
}

TEST_F(Ctadm, ServerInformationCommands) {
  Outcome symbols = Invoke({"symbols"});
  ASSERT_EQ(symbols.status, 0) << symbols.err;
  EXPECT_NE(symbols.out.find("0x0110080D\tAdmin_ProfileNames\n"), std::string::npos);
  Outcome level = Invoke({"level"});
  ASSERT_EQ(level.status, 0) << level.err;
  EXPECT_FALSE(level.out.empty());
  EXPECT_EQ(Invoke({"services"}).status, 0);
  // Every server process on a line of its own: its name, then whether it runs.
  Outcome processes = Invoke({"processes"});
  ASSERT_EQ(processes.status, 0) << processes.err;
  EXPECT_FALSE(processes.out.empty());
  std::istringstream lines(processes.out);
  for (std::string line; std::getline(lines, line);) {
    const size_t tab = line.find('\t');
    ASSERT_NE(tab, std::string::npos) << line;
    EXPECT_GT(tab, 0u) << line;
    const std::string state = line.substr(tab + 1);
    EXPECT_TRUE(state == "running" || state == "stopped") << line;
  }
}

TEST_F(Ctadm, HelpNamesEveryCommand) {
  Outcome help = Invoke({"--help"});
  EXPECT_EQ(help.status, 0);
  for (const char* command : {"list", "get", "put", "remove", "history", "restore", "diff", "symbols", "services",
                              "processes", "level", "servers", "add-server", "remove-server", "--server"}) {
    EXPECT_NE(help.out.find(command), std::string::npos) << command;
  }
  Outcome none = Invoke({});
  EXPECT_NE(none.status, 0);
}

TEST_F(Ctadm, DiffPrintsOneLinePerDifferenceWithDiffsExitStatus) {
  env::WriteFile(dir_.File("v1.txt"), "kvset { #1 = int 1; #2 = array int [1, 2]; #3 = string \"gone\"; }\n");
  env::WriteFile(dir_.File("v2.txt"), "kvset { #1 = int 5; #2 = array int [0, 1, 2]; #4 = symbol Service_Auto; }\n");
  ASSERT_EQ(Invoke({"put", "P", "Fax", dir_.File("v1.txt")}).status, 0);
  ASSERT_EQ(Invoke({"put", "--update", "P", "Fax", dir_.File("v2.txt")}).status, 0);
  const std::string revisions = Invoke({"history", "P", "Fax"}).out;
  const std::string second = revisions.substr(revisions.find('\n') + 1);
  const std::string first = second.substr(0, second.find('\t'));

  // The other side is the old one: what the named profile has more is "+".
  const std::string expected =
      "~ #1: int 1 -> int 5\n"
      "+ #2[0] = int 0\n"
      "+ #4 = symbol Service_Auto\n"
      "- #3 = string \"gone\"\n";
  Outcome revision = Invoke({"diff", "P", "Fax", "--revision", first});
  EXPECT_EQ(revision.status, 1) << revision.err;
  EXPECT_EQ(revision.out, expected);
  Outcome file = Invoke({"diff", "P", "Fax", "--file", dir_.File("v1.txt")});
  EXPECT_EQ(file.status, 1) << file.err;
  EXPECT_EQ(file.out, expected);
  Outcome same = Invoke({"diff", "P", "Fax", "--file", dir_.File("v2.txt")});
  EXPECT_EQ(same.status, 0) << same.err;
  EXPECT_EQ(same.out, "");

  // Trouble is 2, never "different".
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"diff", "Missing", "Fax", "--file", dir_.File("v1.txt")},
        {"diff", "P", "Fax"},
        {"diff", "P", "Fax", "--file", dir_.File("v1.txt"), "--revision", first},
        {"diff", "P", "Fax", "--file", dir_.File("no-such-file")},
        {"diff", "P", "Fax", "--revision", "999"},
        {"diff", "P", "Fax", "--with", "Nowhere"},
        {"diff", "P", "Fax", "--with", "Local", "OnlyName"},
        {"diff", "P"}}) {
    Outcome trouble = Invoke(args);
    EXPECT_EQ(trouble.status, 2) << args.back() << ": " << trouble.err;
    EXPECT_EQ(trouble.out, "") << args.back();
  }
}

TEST_F(Ctadm, DiffWithAnotherServerMatchesByName) {
  if (!env::HaveServerBinary()) GTEST_SKIP() << "built without ctserver";
  // B numbers Admin_ProfileNames 0x5000; A by the default table.
  const std::string symbols = dir_.File("b-symbols.txt");
  env::WriteFile(symbols, "Admin_ProfileNames 0x5000\nService_Auto 0x5001\n");
  env::ServerProcess a(dir_.File("a")), b(dir_.File("b"));
  ASSERT_TRUE(a.Start()) << a.Log();
  ASSERT_TRUE(b.Start({"--symbols", symbols})) << b.Log();
  const std::string text = "kvset { Admin_ProfileNames = symbol Service_Auto; #7 = int 1; }\n";
  env::WriteFile(dir_.File("p.txt"), text);
  ASSERT_EQ(Invoke({"--server", a.address(), "put", "P", "Fax", dir_.File("p.txt")}).status, 0);
  ASSERT_EQ(Invoke({"--server", b.address(), "put", "Q", "Voice", dir_.File("p.txt")}).status, 0);

  Outcome byName = Invoke({"--server", a.address(), "diff", "P", "Fax", "--with", b.address(), "Q", "Voice", "--names"});
  EXPECT_EQ(byName.status, 0) << byName.err << byName.out;
  Outcome byNumber = Invoke({"--server", a.address(), "diff", "P", "Fax", "--with", b.address(), "Q", "Voice"});
  EXPECT_EQ(byNumber.status, 1) << byNumber.err;
  EXPECT_EQ(byNumber.out,
            "+ Admin_ProfileNames = symbol Service_Auto\n"
            "- Admin_ProfileNames = symbol Service_Auto\n");

  env::WriteFile(dir_.File("q.txt"), "kvset { Admin_ProfileNames = symbol Service_Auto; #7 = int 2; }\n");
  ASSERT_EQ(Invoke({"--server", b.address(), "put", "--update", "Q", "Voice", dir_.File("q.txt")}).status, 0);
  Outcome changed = Invoke({"--server", a.address(), "diff", "P", "Fax", "--with", b.address(), "Q", "Voice", "--names"});
  EXPECT_EQ(changed.status, 1) << changed.err;
  EXPECT_EQ(changed.out, "~ #7: int 2 -> int 1\n");
}

}  // namespace

namespace {

// The revision ctadm get --show-revision prints on standard error; 0 when
// the line is missing.
uint64_t ShownRevision(const std::string& err) {
  const size_t at = err.find("revision ");
  return at == std::string::npos ? 0 : std::stoull(err.substr(at + 9));
}

}  // namespace

// get --show-revision tells the revision that put --if-revision then
// accepts; a stale one is refused with one line and nothing is written.
TEST_F(Ctadm, PutIfRevisionWritesOnlyOverTheRevisionRead) {
  for (const bool overGrpc : {false, true}) {
    SCOPED_TRACE(overGrpc ? "ctserver" : "embedded");
    if (overGrpc && !env::HaveServerBinary()) continue;
    std::unique_ptr<env::ServerProcess> process;
    std::string server = "Local";
    if (overGrpc) {
      process = std::make_unique<env::ServerProcess>(dir_.path());
      ASSERT_TRUE(process->Start()) << process->Log();
      server = process->address();
    }
    const std::string one = dir_.File("one.txt"), two = dir_.File("two.txt"), three = dir_.File("three.txt");
    env::WriteFile(one, "kvset { #28673 = int 1; }\n");
    env::WriteFile(two, "kvset { #28673 = int 2; }\n");
    env::WriteFile(three, "kvset { #28673 = int 3; }\n");
    ASSERT_EQ(Invoke({"--server", server, "put", "Cond", "Fax", one}).status, 0);

    Outcome got = Invoke({"--server", server, "get", "--show-revision", "Cond", "Fax"});
    ASSERT_EQ(got.status, 0) << got.err;
    EXPECT_EQ(got.err, "revision 1\n");
    EXPECT_EQ(got.out.find("revision"), std::string::npos) << "the text itself is unchanged";
    EXPECT_EQ(Invoke({"--server", server, "get", "Cond", "Fax"}).err, "") << "no revision line unasked";
    const uint64_t read = ShownRevision(got.err);

    // Someone else stores meanwhile; the write over the revision read is refused.
    ASSERT_EQ(Invoke({"--server", server, "put", "-u", "Cond", "Fax", two}).status, 0);
    Outcome stale = Invoke({"--server", server, "put", "--if-revision", std::to_string(read), "Cond", "Fax", three});
    EXPECT_EQ(stale.status, 1);
    EXPECT_EQ(stale.err, "ctadm: profile Cond [Fax] is at revision 2, not 1; nothing was written\n");
    Outcome now = Invoke({"--server", server, "get", "--show-revision", "Cond", "Fax"});
    EXPECT_NE(now.out.find("int 2"), std::string::npos) << now.out;
    EXPECT_EQ(ShownRevision(now.err), 2u);

    // The current revision is accepted.
    Outcome current =
        Invoke({"--server", server, "put", "--if-revision", std::to_string(ShownRevision(now.err)), "Cond", "Fax", three});
    EXPECT_EQ(current.status, 0) << current.err;
    now = Invoke({"--server", server, "get", "--show-revision", "Cond", "Fax"});
    EXPECT_NE(now.out.find("int 3"), std::string::npos) << now.out;
    EXPECT_EQ(ShownRevision(now.err), 3u);

    // Other failures keep their messages; a bad number is a usage error.
    Outcome absent = Invoke({"--server", server, "put", "--if-revision", "1", "Nobody", "Fax", three});
    EXPECT_EQ(absent.status, 1);
    EXPECT_NE(absent.err.find("(0x01600436)"), std::string::npos) << absent.err;
    EXPECT_NE(Invoke({"--server", server, "put", "--if-revision", "x", "Cond", "Fax", three}).status, 0);
    ASSERT_EQ(Invoke({"--server", server, "remove", "Cond", "Fax"}).status, 0);
  }
}
