// Comparison in the editor against a real ctserver: a revision compared with
// the open profile marks exactly the nodes that differ, F8 visits them in
// tree order, Take Other Value then Store makes the server's profile equal
// to the revision and Undo takes it back; the marks never reach the profile.
#include <gtest/gtest.h>

#include <QTreeWidget>
#include <algorithm>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/history.h"
#include "app/proffile.h"
#include "app/quelt.h"
#include "app/queltdoc.h"
#include "app/queltview.h"
#include "platform/accesstree.h"
#include "platform/cframewnd.h"
#include "platform/cprintinfo.h"
#include "platform/printloop.h"
#include "platform/recordingdc.h"
#include "platform/scriptedmodalhost.h"
#include "tests/common/sessions_fixture.h"
#include "tests/support/registry.h"
#include "tests/support/serverprocess.h"
#include "tests/support/tempdir.h"
#include "tree/kvp_node.h"
#include "tree/kvs_node.h"

namespace {

using testsupport::Kvs;
using Mark = CDENode::CompareMark;

// Keys without names on the server: the tree shows them by number.
constexpr CTsymbol kChanged = 0x7001, kBranch = 0x7002, kKept = 0x7003, kGone = 0x7004, kNew = 0x7008,
                   kGoneTop = 0x7005, kQuiet = 0x7006, kNewTop = 0x7009;

// The revision compared with, and the current content that differs from it
// by a changed value, an added and a removed key at the top and one level down.
void FillOld(CTkvs set) {
  Kvs branch, quiet;
  CTkvs_PutInt(branch, kKept, 1, nullptr);
  CTkvs_PutString(branch, kGone, "gone", nullptr);
  CTkvs_PutInt(quiet, kKept, 9, nullptr);
  CTkvs_PutInt(set, kChanged, 10, nullptr);
  CTkvs_PutKVSet(set, kBranch, branch, nullptr);
  CTkvs_PutInt(set, kGoneTop, 5, nullptr);
  CTkvs_PutKVSet(set, kQuiet, quiet, nullptr);
}
void FillNew(CTkvs set) {
  Kvs branch, quiet;
  CTkvs_PutInt(branch, kKept, 1, nullptr);
  CTkvs_PutInt(branch, kNew, 3, nullptr);
  CTkvs_PutInt(quiet, kKept, 9, nullptr);
  CTkvs_PutInt(set, kChanged, 20, nullptr);
  CTkvs_PutKVSet(set, kBranch, branch, nullptr);
  CTkvs_PutKVSet(set, kQuiet, quiet, nullptr);
  CTkvs_PutInt(set, kNewTop, 7, nullptr);
}

// The marks of old -> new, sorted: each change of FillNew, where it shows.
std::vector<std::pair<Mark, CTsymbol>> AllFive() {
  std::vector<std::pair<Mark, CTsymbol>> marks = {
      {Mark::Added, kNew}, {Mark::Added, kNewTop}, {Mark::Changed, kChanged}, {Mark::Removed, kBranch}, {Mark::Removed, 0},
  };
  std::sort(marks.begin(), marks.end());
  return marks;
}

// A marked node as (mark, key of the pair it is or belongs to; 0 for the root).
std::pair<Mark, CTsymbol> Describe(CTreeNode* node) {
  const Mark mark = static_cast<CDENode*>(node)->GetCompareMark();
  for (CTreeNode* n = node; n != nullptr; n = n->GetParent())
    if (auto* pair = dynamic_cast<CKVPairNode*>(n)) return {mark, static_cast<CTsymbol>(pair->GetKey())};
  return {mark, 0};
}

class CompareEnv : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testsupport::HaveServerBinary()) GTEST_SKIP() << "built without ctserver";
    server_ = std::make_unique<testsupport::ServerProcess>(serverDir_.path());
    ASSERT_TRUE(server_->Start()) << server_->Log();
    testsupport::RegistryContents contents;
    // Renumbered numbers two well-known names otherwise than the default table,
// and knows one name the default table lacks.
    testsupport::WriteFile(dir_.File("symbols.txt"), "Admin_ProfileNames 0x5000\nService_Auto 0x5001\nOnly_Renumbered 0x5002\n");
    renumbered_ = std::make_unique<testsupport::ServerProcess>(renumberedDir_.path());
    ASSERT_TRUE(renumbered_->Start({"--symbols", dir_.File("symbols.txt")})) << renumbered_->Log();
    contents.servers = {{"Default_Server", server_->address()},
                        {"Other", "embedded:" + dir_.File("other.db")},
                        {"Renumbered", renumbered_->address()}};
    contents.connectTimeoutMs = 2000;
    contents.rootPath = dir_.path();
    registry_.Install(contents);
    app_ = std::make_unique<CQueltApp>();
    FillOld(old_);
    FillNew(new_);
    ASSERT_TRUE(app_->m_session.SaveProfile("Default_Server", "Setup", "Lines", old_, 0));
    ASSERT_TRUE(app_->m_session.SaveProfile("Default_Server", "Setup", "Lines", new_, 1));
    std::vector<CT_RevisionInfo> revisions;
    ASSERT_TRUE(app_->m_session.ListRevisions("Default_Server", "Lines", "Setup", &revisions));
    ASSERT_EQ(revisions.size(), 2u);
    oldRevision_ = revisions[1].revision;
    app_->m_lpCmdLine = "Default_Server edit Lines Setup";
    ASSERT_TRUE(app_->InitInstance());
  }
  void TearDown() override {
    if (app_) app_->ExitInstance();
    app_.reset();
  }
  CQueltDoc* Doc() const { return dynamic_cast<CQueltDoc*>(app_->m_pMainWnd->GetActiveDocument()); }
  CQueltView* View() const { return Doc()->GetView(); }
  void Run(UINT id) { app_->m_pMainWnd->ExecuteCommand(id); }
  bool ShowsExactly(CTkvs expected) {
    Kvs content;
    return View()->GetProfile("Default_Server", content) && sessions_test::SameContent(expected, content);
  }
  // Compares with the older revision through the Revision History's button.
  void CompareWithOld() {
    host_.ExpectDialog([](DialogDriver& d) {
      auto* list = qobject_cast<QTreeWidget*>(d.Control(CRevisionHistoryBox::IDC_REVISIONS));
      ASSERT_NE(list, nullptr);
      list->setCurrentItem(list->topLevelItem(1));
      d.Click(CRevisionHistoryBox::IDC_COMPARE);
    });
    Run(ID_PROFILE_HISTORY);
    ASSERT_EQ(host_.PendingScripts(), 0u);
    ASSERT_TRUE(View()->IsComparing());
  }
  std::vector<std::pair<Mark, CTsymbol>> MarksFound() {
    std::vector<std::pair<Mark, CTsymbol>> found;
    for (CTreeNode* node : View()->MarkedNodes()) found.push_back(Describe(node));
    std::sort(found.begin(), found.end());
    return found;
  }
  int MarksInTree() {
    int count = 0;
    std::vector<CTreeNode*> todo{View()->GetRoot()};
    while (!todo.empty()) {
      CTreeNode* n = todo.back();
      todo.pop_back();
      if (static_cast<CDENode*>(n)->GetCompareMark() != Mark::None) ++count;
      for (CTreeNode* c = n->GetFirstChild(); c != nullptr; c = c->GetNextSibling()) todo.push_back(c);
    }
    return count;
  }

  testsupport::TempDir dir_;
  testsupport::TempDir serverDir_;
  testsupport::TempDir renumberedDir_;
  std::unique_ptr<testsupport::ServerProcess> renumbered_;
  testsupport::TempRegistry registry_;
  ScriptedModalHost host_;
  ScopedModalHost scope_{&host_};
  std::unique_ptr<testsupport::ServerProcess> server_;
  std::unique_ptr<CQueltApp> app_;
  Kvs old_, new_;
  uint64_t oldRevision_ = 0;
};

TEST_F(CompareEnv, RevisionMarksExactlyTheDifferencesAndF8VisitsThemInTreeOrder) {
  CompareWithOld();
  EXPECT_TRUE(host_.Messages().empty());
  const auto expected = AllFive();
  EXPECT_EQ(MarksFound(), expected);
  EXPECT_EQ(MarksInTree(), 5);

  // The other value is beside the changed node; the removed ones beside their container.
  const struct {
    std::pair<Mark, CTsymbol> node;
    const char* shows;
  } notes[] = {{{Mark::Changed, kChanged}, "int 10"}, {{Mark::Removed, kBranch}, "\"gone\""}, {{Mark::Removed, 0}, "int 5"}};
  for (const auto& n : notes) {
    std::string text = "(not marked)";
    for (CTreeNode* node : View()->MarkedNodes())
      if (Describe(node) == n.node) text = static_cast<CDENode*>(node)->CompareMarkText().GetString();
    EXPECT_NE(text.find(n.shows), std::string::npos) << text;
  }

  // Screen readers hear the mark with the node; the printed page shows every
  // mark as words, each in its colour.
  for (CTreeNode* node : View()->MarkedNodes()) {
    View()->SelectNode(node);
    const std::string heard = View()->GetAccessibleTree()->CurrentItemText().GetString();
    const char* word = Describe(node).first == Mark::Added     ? "added"
                       : Describe(node).first == Mark::Changed ? "changed"
                                                               : "removed";
    EXPECT_NE(heard.find(word), std::string::npos) << heard;
  }
  CRecordingDC dc;
  dc.SetDeviceCaps(HORZRES, 2400);
  dc.SetDeviceCaps(VERTRES, 3300);
  dc.SetDeviceCaps(HORZSIZE, 203);
  dc.SetDeviceCaps(VERTSIZE, 279);
  dc.SetPrinting(true);
  CPrintInfo info;
  ASSERT_GE(RunPrintPages(*View(), dc, info), 1u);
  std::set<std::pair<std::string, COLORREF>> printed;
  for (const DCRecord& r : dc.RecordsOf(DCRecord::Op::TextOut)) printed.insert({r.text, r.textColor});
  for (CTreeNode* node : View()->MarkedNodes()) {
    const std::string mark = static_cast<CDENode*>(node)->CompareMarkText().GetString();
    const auto found = std::find_if(printed.begin(), printed.end(), [&](const auto& p) { return p.first == mark; });
    ASSERT_NE(found, printed.end()) << mark;
    EXPECT_NE(found->second, RGB(0, 0, 0)) << mark;
  }
  View()->SelectNode(View()->MarkedNodes().front());

  // The unchanged branch is closed, the changed ones open; the first difference is selected.
  std::set<std::pair<CTsymbol, bool>> open;
  for (CTreeNode* c = View()->GetRoot()->GetFirstChild(); c != nullptr; c = c->GetNextSibling())
    open.insert({static_cast<CTsymbol>(static_cast<CKVPairNode*>(c)->GetKey()), c->IsExpanded()});
  EXPECT_TRUE(open.count({kQuiet, false}));
  EXPECT_TRUE(open.count({kChanged, true}));
  EXPECT_TRUE(open.count({kBranch, true}));
  const std::vector<CTreeNode*> marked = View()->MarkedNodes();
  EXPECT_EQ(View()->GetSelected(), marked.front());
  EXPECT_EQ(std::string(View()->CompareStatus().GetString()), "Difference 1 of 5");

  // F8 goes through them in display order and wraps; Shift+F8 goes back.
  std::vector<int> rows;
  for (size_t i = 1; i <= marked.size(); ++i) {
    Run(ID_COMPARE_NEXT);
    EXPECT_EQ(View()->GetSelected(), marked[i % marked.size()]);
    rows.push_back(View()->GetRoot()->GetRowOf(View()->GetSelected()));
  }
  EXPECT_TRUE(std::is_sorted(rows.begin(), rows.end() - 1)) << "tree order";
  EXPECT_GE(*std::min_element(rows.begin(), rows.end()), 0) << "every difference visible";
  Run(ID_COMPARE_PREVIOUS);
  EXPECT_EQ(View()->GetSelected(), marked.back());
  EXPECT_EQ(std::string(View()->CompareStatus().GetString()), "Difference 5 of 5");

  // The marks are drawing only: the profile is the open one, unchanged.
  EXPECT_TRUE(ShowsExactly(new_));
  EXPECT_FALSE(Doc()->IsModified());

  // End Comparison: no marks, the same profile; Retrieve ends one as well.
  Run(ID_COMPARE_END);
  EXPECT_FALSE(View()->IsComparing());
  EXPECT_EQ(MarksInTree(), 0);
  EXPECT_TRUE(ShowsExactly(new_));
  CompareWithOld();
  ASSERT_TRUE(Doc()->OnOpenProfile("Default_Server", "Setup", "Lines"));
  EXPECT_FALSE(View()->IsComparing());
  EXPECT_EQ(MarksInTree(), 0);
}

TEST_F(CompareEnv, TakeOtherValueThenStoreMakesTheServerEqualTheRevisionAndUndoTakesItBack) {
  CompareWithOld();
  // Each difference taken is one step; the comparison follows each.
  size_t left = View()->MarkedNodes().size();
  ASSERT_EQ(left, 5u);
  while (left > 0) {
    View()->SelectNode(View()->MarkedNodes().front());
    Run(ID_COMPARE_TAKE_OTHER);
    ASSERT_EQ(View()->MarkedNodes().size(), left - 1);
    --left;
  }
  EXPECT_TRUE(host_.Messages().empty());
  EXPECT_TRUE(ShowsExactly(old_));
  EXPECT_TRUE(Doc()->IsModified());
  EXPECT_EQ(MarksInTree(), 0);

  Run(ID_FILE_SAVE);
  Kvs stored;
  ASSERT_TRUE(app_->m_session.LoadProfile("Default_Server", "Lines", "Setup", stored));
  EXPECT_TRUE(sessions_test::SameContent(old_, stored));

  // Undo takes the last value back, and its mark with it; five Undos in all
  // give the profile that was open.
  Run(ID_EDIT_UNDO);
  EXPECT_EQ(View()->MarkedNodes().size(), 1u);
  for (int i = 0; i < 4; ++i) Run(ID_EDIT_UNDO);
  EXPECT_TRUE(ShowsExactly(new_));
  EXPECT_EQ(View()->MarkedNodes().size(), 5u);
}

TEST_F(CompareEnv, EditsKeepTheComparisonCurrentAndCommandsFollowTheSelection) {
  CompareWithOld();
  // Taking back the change by hand (deleting the added top key) drops its mark.
  CTreeNode* added = nullptr;
  for (CTreeNode* node : View()->MarkedNodes())
    if (Describe(node) == std::make_pair(Mark::Added, kNewTop)) added = node;
  ASSERT_NE(added, nullptr);
  View()->SelectNode(added);
  EXPECT_TRUE(app_->m_pMainWnd->Commands()->UpdateCommand(ID_COMPARE_TAKE_OTHER));
  Run(ID_EDIT_DELETE);
  EXPECT_EQ(View()->MarkedNodes().size(), 4u);
  EXPECT_TRUE(host_.Messages().empty());
  // On a node without a mark, Take Other Value is off; without a comparison, all are.
  CTreeNode* quiet = View()->GetRoot()->GetFirstChild();
  while (quiet != nullptr && static_cast<CKVPairNode*>(quiet)->GetKey() != kQuiet) quiet = quiet->GetNextSibling();
  ASSERT_NE(quiet, nullptr);
  View()->SelectNode(quiet);
  EXPECT_FALSE(app_->m_pMainWnd->Commands()->UpdateCommand(ID_COMPARE_TAKE_OTHER));
  EXPECT_TRUE(app_->m_pMainWnd->Commands()->UpdateCommand(ID_COMPARE_NEXT));
  Run(ID_COMPARE_END);
  for (UINT id : {ID_COMPARE_NEXT, ID_COMPARE_PREVIOUS, ID_COMPARE_TAKE_OTHER, ID_COMPARE_END})
    EXPECT_FALSE(app_->m_pMainWnd->Commands()->UpdateCommand(id)) << id;
  // Compare With Server: the server's current content, with the one edit marked.
  Run(ID_COMPARE_SERVER);
  ASSERT_TRUE(View()->IsComparing());
  std::vector<std::pair<Mark, CTsymbol>> expected = {{Mark::Removed, 0}};
  EXPECT_EQ(MarksFound(), expected);
}

TEST_F(CompareEnv, FileAndProfileOnAnotherServerMarkTheSameDifferences) {
  std::string text;
  ASSERT_EQ(ProfileToText(&app_->m_session, "Default_Server", old_, &text), 0u);
  const std::string file = dir_.File("old.deif");
  testsupport::WriteFile(file, text);
  ASSERT_TRUE(app_->m_session.SaveProfile("Other", "Setup", "Lines", old_, 0));
  const auto expected = AllFive();
  const struct {
    const char* what;
    std::function<BOOL()> compare;
  } sources[] = {
      {"file", [&] { return Doc()->CompareWithFile(file.c_str()); }},
      {"other server", [&] { return Doc()->CompareWithProfile("Other", "Setup", "Lines"); }},
  };
  for (const auto& source : sources) {
    SCOPED_TRACE(source.what);
    host_.Clear();
    ASSERT_TRUE(source.compare());
    EXPECT_TRUE(host_.Messages().empty());
    EXPECT_EQ(MarksFound(), expected);
    EXPECT_TRUE(ShowsExactly(new_));
  }

  // A file that is no profile: one message, and the comparison shown stays.
  const std::string bad = dir_.File("bad.deif");
  testsupport::WriteFile(bad, "kvset {\n  = ;\n}\n");
  host_.Clear();
  EXPECT_FALSE(Doc()->CompareWithFile(bad.c_str()));
  EXPECT_EQ(host_.MessageIds(), std::vector<UINT>{IDS_FILE_NOT_PROFILE_TEXT});
  EXPECT_EQ(MarksFound(), expected);
}

// Two servers number the same names differently: the comparison matches by
// name, and a value taken over arrives numbered as the open profile's server.
TEST_F(CompareEnv, ProfileOnAServerWithOtherNumbersIsComparedByName) {
  const struct {
    const char* server;
    const char* text;
  } profiles[] = {
      {"Default_Server", "kvset {\n  Admin_ProfileNames = symbol Service_Auto;\n}\n"},
      {"Renumbered", "kvset {\n  Admin_ProfileNames = symbol Service_Auto;\n  Service_Auto = int 3;\n}\n"},
  };
  for (const auto& p : profiles) {
    Kvs set;
    ASSERT_EQ(TextToProfile(&app_->m_session, p.server, p.text, set), 0u) << p.server;
    ASSERT_TRUE(app_->m_session.SaveProfile(p.server, "Voice", "Named", set, 0)) << p.server;
  }
  ASSERT_TRUE(Doc()->OnOpenProfile("Default_Server", "Voice", "Named"));
  ASSERT_TRUE(Doc()->CompareWithProfile("Renumbered", "Voice", "Named"));
  EXPECT_TRUE(host_.Messages().empty());
  const std::vector<std::pair<Mark, CTsymbol>> expected = {{Mark::Removed, 0}};
  ASSERT_EQ(MarksFound(), expected) << "the shared pair matches by name";
  const std::string note = View()->GetRoot()->CompareMarkText().GetString();
  EXPECT_NE(note.find("Service_Auto = int 3"), std::string::npos) << note;

  View()->SelectNode(View()->GetRoot());
  Run(ID_COMPARE_TAKE_OTHER);
  EXPECT_TRUE(View()->MarkedNodes().empty());
  Kvs content;
  ASSERT_TRUE(View()->GetProfile("Default_Server", content));
  std::string text;
  ASSERT_EQ(ProfileToText(&app_->m_session, "Default_Server", content, &text), 0u);
  EXPECT_EQ(text, profiles[1].text);

  // A name the open profile's server does not know: still compared by name,
  // shown by its own server's name, but its value cannot be taken over.
  Kvs unknown;
  ASSERT_EQ(TextToProfile(&app_->m_session, "Renumbered",
                          "kvset {\n  Admin_ProfileNames = symbol Service_Auto;\n  Only_Renumbered = int 4;\n}\n",
                          unknown),
            0u);
  ASSERT_TRUE(app_->m_session.SaveProfile("Renumbered", "Voice", "Unknown", unknown, 0));
  Run(ID_EDIT_UNDO);
  ASSERT_TRUE(Doc()->CompareWithProfile("Renumbered", "Voice", "Unknown"));
  EXPECT_TRUE(host_.Messages().empty());
  ASSERT_EQ(MarksFound(), expected);
  const std::string listed = View()->GetRoot()->CompareMarkText().GetString();
  EXPECT_NE(listed.find("Only_Renumbered = int 4"), std::string::npos) << listed;
  View()->SelectNode(View()->GetRoot());
  EXPECT_FALSE(app_->m_pMainWnd->Commands()->UpdateCommand(ID_COMPARE_TAKE_OTHER));
}

}  // namespace
