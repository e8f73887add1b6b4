// Undo and redo in the running editor: every kind of change comes back
// exactly (compared through the tree's element), the changed node is
// selected, the title's mark follows the stored state, new profiles start
// a new history, and the history keeps to its byte budget.
#include <functional>

#include "platform/undohistory.h"
#include "tests/app/editenv.h"
#include "tree/kvs_node.h"

namespace {

using namespace edit_test;

class UndoEnv : public EditEnv {
 protected:
  void Undo() { app_->m_pMainWnd->ExecuteCommand(ID_EDIT_UNDO); }
  void Redo() { app_->m_pMainWnd->ExecuteCommand(ID_EDIT_REDO); }
  std::string MenuText(UINT id) const {
    CCmdUI ui(id);
    View()->OnCmdMsg(id, &ui);
    return ui.m_strText.GetString();
  }
};

TEST_F(UndoEnv, EveryKindOfChangeIsUndoneAndRedoneExactly) {
  struct Case {
    const char* name;  // the change as the menu names it
    std::function<void()> change;
  } cases[] = {
      {"Add Integer",
       [&] {
         Select(Root());
         Run({TypeOK(kKeyEdit, "501")}, ID_ADD_INTEGER);
       }},
      {"Properties",  // a value
       [&] {
         Select(Value(0));
         Run({TypeOK(49153, "77")}, ID_EDIT_PROPERTIES);
       }},
      {"Properties",  // a key
       [&] {
         Select(Pair(0));
         Run({TypeOK(49203, "9999")}, ID_EDIT_PROPERTIES);
       }},
      {"Properties",  // an empty array's element type
       [&] {
         Select(Value(2));
         Run({ClickOK(49191)}, ID_EDIT_PROPERTIES);
       }},
      {"Add Boolean",  // into an empty array: only the value is asked for
       [&] {
         Select(Value(2));
         Run({ClickOK(49164)}, ID_ADD_BOOLEAN);
       }},
      {"Cut",
       [&] {
         Select(Value(3)->GetFirstChild());
         Run({}, ID_EDIT_CUT);
       }},
      {"Paste",
       [&] {
         Select(Value(1));
         Run({}, ID_EDIT_COPY);
         Select(Root());
         Run({TypeOK(kKeyEdit, "502")}, ID_EDIT_PASTE);
       }},
      {"Delete",
       [&] {
         Select(Pair(1));
         Run({}, ID_EDIT_DELETE);
       }},
      {"Open Revision",
       [&] {
         Kvs other;
         CTkvs_PutInt(other, 0x7777, 1, nullptr);
         ASSERT_TRUE(View()->OpenRevisionContent(other));
       }},
  };
  for (const Case& c : cases) {
    const std::string before = TextOf(Root());
    c.change();
    const std::string after = TextOf(Root());
    ASSERT_NE(after, before) << c.name;
    EXPECT_EQ(MenuText(ID_EDIT_UNDO), std::string("&Undo ") + c.name + "\tCtrl+Z");
    Undo();
    EXPECT_EQ(TextOf(Root()), before) << c.name;
    EXPECT_EQ(MenuText(ID_EDIT_REDO), std::string("&Redo ") + c.name + "\tCtrl+Y");
    Redo();
    EXPECT_EQ(TextOf(Root()), after) << c.name;
    EXPECT_NE(View()->GetSelected(), nullptr) << c.name;
    EXPECT_TRUE(host_.Messages().empty()) << c.name;
  }
  // Undoing everything gives back the retrieved profile; the history holds
  // nothing before it.
  while (Enabled(ID_EDIT_UNDO)) Undo();
  EXPECT_NE(TextOf(Root()).find("#28677 = symbol #17827853;"), std::string::npos);
  EXPECT_EQ(View()->History().Index(), 0);
}

TEST_F(UndoEnv, TheChangedNodeIsSelectedAndTheMarkFollowsTheStoredState) {
  CTreeNode* inner = Value(1)->GetFirstChild();
  Value(1)->SetExpanded(0);
  Select(inner->GetNextSibling());
  Run({}, ID_EDIT_DELETE);
  Select(Root());
  Undo();
  // The pair is back where it was, selected, its branch open.
  EXPECT_EQ(View()->GetSelected(), Value(1)->GetLastChild());
  EXPECT_TRUE(Value(1)->IsExpanded());
  EXPECT_EQ(Title().find('*'), std::string::npos) << "back at the retrieved state: " << Title();
  Redo();
  EXPECT_NE(Title().find(" *"), std::string::npos);

  // Stored: clean there; undoing away from it marks, redoing back clears.
  app_->m_pMainWnd->ExecuteCommand(ID_FILE_SAVE);
  ASSERT_TRUE(host_.Messages().empty());
  EXPECT_EQ(Title().find('*'), std::string::npos);
  Undo();
  EXPECT_NE(Title().find(" *"), std::string::npos);
  Redo();
  EXPECT_EQ(Title().find('*'), std::string::npos);

  // Retrieving starts a new history.
  ASSERT_TRUE(Doc()->OnOpenProfile("B", "Setup", "Edit"));
  EXPECT_FALSE(Enabled(ID_EDIT_UNDO));
  EXPECT_FALSE(Enabled(ID_EDIT_REDO));
}

// A step of a given size that counts what it did.
struct CountingStep : CUndoStep {
  CountingStep(size_t bytes, int* undone) : size(bytes), undone(undone) {}
  void Undo() override { ++*undone; }
  void Redo() override {}
  CString Name() const override { return "Step"; }
  size_t Bytes() const override { return size; }
  size_t size;
  int* undone;
};

TEST(UndoHistory, KeepsItsByteBudgetDroppingTheOldestAndTheCleanStateWithThem) {
  int undone = 0;
  CUndoHistory history;
  history.SetByteLimit(1000);
  history.Add(std::make_unique<CountingStep>(400, &undone));
  history.SetClean();
  history.Add(std::make_unique<CountingStep>(400, &undone));
  EXPECT_EQ(history.Count(), 2);
  EXPECT_FALSE(history.IsClean());
  // A third step goes over: the oldest goes; the clean state is still one back.
  history.Add(std::make_unique<CountingStep>(400, &undone));
  EXPECT_EQ(history.Count(), 2);
  EXPECT_EQ(history.Bytes(), 800u);
  EXPECT_EQ(undone, 0) << "dropping runs nothing";
  history.Undo();
  EXPECT_FALSE(history.IsClean());
  history.Undo();
  EXPECT_TRUE(history.IsClean());
  history.Redo();
  history.Redo();
  // Another drop takes the clean state with it: it can no longer be reached.
  history.Add(std::make_unique<CountingStep>(400, &undone));
  history.Undo();
  history.Undo();
  EXPECT_FALSE(history.CanUndo());
  EXPECT_FALSE(history.IsClean());
  EXPECT_EQ(undone, 4);
  // The newest step stays even when it alone is over the budget.
  history.Add(std::make_unique<CountingStep>(5000, &undone));
  EXPECT_EQ(history.Count(), 1);
  EXPECT_TRUE(history.CanUndo());
}

}  // namespace
