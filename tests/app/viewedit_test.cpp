// The view's editing commands, clipboard and find, in the running editor
// against real ctserver processes: which commands a node allows, creating
// every kind in a set and in arrays, Delete and the selection after it, the
// context menu, copy, cut and paste (also between two servers with
// different symbol tables), and Find Next's walk and scrolling.
#include <QAbstractScrollArea>
#include <QKeyEvent>
#include <QScrollBar>

#include "s100/ctlimits.h"
#include "tests/app/editenv.h"
#include "tree/intnode.h"
#include "tree/kvp_node.h"
#include "tree/kvs_node.h"
#include "tree/sym_node.h"

namespace {

using namespace edit_test;

const UINT kCreateCommands[] = {ID_ADD_ARRAY,   ID_ADD_BOOLEAN, ID_ADD_FLOAT,  ID_ADD_FRANGE, ID_ADD_INTEGER,
                                ID_ADD_IRANGE,  ID_ADD_KVSET,   ID_ADD_STRING, ID_ADD_SYMBOL, ID_ADD_UINT};

TEST_F(EditEnv, EachNodeAllowsItsOwnCommandsAndShowsThemInItsContextMenu) {
  struct Case {
    const char* what;
    CTreeNode* node;
    std::vector<UINT> creates;  // the create commands enabled
    bool properties, del;
  } cases[] = {
      {"root", Root(), std::vector<UINT>(std::begin(kCreateCommands), std::end(kCreateCommands)), false, false},
      {"pair", Pair(0), {}, true, true},
      {"value of a pair", Value(0), {}, true, false},
      {"nested set", Value(1), std::vector<UINT>(std::begin(kCreateCommands), std::end(kCreateCommands)), false,
       false},
      {"inner pair", Value(1)->GetFirstChild(), {}, true, true},
      {"empty string array", Value(2), {ID_ADD_STRING}, true, false},
      {"integer array with elements", Value(3), {ID_ADD_INTEGER}, false, false},
      {"array element", Value(3)->GetFirstChild(), {}, true, true},
  };
  for (const Case& c : cases) {
    Select(c.node);
    std::vector<UINT> creates;
    for (UINT id : kCreateCommands)
      if (Enabled(id)) creates.push_back(id);
    EXPECT_EQ(creates, c.creates) << c.what;
    EXPECT_EQ(Enabled(ID_EDIT_PROPERTIES), c.properties) << c.what;
    EXPECT_EQ(Enabled(ID_EDIT_DELETE), c.del) << c.what;
    EXPECT_EQ(Enabled(ID_EDIT_CUT), c.del) << c.what;
    EXPECT_TRUE(Enabled(ID_EDIT_COPY)) << c.what;

    // The context menu: Properties, Delete, then the "Add" entries in their
    // fixed order after a separator that goes when there are none.
    host_.Clear();
    host_.ChooseMenuItem(0);
    View()->OnRButtonDown(0, CPoint(-1000, -1000));  // empty space: the selection stays
    ASSERT_EQ(host_.Menus().size(), 1u) << c.what;
    const auto& items = host_.Menus().front().items;
    std::vector<UINT> ids;
    for (const auto& item : items) ids.push_back(item.separator ? 0 : item.id);
    std::vector<UINT> expected = {ID_EDIT_PROPERTIES, ID_EDIT_DELETE};
    if (!c.creates.empty()) expected.push_back(0);
    expected.insert(expected.end(), c.creates.begin(), c.creates.end());
    EXPECT_EQ(ids, expected) << c.what;
    EXPECT_EQ(items[0].enabled, c.properties) << c.what;
    EXPECT_EQ(items[1].enabled, c.del) << c.what;
    EXPECT_EQ(View()->GetSelected(), c.node) << c.what;
  }
  Select(Root());
  host_.Clear();
  host_.ChooseMenuItem(0);
  View()->OnRButtonDown(0, CPoint(-1000, -1000));
  EXPECT_EQ(host_.Menus().front().items[3].text.toStdString(), "Add Array...\tAlt+A");
  EXPECT_EQ(host_.Menus().front().items[12].text.toStdString(), "Add Unsigned Integer...\tAlt+U");
}

TEST_F(EditEnv, EveryKindIsCreatedThroughTheContainersDialogs) {
  struct Case {
    UINT command;
    std::vector<Script> value;  // the value dialog's script, none for a set
    std::string text;
  } cases[] = {
      {ID_ADD_INTEGER, {TypeOK(49153, "-8")}, "int -8"},
      {ID_ADD_UINT, {TypeOK(49154, "7")}, "uint 7"},
      {ID_ADD_BOOLEAN, {ClickOK(49164)}, "bool 1"},
      {ID_ADD_STRING, {TypeOK(49160, "hi")}, "string \"hi\""},
      {ID_ADD_FLOAT, {TypeOK(49185, "1.5")}, "float 1.5"},
      {ID_ADD_IRANGE,
       {[](DialogDriver& d) {
         d.Type(49161, "1");
         d.Type(49155, "5");
         d.Click(IDOK);
       }},
       "irange 1 to 5"},
      {ID_ADD_FRANGE,
       {[](DialogDriver& d) {
         d.Type(49161, "0.5");
         d.Type(49155, "2.5");
         d.Click(IDOK);
       }},
       "frange 0.5 to 2.5"},
      {ID_ADD_SYMBOL, {TypeOK(49203, "Admin_ProfileNames")}, "symbol #17827853"},
      {ID_ADD_ARRAY, {ClickOK(49195)}, "array string []"},
      {ID_ADD_KVSET, {}, "kvset {}"},
  };
  int key = 900;
  for (Case& c : cases) {
    ++key;
    Select(Root());
    host_.Clear();
    const bool hasValue = !c.value.empty();
    host_.ExpectDialog([key, hasValue](DialogDriver& d) {
      d.Type(kKeyEdit, QString::number(key));
      d.Click(hasValue ? kKeyEditValue : IDOK);
    });
    Run(std::move(c.value), c.command);
    EXPECT_TRUE(host_.Messages().empty()) << c.text;
    EXPECT_EQ(host_.PendingScripts(), 0u) << c.text;
    EXPECT_NE(TextOf(Root()).find("#" + std::to_string(key) + " = " + c.text + ";"), std::string::npos)
        << TextOf(Root());
    EXPECT_EQ(View()->GetSelected(), Root()) << "the selection does not move";
  }
  // In an empty array only the value is asked for; in one with elements the
  // position comes first, and "Edit Value..." leads to the value.
  Select(Value(2));
  Run({TypeOK(49160, "first")}, ID_ADD_STRING);
  EXPECT_EQ(TextOf(Value(2)), "array string [\"first\"]");
  Select(Value(3));
  Run({[](DialogDriver& d) {
         d.Type(kPositionEdit, "1");
         d.Click(kInsertEditValue);
       },
       TypeOK(49153, "9")},
      ID_ADD_INTEGER);
  EXPECT_EQ(TextOf(Value(3)), "array int [1, 9, 2]");
  EXPECT_EQ(host_.PendingScripts(), 0u);
}

TEST_F(EditEnv, CancellingLeavesTheTreeButMarksTheProfileAndRefusalsSayWhy) {
  const std::string before = TextOf(Root());
  EXPECT_EQ(Title().find('*'), std::string::npos);
  Select(Root());
  Run({Cancel()}, ID_ADD_INTEGER);
  EXPECT_EQ(TextOf(Root()), before);
  EXPECT_NE(Title().find(" *"), std::string::npos) << Title();

  // Direct calls where the command would be disabled.
  struct Case {
    const char* what;
    CTreeNode* node;
    UINT command;
    std::vector<UINT> messages;
  } cases[] = {
      {"delete the root", Root(), ID_EDIT_DELETE, {4122}},
      {"delete a pair's value", Value(0), ID_EDIT_DELETE, {4122}},
      {"delete with nothing selected", nullptr, ID_EDIT_DELETE, {}},
      {"properties with nothing selected", nullptr, ID_EDIT_PROPERTIES, {4122}},
      {"create in a leaf", Value(0), ID_ADD_INTEGER, {}},
      {"copy with nothing selected", nullptr, ID_EDIT_COPY, {4122}},
  };
  QApplication::clipboard()->setText("kept");
  for (const Case& c : cases) {
    host_.Clear();
    Select(c.node);
    View()->OnCmdMsg(c.command, nullptr);
    EXPECT_EQ(host_.MessageIds(), c.messages) << c.what;
    EXPECT_EQ(TextOf(Root()), before) << c.what;
  }
  EXPECT_EQ(QApplication::clipboard()->text().toStdString(), "kept");
  host_.Clear();
  Select(Value(2));  // an integer cannot join an array of strings
  CDENode* intruder = new CIntegerNode();
  EXPECT_FALSE(View()->AddNodeToProfile(intruder));
  delete intruder;
  EXPECT_EQ(host_.MessageIds(), std::vector<UINT>{4120});
}

TEST_F(EditEnv, DeleteSelectsTheNodeAboveOrTheParent) {
  // The first child of a set: the set itself.
  Select(Value(1)->GetFirstChild());
  Run({}, ID_EDIT_DELETE);
  EXPECT_EQ(View()->GetSelected(), Value(1));
  EXPECT_EQ(TextOf(Value(1)), "kvset {\n  #28930 = int 2;\n}");
  // A later child: the previous child's last visible descendant.
  Value(1)->SetExpanded(1);
  Select(Pair(2));
  Run({}, ID_EDIT_DELETE);
  EXPECT_EQ(View()->GetSelected(), Value(1)->GetFirstChild()->GetFirstChild());
  EXPECT_EQ(TextOf(Pair(2)), "array int [1, 2]");
  EXPECT_NE(Title().find(" *"), std::string::npos);
  EXPECT_TRUE(host_.Messages().empty());
}

TEST_F(EditEnv, CopyPutsTheTextUnderBothFormatsAndPasteTakesOnlyItsOwn) {
  Select(Value(1));
  Run({}, ID_EDIT_COPY);
  const QMimeData* data = QApplication::clipboard()->mimeData();
  ASSERT_NE(data, nullptr);
  const std::string copied = data->data(kDeifMime).toStdString();
  EXPECT_EQ(copied, "kvset {\n  #28929 = int 1;\n  #28930 = int 2;\n}");
  EXPECT_EQ(data->text().toStdString(), copied);

  // Into the root under a new key; into a scalar it does not go.
  Select(Root());
  EXPECT_TRUE(Enabled(ID_EDIT_PASTE));
  Run({TypeOK(kKeyEdit, "77")}, ID_EDIT_PASTE);
  EXPECT_NE(TextOf(Root()).find("#77 = kvset {\n    #28929 = int 1;"), std::string::npos) << TextOf(Root());
  const std::string after = TextOf(Root());
  Select(Value(0));
  Run({}, ID_EDIT_PASTE);
  EXPECT_EQ(host_.MessageIds(), std::vector<UINT>{4132});

  // What another program puts there does not count, and text that is not
  // data-element text, a type no node shows or an overlong text is refused.
  QApplication::clipboard()->setText("kvset {}");
  Select(Root());
  EXPECT_FALSE(Enabled(ID_EDIT_PASTE));
  Select(nullptr);
  EXPECT_FALSE(Enabled(ID_EDIT_PASTE));
  struct Case {
    QByteArray text;
    UINT message;
  } cases[] = {
      {"kvset { oops", 4124},
      {"none", 4134},
      {"int 1 trailing", 4124},
      {QByteArray(static_cast<qsizetype>(kDeifMaxTextBytes) + 1, ' '), 4124},
  };
  Select(Root());
  for (const Case& c : cases) {
    auto* mime = new QMimeData;
    mime->setData(kDeifMime, c.text);
    QApplication::clipboard()->setMimeData(mime);
    EXPECT_TRUE(Enabled(ID_EDIT_PASTE));
    host_.Clear();
    Run({}, ID_EDIT_PASTE);
    EXPECT_EQ(host_.MessageIds(), std::vector<UINT>{c.message}) << c.text.left(20).toStdString();
    EXPECT_EQ(TextOf(Root()), after);
  }
}

TEST_F(EditEnv, CutDeletesOnlyWhatItCopied) {
  Select(Value(3)->GetFirstChild());
  Run({}, ID_EDIT_CUT);
  EXPECT_EQ(TextOf(Value(3)), "array int [2]");
  EXPECT_EQ(QApplication::clipboard()->text().toStdString(), "int 1");
  // A pair without a key has no element: the copy fails and nothing goes.
  auto* broken = new CKVPairNode(nullptr, new CIntegerNode());
  ASSERT_TRUE(Root()->CTreeNode::AddSubNode(broken, -1));
  Select(broken);
  host_.Clear();
  Run({}, ID_EDIT_CUT);
  EXPECT_EQ(host_.MessageIds(), std::vector<UINT>{4106});
  EXPECT_EQ(Root()->GetLastChild(), broken);
  EXPECT_EQ(QApplication::clipboard()->text().toStdString(), "int 1");
}

TEST_F(EditEnv, SymbolsTravelBetweenServersByName) {
  // Admin_ProfileNames is 0x5000 on B; Admin_ProfileClasses is not known there.
  Select(Value(4));
  Run({}, ID_EDIT_COPY);
  EXPECT_EQ(QApplication::clipboard()->text().toStdString(), "symbol Admin_ProfileNames");
  ASSERT_TRUE(Doc()->OnOpenProfile("B", "Setup", "Edit"));
  ASSERT_EQ(View()->GetSymbolServer(), CString("B"));
  Select(Root());
  Run({TypeOK(kKeyEdit, "78")}, ID_EDIT_PASTE);
  EXPECT_TRUE(host_.Messages().empty());
  EXPECT_NE(TextOf(Root()).find("#78 = symbol #20480;"), std::string::npos) << TextOf(Root());

  auto* mime = new QMimeData;
  mime->setData(kDeifMime, "symbol Admin_ProfileClasses");
  QApplication::clipboard()->setMimeData(mime);
  const std::string before = TextOf(Root());
  Run({}, ID_EDIT_PASTE);
  EXPECT_EQ(host_.MessageIds(), std::vector<UINT>{4124});
  EXPECT_EQ(TextOf(Root()), before);
}

TEST_F(EditEnv, FindNextWalksInDisplayOrderWrapsAndScrollsTheFoundNodeIn) {
  // Collapse everything below the root: matches inside are found anyway.
  for (CTreeNode* p = Root()->GetFirstChild(); p != nullptr; p = p->GetNextSibling()) {
    p->SetExpanded(0);
    if (p->GetFirstChild() != nullptr) p->GetFirstChild()->SetExpanded(0);
  }
  Select(Root());
  host_.ExpectDialog([](DialogDriver& d) {
    EXPECT_EQ(d.Text(kFindEdit), "");  // a set has no text: the last search's
    d.Type(kFindEdit, "+1");
    d.Click(IDOK);
  });
  View()->OnEditFind();
  EXPECT_EQ(View()->GetFindText(), CString("+1"));
  // "+1" is shown by the inner integer 1 and the array element 1.
  CTreeNode* inner = Value(1)->GetFirstChild()->GetFirstChild();
  CTreeNode* element = Value(3)->GetFirstChild();
  EXPECT_EQ(View()->GetSelected(), inner);
  EXPECT_TRUE(Value(1)->IsExpanded() && Pair(1)->IsExpanded());
  const std::vector<CTreeNode*> order = {element, inner, element};
  for (CTreeNode* expected : order) {
    View()->OnEditFindnext();
    EXPECT_EQ(View()->GetSelected(), expected);
  }
  // Case-insensitively by a piece of the text; a key is found by its pair.
  Select(Root());
  host_.ExpectDialog(TypeOK(kFindEdit, "profilenames"));
  View()->OnEditFind();
  EXPECT_EQ(View()->GetSelected(), Value(4));
  // The only match selected: the not-found notice, nothing moves.
  host_.Clear();
  host_.ExpectDialog([](DialogDriver& d) { d.Click(IDOK); });
  View()->OnEditFindnext();
  ASSERT_EQ(host_.Dialogs().size(), 1u);
  EXPECT_EQ(host_.Dialogs().front().title.toStdString(), "Find");
  EXPECT_TRUE(host_.Messages().empty());
  EXPECT_EQ(View()->GetSelected(), Value(4));

  // An empty entry is remembered and disables Find Next.
  EXPECT_TRUE(Enabled(ID_FIND_NEXT));
  host_.ExpectDialog(TypeOK(kFindEdit, ""));
  View()->OnEditFind();
  EXPECT_EQ(View()->GetFindText(), CString(""));
  EXPECT_FALSE(Enabled(ID_FIND_NEXT));
}

TEST_F(EditEnv, FindNextScrollsTheFoundNodeToTheNearEdge) {
  // A long profile: 300 pairs, the string "needle" in the first and the last.
  Kvs big;
  for (int i = 0; i < 300; ++i) CTkvs_PutInt(big, 0x8000 + i, i, nullptr);
  CTkvs_PutString(big, 0x8000, "needle", nullptr);
  CTkvs_PutString(big, 0x8000 + 299, "needle", nullptr);
  ASSERT_TRUE(View()->PutProfile("A", big));
  View()->RedrawNow();
  QApplication::processEvents();
  CRect client;
  View()->GetClientRect(&client);
  const float zoom = View()->GetZoom();
  auto box = [&](CTreeNode* node) {
    CRect r;
    int y = 4;
    EXPECT_TRUE(Root()->GetDims(node, 4, y, r));
    return r;
  };
  // Downwards: the bottom edge plus 4 shows at the window's bottom.
  Select(Root()->GetFirstChild()->GetFirstChild());
  host_.ExpectDialog(TypeOK(kFindEdit, "needle"));
  View()->OnEditFind();
  CTreeNode* last = Root()->GetLastChild()->GetFirstChild();
  EXPECT_EQ(View()->GetSelected(), last);
  const int wantBottom = static_cast<int>((box(last).bottom + 4) * zoom) - client.Height();
  EXPECT_EQ(View()->GetScrollPosition().y, wantBottom);
  // Upwards after the wrap: the top edge minus 4 shows at the top.
  View()->OnEditFindnext();
  CTreeNode* first = Root()->GetFirstChild()->GetFirstChild();
  EXPECT_EQ(View()->GetSelected(), first);
  EXPECT_EQ(View()->GetScrollPosition().y, std::max(0, static_cast<int>((box(first).top - 4) * zoom)));
  EXPECT_EQ(View()->GetScrollPosition().x, 0);
}

// Sets nested levels deep, each inside the other's key #1, as clipboard text.
std::string NestedSets(int levels) {
  std::string text = "kvset {}";
  for (int i = 1; i < levels; ++i) text = "kvset {\n#1 = " + text + ";\n}";
  return text;
}

TEST_F(EditEnv, PasteAndCreateKeepTheProfileWithinTheNestingItCanBeStoredWith) {
  const std::string before = TextOf(Root());
  auto Paste = [&](int levels, std::vector<Script> scripts) {
    auto* mime = new QMimeData;
    mime->setData(kDeifMime, QByteArray::fromStdString(NestedSets(levels)));
    QApplication::clipboard()->setMimeData(mime);
    host_.Clear();
    Select(Root());
    Run(std::move(scripts), ID_EDIT_PASTE);
  };
  // The root is the first level: a paste one level too deep is refused
  // before any key is asked for, and nothing changes.
  Paste(kCtMaxElementDepth, {});
  EXPECT_EQ(host_.MessageIds(), std::vector<UINT>{4420});
  EXPECT_TRUE(host_.Dialogs().empty());
  EXPECT_EQ(TextOf(Root()), before);
  EXPECT_EQ(Title(), "[Edit, Setup, A]");
  // Exactly as deep as allowed is taken, and stored.
  Paste(kCtMaxElementDepth - 1, {TypeOK(kKeyEdit, "77")});
  EXPECT_TRUE(host_.Messages().empty());
  EXPECT_NE(TextOf(Root()), before);
  app_->m_pMainWnd->ExecuteCommand(ID_FILE_SAVE);
  EXPECT_TRUE(host_.Messages().empty()) << host_.Messages().front().text.GetString();
  EXPECT_EQ(Title(), "[Edit, Setup, A]");

  // In the deepest set only objects that do not nest may be created.
  CTreeNode* deepest = nullptr;
  for (CTreeNode* pair = Root()->GetFirstChild(); pair != nullptr; pair = pair->GetNextSibling())
    if (static_cast<CKVPairNode*>(pair)->GetKey() == 77) deepest = pair->GetFirstChild();
  ASSERT_NE(deepest, nullptr);
  int levels = 2;
  for (; deepest->GetFirstChild() != nullptr; ++levels) deepest = deepest->GetFirstChild()->GetFirstChild();
  ASSERT_EQ(levels, kCtMaxElementDepth);
  struct Case {
    UINT command;
    std::vector<UINT> messages;
    size_t dialogs;  // the key dialog, cancelled
  } cases[] = {
      {ID_ADD_KVSET, {4420}, 0},
      {ID_ADD_ARRAY, {4420}, 0},
      {ID_ADD_INTEGER, {}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    host_.Clear();
    Select(deepest);
    Run({Cancel()}, c.command);
    EXPECT_EQ(host_.MessageIds(), c.messages);
    EXPECT_EQ(host_.Dialogs().size(), c.dialogs);
    EXPECT_EQ(deepest->GetFirstChild(), nullptr);
  }
}

TEST_F(EditEnv, FindShowsTheFoundRowWholeWhenItsTextBringsTheHorizontalBar) {
  // A long profile whose last set, closed, holds a string far wider than
  // the window: nothing needs the horizontal bar until Find opens the set.
  Kvs big, inner;
  for (int i = 0; i < 300; ++i) CTkvs_PutInt(big, 0x8000 + i, i, nullptr);
  CTkvs_PutString(inner, 0x7101, ("needle " + std::string(3000, 'x')).c_str(), nullptr);
  CTkvs_PutKVSet(big, 0x8000 + 300, inner, nullptr);
  ASSERT_TRUE(View()->PutProfile("A", big));
  CTreeNode* set = Root()->GetLastChild()->GetFirstChild();
  set->SetExpanded(0);
  View()->RedrawNow();
  QApplication::processEvents();
  auto* area = qobject_cast<QAbstractScrollArea*>(View()->ScrollArea());
  ASSERT_NE(area, nullptr);
  ASSERT_FALSE(area->horizontalScrollBar()->isVisible());

  Select(Root()->GetFirstChild()->GetFirstChild());
  host_.ExpectDialog(TypeOK(kFindEdit, "needle"));
  View()->OnEditFind();
  CTreeNode* found = set->GetFirstChild()->GetFirstChild();
  ASSERT_EQ(View()->GetSelected(), found);
  // Whatever Qt lays out later, the found row stays above the bar.
  View()->RedrawNow();
  QApplication::processEvents();
  EXPECT_TRUE(area->horizontalScrollBar()->isVisible());
  CRect client;
  View()->GetClientRect(&client);
  EXPECT_EQ(client.Height(), area->viewport()->height());
  CRect r;
  int y = 4;
  ASSERT_TRUE(Root()->GetDims(found, 4, y, r));
  const int bottom = static_cast<int>((r.bottom + 4) * View()->GetZoom());
  EXPECT_EQ(View()->GetScrollPosition().y + client.Height(), bottom);
  EXPECT_EQ(View()->GetScrollPosition().x, 0);
}

// The keypad's * and / run Expand All and Collapse All, as their menu items
// say, also where the platform hands them to the view as plain key presses
// (its key map leaves the keypad out of shortcut matching); the main
// block's * and / are no commands.
TEST_F(EditEnv, KeypadStarAndSlashExpandAndCollapseAll) {
  auto Press = [&](Qt::Key key, Qt::KeyboardModifiers modifiers) {
    const QString text = key == Qt::Key_Asterisk ? QStringLiteral("*") : QStringLiteral("/");
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QApplication::sendEvent(View()->ScrollArea(), &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
    QApplication::sendEvent(View()->ScrollArea(), &release);
  };
  auto AllExpanded = [&](bool expanded) {
    for (int n = 0; n < 5; ++n) {
      if (Pair(n)->IsExpanded() != expanded) return false;
      if (Value(n)->GetFirstChild() != nullptr && Value(n)->IsExpanded() != expanded) return false;
    }
    return true;
  };
  Select(Root());
  Run({}, ID_VIEW_COLLAPSEALL);
  Root()->SetExpanded(1);
  ASSERT_TRUE(AllExpanded(false));
  struct Case {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    bool expanded;  // every node below the root afterwards
  } cases[] = {
      {Qt::Key_Asterisk, Qt::NoModifier, false},
      {Qt::Key_Asterisk, Qt::KeypadModifier, true},
      {Qt::Key_Slash, Qt::NoModifier, true},
      {Qt::Key_Slash, Qt::KeypadModifier, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    SCOPED_TRACE(c.modifiers.toInt());
    Select(Root());
    Press(c.key, c.modifiers);
    EXPECT_TRUE(AllExpanded(c.expanded));
    EXPECT_EQ(View()->GetSelected(), Root());
  }
  EXPECT_TRUE(host_.Messages().empty());
}

}  // namespace

namespace {

using namespace edit_test;

class EditMarks : public EditEnv {
 protected:
  bool Marked() const { return Title().find(" *") != std::string::npos; }
  std::string UndoText() const {
    CCmdUI ui(ID_EDIT_UNDO);
    View()->OnCmdMsg(ID_EDIT_UNDO, &ui);
    return ui.m_strText.GetString();
  }
  // Adds a value under key to the root through the key and value dialogs.
  void Add(UINT command, int key, Script value) {
    Select(Root());
    host_.ExpectDialog([key](DialogDriver& d) {
      d.Type(kKeyEdit, QString::number(key));
      d.Click(kKeyEditValue);
    });
    Run({std::move(value)}, command);
  }
};

TEST_F(EditMarks, PropertiesConfirmedWithoutAChangeNeitherMarksNorRecords) {
  // Values of every kind, among them floats that seven digits do not give
  // back, stored so that the profile starts unmarked.
  const auto typeTwo = [](const char* begin, const char* end) -> Script {
    return [begin, end](DialogDriver& d) {
      d.Type(49161, begin);
      d.Type(49155, end);
      d.Click(IDOK);
    };
  };
  Add(ID_ADD_FLOAT, 901, TypeOK(49185, "1.0000001"));
  Add(ID_ADD_FRANGE, 902, typeTwo("0.1", "-1.0000001"));
  Add(ID_ADD_UINT, 903, TypeOK(49154, "7"));
  Add(ID_ADD_BOOLEAN, 904, ClickOK(49167));
  Add(ID_ADD_STRING, 905, TypeOK(49160, "hi"));
  Add(ID_ADD_IRANGE, 906, typeTwo("1", "5"));
  Add(ID_ADD_SYMBOL, 907, TypeOK(49203, "#300"));
  ASSERT_TRUE(host_.Messages().empty()) << host_.Messages().front().stringId;
  ASSERT_EQ(host_.PendingScripts(), 0u);
  app_->m_pMainWnd->ExecuteCommand(ID_FILE_SAVE);
  ASSERT_FALSE(Marked()) << Title();
  const std::string undo = UndoText();
  const std::string before = TextOf(Root());

  struct Case {
    const char* what;
    CTreeNode* node;
  } cases[] = {
      {"key with a name-less symbol", Pair(0)},
      {"integer", Value(0)},
      {"key inside a nested set", Value(1)->GetFirstChild()},
      {"empty array's element type", Value(2)},
      {"array element", Value(3)->GetFirstChild()},
      {"last key", Pair(4)},
      {"symbol with a name", Value(4)},
      {"float", Value(5)},
      {"float range", Value(6)},
      {"unsigned", Value(7)},
      {"boolean", Value(8)},
      {"string", Value(9)},
      {"integer range", Value(10)},
      {"symbol given as #number", Value(11)},
  };
  for (const Case& c : cases) {
    ASSERT_NE(c.node, nullptr) << c.what;
    host_.Clear();
    Select(c.node);
    Run({[](DialogDriver& d) { d.Click(IDOK); }}, ID_EDIT_PROPERTIES);
    EXPECT_EQ(host_.PendingScripts(), 0u) << c.what;
    EXPECT_TRUE(host_.Messages().empty()) << c.what;
    EXPECT_FALSE(Marked()) << c.what;
    EXPECT_EQ(UndoText(), undo) << c.what;
    EXPECT_EQ(TextOf(Root()), before) << c.what;
  }

  // A real change marks the profile and is undone, mark and all.
  Select(Value(0));
  Run({TypeOK(49153, "6")}, ID_EDIT_PROPERTIES);
  EXPECT_TRUE(Marked());
  EXPECT_NE(UndoText(), undo);
  EXPECT_NE(TextOf(Root()), before);
  View()->OnCmdMsg(ID_EDIT_UNDO, nullptr);
  EXPECT_FALSE(Marked());
  EXPECT_EQ(TextOf(Root()), before);
}

TEST_F(EditMarks, KeyIsCheckedBeforeTheValueIsAskedFor) {
  Select(Root());
  host_.ExpectDialog([](DialogDriver& d) {
    // An unknown name and a key the set holds are refused at once, with the
    // key dialog still open; "#number" names a symbol by its number.
    for (const char* refused : {"NoSuchName", "28673", "#0x7001", "#x1"}) {
      d.Type(kKeyEdit, refused);
      d.Click(kKeyEditValue);
      EXPECT_TRUE(d.IsOpen()) << refused;
    }
    d.Type(kKeyEdit, "#950");
    d.Click(kKeyEditValue);
  });
  Run({TypeOK(49153, "3")}, ID_ADD_INTEGER);
  EXPECT_EQ(host_.MessageIds(), (std::vector<UINT>{4150, 4107, 4107, 4150}));
  EXPECT_EQ(host_.PendingScripts(), 0u);
  EXPECT_NE(TextOf(Root()).find("#950 = int 3;"), std::string::npos) << TextOf(Root());

  // A key is renamed through its number the same way.
  host_.Clear();
  Select(Pair(0));
  Run({TypeOK(49203, "#0x7005"), TypeOK(49203, "#12")}, ID_EDIT_PROPERTIES);
  EXPECT_EQ(host_.MessageIds(), std::vector<UINT>{4107});
  EXPECT_EQ(static_cast<CKVPairNode*>(Pair(0))->GetKey(), 12u);
}

}  // namespace
