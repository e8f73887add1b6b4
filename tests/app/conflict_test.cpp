// Two sessions on one real ctserver store the same profile: the editor's
// Store expects the revision it retrieved, and when another session stored
// in between it shows "Store Conflict".  Merge keeps both sides' changes
// (places both changed are marked until decided), Overwrite asks and stores
// the editor's profile whole, Cancel changes nothing.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/quelt.h"
#include "app/queltdoc.h"
#include "app/queltview.h"
#include "app/storeconflict.h"
#include "common/multises.h"
#include "platform/accesstree.h"
#include "platform/cframewnd.h"
#include "platform/scriptedmodalhost.h"
#include "tests/app/serverapp.h"
#include "tests/common/sessions_fixture.h"
#include "tests/support/registry.h"
#include "tests/support/serverprocess.h"
#include "tests/support/tempdir.h"
#include "tree/kvp_node.h"

namespace {

using testsupport::Kvs;
using Mark = CDENode::CompareMark;

constexpr CTsymbol kA = 0x7101, kB = 0x7102, kC = 0x7103;
constexpr UINT kConflictMessage = 4490, kUnresolved = 4491, kConfirmOverwrite = 4492;

// A profile of three integer keys.
void Fill(CTkvs set, int32_t a, int32_t b, int32_t c) {
  uint32_t err = 0;
  CTkvs_Clear(set, &err);
  CTkvs_PutInt(set, kA, a, nullptr);
  CTkvs_PutInt(set, kB, b, nullptr);
  CTkvs_PutInt(set, kC, c, nullptr);
}

class ConflictEnv : public ServerAppTest {
 protected:
  void SetUp() override {
    ServerAppTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    Kvs start;
    Fill(start, 1, 2, 3);
    StartEditingLines(start);
    if (HasFatalFailure()) return;
    ASSERT_TRUE(Doc()->HasBase());
  }
  CQueltView* View() const { return Doc()->GetView(); }
  void Run(UINT id) { app_->m_pMainWnd->ExecuteCommand(id); }
  bool Enabled(UINT id) { return app_->m_pMainWnd->Commands()->UpdateCommand(id) != 0; }

  // The other administrator: retrieves, and stores over what it retrieved.
  uint64_t OtherStores(int32_t a, int32_t b, int32_t c) {
    Kvs read, content;
    CT_ProfileVersion version{};
    EXPECT_TRUE(other_.LoadProfile("Default_Server", "Lines", "Setup", read, &version));
    Fill(content, a, b, c);
    uint64_t written = 0;
    EXPECT_TRUE(other_.SaveProfile("Default_Server", "Setup", "Lines", content, 1, version.revision, &written));
    return written;
  }
  // The editor's edit: the whole profile replaced as one undoable step.
  void EditorEdits(int32_t a, int32_t b, int32_t c) {
    Kvs content;
    Fill(content, a, b, c);
    ASSERT_TRUE(View()->ReplaceProfileAsStep(content, 4497));
    View()->DocumentModified();
  }
  bool Shows(int32_t a, int32_t b, int32_t c) {
    Kvs content, want;
    Fill(want, a, b, c);
    return View()->GetProfile("Default_Server", content) && sessions_test::SameContent(want, content);
  }
  bool Stored(int32_t a, int32_t b, int32_t c) {
    Kvs content, want;
    Fill(want, a, b, c);
    return app_->m_session.LoadProfile("Default_Server", "Lines", "Setup", content) &&
           sessions_test::SameContent(want, content);
  }
  uint64_t ServerRevision() {
    Kvs content;
    CT_ProfileVersion version{};
    EXPECT_TRUE(other_.LoadProfile("Default_Server", "Lines", "Setup", content, &version));
    return version.revision;
  }
  // Expects the Store Conflict dialog with those counts and presses button.
  void AnswerConflict(size_t mine, size_t theirs, size_t both, int button) {
    host_.ExpectDialog([=](DialogDriver& d) {
      EXPECT_EQ(d.Title().toStdString(), "Store Conflict");
      EXPECT_EQ(d.Text(CStoreConflictBox::IDC_MINE).toStdString(), "Your changes: " + std::to_string(mine));
      EXPECT_EQ(d.Text(CStoreConflictBox::IDC_THEIRS).toStdString(), "Changes on the server: " + std::to_string(theirs));
      EXPECT_EQ(d.Text(CStoreConflictBox::IDC_BOTH).toStdString(), "Both changed: " + std::to_string(both));
      EXPECT_EQ(d.IsDefault(CStoreConflictBox::IDC_MERGE), both == 0);
      EXPECT_NE(d.Text(CStoreConflictBox::IDC_WHEN).toStdString().find("another session"), std::string::npos);
      d.Click(button);
    });
  }

  MultiAdminSession other_;
};

// The session's conditional store: the revision read, a stale expectation
// refused with its own message and nothing written, a current one or none
// written; an add reports its revision.
TEST_F(ConflictEnv, SessionStoresOnlyOverTheRevisionExpected) {
  Kvs content;
  CT_ProfileVersion first{};
  ASSERT_TRUE(other_.LoadProfile("Default_Server", "Lines", "Setup", content, &first));
  EXPECT_NE(first.revision, 0u);
  std::vector<CT_RevisionInfo> revisions;
  ASSERT_TRUE(other_.ListRevisions("Default_Server", "Lines", "Setup", &revisions));
  ASSERT_FALSE(revisions.empty());
  EXPECT_EQ(first.timeUnixMs, revisions.front().timeUnixMs);  // the stored time, not another
  const uint64_t second = OtherStores(5, 2, 3);
  ASSERT_GT(second, first.revision);
  const struct {
    const char* what;
    uint64_t expected;
    bool stored;
  } cases[] = {
      {"stale", first.revision, false},
      {"current", second, true},
      {"always", 0, true},
  };
  int32_t value = 100;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Kvs next;
    Fill(next, ++value, 2, 3);
    const uint64_t before = ServerRevision();
    uint64_t written = 99;
    EXPECT_EQ(other_.SaveProfile("Default_Server", "Setup", "Lines", next, 1, c.expected, &written) != 0, c.stored);
    EXPECT_EQ(other_.IsRevisionConflict() != 0, !c.stored);
    if (c.stored) {
      EXPECT_GT(written, before);
      EXPECT_EQ(ServerRevision(), written);
      EXPECT_TRUE(Stored(value, 2, 3));
    } else {
      EXPECT_EQ(other_.LastError(), static_cast<uint32_t>(IDS_ADM_REVISION_CONFLICT));
      EXPECT_EQ(written, 0u);
      EXPECT_EQ(ServerRevision(), before);
      EXPECT_FALSE(Stored(value, 2, 3));
    }
  }
  // Every other outcome keeps its message: an add onto a taken name.
  uint64_t added = 0;
  EXPECT_FALSE(other_.SaveProfile("Default_Server", "Setup", "Lines", content, 0, 0, &added));
  EXPECT_EQ(other_.LastError(), static_cast<uint32_t>(IDS_ADM_NAME_EXISTS));
  EXPECT_FALSE(other_.IsRevisionConflict());
  EXPECT_TRUE(other_.SaveProfile("Default_Server", "Setup", "Trunks", content, 0, 0, &added));
  EXPECT_NE(added, 0u);
}

TEST_F(ConflictEnv, EditsOfDifferentKeysMergeAndTheNextStoreKeepsBoth) {
  const uint64_t retrieved = Doc()->BaseRevision();
  EditorEdits(10, 2, 3);
  const uint64_t theirs = OtherStores(1, 20, 3);
  AnswerConflict(1, 1, 0, CStoreConflictBox::IDC_MERGE);
  Run(ID_FILE_SAVE);
  EXPECT_EQ(host_.PendingScripts(), 0u);
  EXPECT_TRUE(host_.Messages().empty());
  // Merged in the tree, not yet stored; the base is now the server's.
  EXPECT_TRUE(Shows(10, 20, 3));
  EXPECT_TRUE(Doc()->IsModified());
  EXPECT_TRUE(Stored(1, 20, 3));
  EXPECT_FALSE(View()->IsComparing());
  EXPECT_NE(Doc()->BaseRevision(), retrieved);
  EXPECT_EQ(Doc()->BaseRevision(), theirs);
  // The merge is one step: Undo gives the editor's own edit, Redo the merge.
  Run(ID_EDIT_UNDO);
  EXPECT_TRUE(Shows(10, 2, 3));
  Run(ID_EDIT_REDO);
  EXPECT_TRUE(Shows(10, 20, 3));

  Run(ID_FILE_SAVE);
  EXPECT_TRUE(host_.Messages().empty());
  EXPECT_TRUE(host_.Dialogs().size() == 1u) << "no second dialog";
  EXPECT_TRUE(Stored(10, 20, 3));
  EXPECT_FALSE(Doc()->IsModified());
  EXPECT_EQ(Doc()->BaseRevision(), ServerRevision());
}

// Both changed A and C: each is marked as a conflict with the server's value
// beside it; Store is refused until every one is decided, and what the user
// chose for each is what is stored.
TEST_F(ConflictEnv, ConflictsAreMarkedAndTheUsersChoiceIsStored) {
  const struct {
    const char* what;
    UINT first, second;  // the command deciding A, then C
    int32_t a, c;        // what is stored
  } cases[] = {
      {"take A, keep C", ID_COMPARE_TAKE_OTHER, ID_COMPARE_KEEP_MINE, 30, 13},
      {"keep A, take C", ID_COMPARE_KEEP_MINE, ID_COMPARE_TAKE_OTHER, 10, 33},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    host_.Clear();
    ASSERT_TRUE(Doc()->OnOpenProfile("Default_Server", "Setup", "Lines"));
    Kvs start;
    Fill(start, 1, 2, 3);
    ASSERT_TRUE(app_->m_session.SaveProfile("Default_Server", "Setup", "Lines", start, 1));
    ASSERT_TRUE(Doc()->OnOpenProfile("Default_Server", "Setup", "Lines"));
    EditorEdits(10, 2, 13);
    OtherStores(30, 20, 33);
    AnswerConflict(2, 3, 2, CStoreConflictBox::IDC_MERGE);
    Run(ID_FILE_SAVE);
    ASSERT_EQ(host_.PendingScripts(), 0u);
    ASSERT_TRUE(View()->IsComparing());
    EXPECT_TRUE(Shows(10, 20, 13)) << "mine kept at the conflicts, theirs taken elsewhere";
    ASSERT_EQ(View()->UnresolvedConflicts(), 2);
    const std::vector<CTreeNode*> marked = View()->MarkedNodes();
    ASSERT_EQ(marked.size(), 2u);
    for (CTreeNode* node : marked) {
      auto* de = static_cast<CDENode*>(node);
      EXPECT_EQ(de->GetCompareMark(), Mark::Conflict);
      View()->SelectNode(node);
      const std::string heard = View()->GetAccessibleTree()->CurrentItemText().GetString();
      EXPECT_NE(heard.find("conflict"), std::string::npos) << heard;
    }
    EXPECT_NE(static_cast<CDENode*>(marked[0])->CompareMarkText().Find("int 30"), -1);
    EXPECT_NE(static_cast<CDENode*>(marked[1])->CompareMarkText().Find("int 33"), -1);
    // F8 visits the conflicts; the status bar counts them.
    View()->SelectNode(marked[1]);
    Run(ID_COMPARE_NEXT);
    EXPECT_EQ(View()->GetSelected(), marked[0]);
    EXPECT_EQ(std::string(View()->CompareStatus().GetString()), "Conflict 1 of 2");
    EXPECT_FALSE(Enabled(ID_COMPARE_END));
    View()->EndComparison();
    EXPECT_TRUE(View()->IsComparing()) << "undecided conflicts stay";

    // Refused while undecided: a message, nothing stored.
    Run(ID_FILE_SAVE);
    EXPECT_EQ(host_.MessageIds(), std::vector<UINT>{kUnresolved});
    EXPECT_TRUE(Stored(30, 20, 33));

    Run(c.first);
    ASSERT_EQ(View()->UnresolvedConflicts(), 1);
    if (c.first == ID_COMPARE_TAKE_OTHER) {
      // Undo brings the conflict back; Redo decides it again.
      Run(ID_EDIT_UNDO);
      EXPECT_EQ(View()->UnresolvedConflicts(), 2);
      Run(ID_EDIT_REDO);
      EXPECT_EQ(View()->UnresolvedConflicts(), 1);
    }
    EXPECT_EQ(std::string(View()->CompareStatus().GetString()), "1 conflicts with the changes on the server to decide");
    View()->SelectNode(View()->MarkedNodes().front());
    Run(c.second);
    EXPECT_EQ(View()->UnresolvedConflicts(), 0);
    EXPECT_TRUE(Enabled(ID_COMPARE_END));
    EXPECT_TRUE(Shows(c.a, 20, c.c));

    host_.Clear();
    Run(ID_FILE_SAVE);
    EXPECT_TRUE(host_.Messages().empty());
    EXPECT_TRUE(host_.Dialogs().empty());
    EXPECT_TRUE(Stored(c.a, 20, c.c));
    EXPECT_FALSE(Doc()->IsModified());
  }
}

// Cancel leaves everything; Overwrite asks, and No stores nothing, Yes
// stores the editor's profile whole.  A revision the watch reported leads
// to the dialog just the same.
TEST_F(ConflictEnv, CancelChangesNothingAndOverwriteAsksThenStoresMineWhole) {
  const struct {
    const char* what;
    int button;
    int answer;  // to the confirmation; 0: none asked
    bool storesMine;
  } cases[] = {
      {"cancel", IDCANCEL, 0, false},
      {"overwrite, no", CStoreConflictBox::IDC_OVERWRITE, IDNO, false},
      {"overwrite, yes", CStoreConflictBox::IDC_OVERWRITE, IDYES, true},
  };
  EditorEdits(10, 2, 3);
  const uint64_t base = Doc()->BaseRevision();
  const uint64_t theirs = OtherStores(30, 20, 3);
  // The watch's news: the server is at another revision than the base.
  EXPECT_TRUE(Doc()->NoteServerRevision(theirs, 0, false));
  EXPECT_FALSE(Doc()->NoteServerRevision(theirs, 0, false)) << "told once";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    host_.Clear();
    AnswerConflict(1, 2, 1, c.button);
    if (c.answer != 0) host_.AnswerMessage(c.answer);
    Run(ID_FILE_SAVE);
    EXPECT_EQ(host_.PendingScripts(), 0u);
    EXPECT_EQ(host_.MessageIds(), c.answer != 0 ? std::vector<UINT>{kConfirmOverwrite} : std::vector<UINT>{});
    EXPECT_TRUE(Shows(10, 2, 3));
    EXPECT_FALSE(View()->IsComparing());
    if (!c.storesMine) {
      EXPECT_TRUE(Stored(30, 20, 3));
      EXPECT_TRUE(Doc()->IsModified());
      EXPECT_EQ(Doc()->BaseRevision(), base);
      Run(ID_EDIT_UNDO);
      EXPECT_TRUE(Shows(1, 2, 3)) << "the edit is still the last step";
      Run(ID_EDIT_REDO);
    } else {
      EXPECT_TRUE(Stored(10, 2, 3));
      EXPECT_FALSE(Doc()->IsModified());
      EXPECT_EQ(Doc()->BaseRevision(), ServerRevision());
    }
  }
}

// Store As expects nothing: onto a name the server has it fails as it
// always has, onto a new one it stores and that profile becomes the base.
TEST_F(ConflictEnv, StoreAsOntoATakenNameStillFailsWithoutTheDialog) {
  // An opened revision is an edit of the retrieved profile: the base stays.
  const uint64_t retrieved = Doc()->BaseRevision();
  ASSERT_TRUE(Doc()->OpenRevision(retrieved));
  EXPECT_EQ(Doc()->BaseRevision(), retrieved);
  EditorEdits(10, 2, 3);
  OtherStores(30, 20, 3);
  host_.ExpectDialog([](DialogDriver& d) { d.PressEnter(); });  // Store As, same name
  Run(ID_FILE_SAVE_AS);
  EXPECT_EQ(host_.MessageIds(), std::vector<UINT>{IDS_ADM_NAME_EXISTS});
  EXPECT_TRUE(Stored(30, 20, 3));
  // A new name: stored, and the base is the new profile's.
  host_.Clear();
  host_.ExpectDialog([](DialogDriver& d) {
    d.Type(1004, "Lines2");
    d.PressEnter();
  });
  Run(ID_FILE_SAVE_AS);
  EXPECT_TRUE(host_.Messages().empty());
  EXPECT_EQ(std::string(Doc()->GetProfileName().GetString()), "Lines2");
  EXPECT_TRUE(Doc()->HasBase());
  EXPECT_NE(Doc()->BaseRevision(), 0u);
}

}  // namespace
