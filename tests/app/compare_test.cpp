// Comparison in the editor against a real ctserver: a revision compared with
// the open profile marks exactly the nodes that differ, F8 visits them in
// tree order, Take Other Value then Store makes the server's profile equal
// to the revision and Undo takes it back; the marks never reach the profile.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QTimer>
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
#include "platform/progresscall.h"
#include "platform/recordingdc.h"
#include "platform/scriptedmodalhost.h"
#include "tests/app/serverapp.h"
#include "tests/common/sessions_fixture.h"
#include "tests/support/registry.h"
#include "tests/support/serverprocess.h"
#include "tests/support/tempdir.h"
#include "tree/kvp_node.h"
#include "tree/kvs_node.h"
#include "tree/removednode.h"
#include "tree/sym_node.h"

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

// The children of a container as rows read: "- text" for a removed row,
// else the node's own text.
std::vector<std::string> RowsOf(CTreeNode* container) {
  std::vector<std::string> rows;
  for (CTreeNode* c = container->GetFirstChild(); c != nullptr; c = c->GetNextSibling()) {
    if (auto* row = dynamic_cast<CRemovedNode*>(c))
      rows.push_back(std::string("- ") + row->Text().GetString());
    else if (auto* pair = dynamic_cast<CKVPairNode*>(c))
      rows.push_back(pair->GetKeyNode()->SearchText().GetString());
    else
      rows.push_back(static_cast<CDENode*>(c)->SearchText().GetString());
  }
  return rows;
}

CTreeNode* PairNamed(CTreeNode* set, CTsymbol key) {
  for (CTreeNode* c = set->GetFirstChild(); c != nullptr; c = c->GetNextSibling())
    if (auto* pair = dynamic_cast<CKVPairNode*>(c); pair != nullptr && pair->GetKey() == key) return pair;
  return nullptr;
}

class CompareEnv : public ServerAppTest {
 protected:
  void SetUp() override {
    ServerAppTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
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
    InstallAndCreateApp(contents);
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
  // The text of the one removed row among the marked nodes.
  std::string RemovedRowText() {
    for (CTreeNode* node : View()->MarkedNodes())
      if (auto* row = dynamic_cast<CRemovedNode*>(node)) return row->Text().GetString();
    return "(none)";
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

  testsupport::TempDir renumberedDir_;
  std::unique_ptr<testsupport::ServerProcess> renumbered_;
  Kvs old_, new_;
  uint64_t oldRevision_ = 0;
};

TEST_F(CompareEnv, RevisionMarksExactlyTheDifferencesAndF8VisitsThemInTreeOrder) {
  CompareWithOld();
  EXPECT_TRUE(host_.Messages().empty());
  const auto expected = AllFive();
  EXPECT_EQ(MarksFound(), expected);
  EXPECT_EQ(MarksInTree(), 5);

  // The other value is beside the changed node; a removed node is a row of
  // its own showing its old key and value.
  const struct {
    std::pair<Mark, CTsymbol> node;
    const char* shows;
  } notes[] = {{{Mark::Changed, kChanged}, "int 10"}, {{Mark::Removed, kBranch}, "= string \"gone\""}, {{Mark::Removed, 0}, "= int 5"}};
  for (const auto& n : notes) {
    std::string text = "(not marked)";
    for (CTreeNode* node : View()->MarkedNodes())
      if (Describe(node) == n.node) {
        View()->SelectNode(node);
        text = View()->GetAccessibleTree()->CurrentItemText().GetString();
      }
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
  // A removed row prints its old key and value in the removed colour.
  for (CTreeNode* node : View()->MarkedNodes()) {
    if (auto* row = dynamic_cast<CRemovedNode*>(node)) {
      EXPECT_TRUE(printed.count({row->Text().GetString(), CRemovedNode::kRemovedColour})) << row->Text().GetString();
    }
  }
  View()->SelectNode(View()->MarkedNodes().front());

  // The unchanged branch is closed, the changed ones open; the first difference is selected.
  std::set<std::pair<CTsymbol, bool>> open;
  for (CTreeNode* c = View()->GetRoot()->GetFirstChild(); c != nullptr; c = c->GetNextSibling())
    if (auto* pair = dynamic_cast<CKVPairNode*>(c)) open.insert({static_cast<CTsymbol>(pair->GetKey()), c->IsExpanded()});
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
  CTreeNode* quiet = PairNamed(View()->GetRoot(), kQuiet);
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
  EXPECT_EQ(RemovedRowText(), "Service_Auto = int 3");

  View()->SelectNode(View()->MarkedNodes().front());
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
  EXPECT_EQ(RemovedRowText(), "Only_Renumbered = int 4");
  View()->SelectNode(View()->MarkedNodes().front());
  EXPECT_FALSE(app_->m_pMainWnd->Commands()->UpdateCommand(ID_COMPARE_TAKE_OTHER));
}

// Removed members and items are rows of their own between the siblings they
// were between; the profile, F8 and the row counts see them as they should.
TEST_F(CompareEnv, RemovedNodesAreRowsInTheirOldPlace) {
  const struct {
    const char* what;
    const char* other;
    const char* open;
    const char* container;  // the pair whose value holds the rows; null: the root
    std::vector<std::string> rows;
  } cases[] = {
      {"set, in the middle", "kvset {\n  Line_Number = int 1;\n  Line_Name = string \"a\";\n  Line_Type = int 2;\n}\n",
       "kvset {\n  Line_Number = int 1;\n  Line_Type = int 2;\n}\n", nullptr,
       {"Line_Number", "- Line_Name = string \"a\"", "Line_Type"}},
      {"set, first and last, with an addition",
       "kvset {\n  Line_Name = string \"a\";\n  Line_Number = int 1;\n  Line_Gain = int 3;\n}\n",
       "kvset {\n  Line_Number = int 1;\n  Line_Type = int 2;\n}\n", nullptr,
       {"- Line_Name = string \"a\"", "Line_Number", "- Line_Gain = int 3", "Line_Type"}},
      {"array, at their old index among the kept items",
       "kvset {\n  Line_Extensions = array int [1, 2, 3, 4, 5];\n}\n",
       "kvset {\n  Line_Extensions = array int [1, 3, 5, 6];\n}\n", "Line_Extensions",
       {"+1", "- [1] = int 2", "+3", "- [3] = int 4", "+5", "+6"}},
      {"a removed container is one row",
       "kvset {\n  Line_Number = int 1;\n  Line_Channels = kvset {\n    Line_Name = string \"x\";\n  };\n}\n",
       "kvset {\n  Line_Number = int 1;\n}\n", nullptr,
       {"Line_Number", "- Line_Channels = kvset { Line_Name = string \"x\"; }"}},
  };
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    host_.Clear();
    Kvs open;
    ASSERT_EQ(TextToProfile(&app_->m_session, "Default_Server", c.open, open), 0u);
    const std::string name = "Place" + std::to_string(++n);
    ASSERT_TRUE(app_->m_session.SaveProfile("Default_Server", "Voice", name.c_str(), open, 0));
    ASSERT_TRUE(Doc()->OnOpenProfile("Default_Server", "Voice", name.c_str()));
    const std::string file = dir_.File(name + ".deif");
    testsupport::WriteFile(file, c.other);
    ASSERT_TRUE(Doc()->CompareWithFile(file.c_str()));
    EXPECT_TRUE(host_.Messages().empty());
    CTreeNode* container = View()->GetRoot();
    if (c.container != nullptr) {
      uint32_t key = 0;
      ASSERT_TRUE(app_->m_session.NameToSymbol("Default_Server", c.container, &key));
      CTreeNode* pair = PairNamed(container, key);
      ASSERT_NE(pair, nullptr);
      container = static_cast<CKVPairNode*>(pair)->GetValueNode();
    }
    EXPECT_EQ(RowsOf(container), c.rows);
    // Drawing only: the profile is the open one.
    EXPECT_TRUE(ShowsExactly(open));
    // Every removed row is visible, collapsed and childless, counted in the
    // rows and found where it is drawn; F8 reaches each in display order.
    const int rowsShown = View()->GetRoot()->GetRowCount();
    int removed = 0, previousRow = -1;
    for (CTreeNode* node : View()->MarkedNodes()) {
      const int row = View()->GetRoot()->GetRowOf(node);
      EXPECT_GT(row, previousRow);
      previousRow = row;
      if (dynamic_cast<CRemovedNode*>(node) == nullptr) continue;
      ++removed;
      EXPECT_EQ(node->GetFirstChild(), nullptr);
      EXPECT_EQ(View()->GetRoot()->NodeAtRow(row), node);
      int y = 0, onIcon = 0;
      CRect box;
      ASSERT_EQ(View()->GetRoot()->GetDims(node, 0, y, box), 1);
      EXPECT_EQ(View()->GetRoot()->Clicked(box.left + 1, box.top + 1, onIcon), node);
    }
    EXPECT_EQ(removed, static_cast<int>(std::count_if(c.rows.begin(), c.rows.end(),
                                                      [](const std::string& r) { return r[0] == '-'; })));
    EXPECT_LT(previousRow, rowsShown);
    Run(ID_COMPARE_END);
    EXPECT_EQ(View()->GetRoot()->GetRowCount(), rowsShown - removed);
  }
}

// A removed row can be selected; its one command is Take Other Value, which
// puts the node back where it was.  Edits beside the rows keep the profile
// right, and Undo takes each back.
TEST_F(CompareEnv, RemovedRowTakesOnlyTheOtherValueAndEditsBesideItKeepTheProfile) {
  CompareWithOld();
  CTreeNode* branch = static_cast<CKVPairNode*>(PairNamed(View()->GetRoot(), kBranch))->GetValueNode();
  auto* gone = dynamic_cast<CRemovedNode*>(branch->GetFirstChild()->GetNextSibling());
  ASSERT_NE(gone, nullptr);
  View()->SelectNode(gone);
  const std::string heard = View()->GetAccessibleTree()->CurrentItemText().GetString();
  EXPECT_NE(heard.find("removed"), std::string::npos) << heard;
  const struct {
    UINT command;
    bool on;
  } commands[] = {{ID_COMPARE_TAKE_OTHER, true}, {ID_EDIT_DELETE, false}, {ID_EDIT_PROPERTIES, false},
                  {ID_EDIT_COPY, false},         {ID_EDIT_CUT, false},    {ID_COMPARE_NEXT, true}};
  for (const auto& c : commands)
    EXPECT_EQ(app_->m_pMainWnd->Commands()->UpdateCommand(c.command), c.on) << c.command;
  EXPECT_EQ(std::string(View()->CompareStatus().GetString()), "Difference 2 of 5");

  // Edits of the nodes beside removed rows, each undone: the profile is the open one again.
  for (CTsymbol key : {kQuiet, kNewTop, kChanged}) {
    SCOPED_TRACE(key);
    View()->SelectNode(PairNamed(View()->GetRoot(), key));
    Run(ID_EDIT_DELETE);
    Kvs content;
    uint32_t count = 0, type = 0;
    ASSERT_TRUE(View()->GetProfile("Default_Server", content));
    EXPECT_TRUE(CTkvs_Count(content, &count, nullptr) == 1 && count == 3);
    EXPECT_EQ(CTkvs_GetType(content, key, &type, nullptr), 0);
    Run(ID_EDIT_UNDO);
    EXPECT_TRUE(ShowsExactly(new_));
    EXPECT_EQ(View()->MarkedNodes().size(), 5u);
  }
  EXPECT_TRUE(host_.Messages().empty());

  // Take Other Value on the row: the member is back between the same siblings and selected.
  branch = static_cast<CKVPairNode*>(PairNamed(View()->GetRoot(), kBranch))->GetValueNode();
  View()->SelectNode(branch->GetFirstChild()->GetNextSibling());
  Run(ID_COMPARE_TAKE_OTHER);
  EXPECT_TRUE(host_.Messages().empty());
  EXPECT_EQ(View()->MarkedNodes().size(), 4u);
  auto* selected = dynamic_cast<CKVPairNode*>(View()->GetSelected());
  ASSERT_NE(selected, nullptr);
  EXPECT_EQ(selected->GetKey(), kGone);
  EXPECT_EQ(dynamic_cast<CKVPairNode*>(selected->GetPrevSibling())->GetKey(), kKept);
  Run(ID_EDIT_UNDO);
  EXPECT_TRUE(ShowsExactly(new_));
  EXPECT_EQ(View()->MarkedNodes().size(), 5u);
  Run(ID_COMPARE_END);
  EXPECT_EQ(MarksInTree(), 0);
}

// Cancel in the progress window stops the walk: no comparison, no marks,
// the profile as it was.  The window shows only after the runner's delay,
// so the profile is large enough (480,000 values) that the walk outlasts it
// many times over, even on an idle machine.
TEST_F(CompareEnv, CancelStopsALargeComparison) {
  Kvs open, other;
  uint32_t err = 0;
  for (int g = 0; g < 60000; ++g) {
    Kvs group;
    for (int i = 0; i < 8; ++i) CTkvs_PutInt(group, 0x7001 + i, g * 8 + i, &err);
    CTkvs_PutKVSet(open, 0x10000 + g, group, &err);
    if (g % 100 == 0) CTkvs_PutInt(group, 0x7001, -g, &err);
    CTkvs_PutKVSet(other, 0x10000 + g, group, &err);
  }
  ASSERT_TRUE(View()->PutProfile("Default_Server", open));
  bool clicked = false;
  QTimer press;
  QObject::connect(&press, &QTimer::timeout, [&] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->isVisible() && w->objectName() == QLatin1String(CProgressCallRunner::kObjectName))
        for (QAbstractButton* button : w->findChildren<QAbstractButton*>())
          if (button->isVisible() && !clicked) {
            clicked = true;
            button->click();
          }
  });
  press.start(10);
  QV_DataElement element;
  element.SetToKVSet(other);
  EXPECT_FALSE(View()->StartComparison(element, "large"));
  press.stop();
  ASSERT_TRUE(clicked) << "the comparison ended before its progress window showed";
  EXPECT_FALSE(View()->IsComparing());
  EXPECT_EQ(MarksInTree(), 0);
  EXPECT_TRUE(ShowsExactly(open));
  EXPECT_TRUE(host_.Messages().empty());
}

}  // namespace
