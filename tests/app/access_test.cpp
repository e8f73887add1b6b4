// What assistive technology is told: the profile view as a tree whose
// current item follows the selection (with a focus event on every move),
// and every dialog's controls named and reachable from the keyboard.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QDir>
#include <QMainWindow>
#include <QSet>
#include <QTest>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/aboutbox.h"
#include "app/findbox.h"
#include "app/history.h"
#include "app/queltview.h"
#include "app/storeas3.h"
#include "app/storeconflict.h"
#include "comnmfc/getservb.h"
#include "comnmfc/notsaved.h"
#include "comnmfc/retrieve.h"
#include "dialogs/arrayin2.h"
#include "dialogs/arrayins.h"
#include "dialogs/editarry.h"
#include "dialogs/editbool.h"
#include "dialogs/editflt.h"
#include "dialogs/editfrng.h"
#include "dialogs/editint.h"
#include "dialogs/editirng.h"
#include "dialogs/editstr.h"
#include "dialogs/editsym.h"
#include "dialogs/editsymb.h"
#include "dialogs/edituint.h"
#include "dialogs/zoombox.h"
#include "platform/accesstree.h"
#include "platform/scriptedmodalhost.h"
#include "platform/vkeys.h"
#include "tests/support/containers.h"
#include "tree/bmstore.h"
#include "tree/intnode.h"
#include "tree/kvs_node.h"

using testsupport::Kvs;

namespace {

// A focus event, as assistive technology reads it.
struct Announced {
  QString name;
  QAccessible::Role role;
  QAccessible::State state;
};
std::vector<Announced>* g_announced = nullptr;

void Record(QAccessibleEvent* event) {
  if (g_announced == nullptr || event->type() != QAccessible::Focus) return;
  QAccessibleInterface* iface = event->accessibleInterface();
  if (iface == nullptr) return;
  g_announced->push_back({iface->text(QAccessible::Name), iface->role(), iface->state()});
}

class AccessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CBitmapStore::LoadBitmaps());
    SetAccessibleEventSink(&Record);
    g_announced = &announced;
  }
  void TearDown() override {
    g_announced = nullptr;
    SetAccessibleEventSink(nullptr);
    view.reset();
    window.reset();
    CBitmapStore::FreeBitmaps();
  }
  ScriptedModalHost host;
  ScopedModalHost scope{&host};
  std::vector<Announced> announced;
  std::unique_ptr<QMainWindow> window;
  std::unique_ptr<CQueltView> view;
};

TEST_F(AccessTest, ViewIsATreeWhoseCurrentItemFollowsTheSelection) {
  window = std::make_unique<QMainWindow>();
  view = std::make_unique<CQueltView>();
  ASSERT_TRUE(view->Create(window.get()));
  window->setCentralWidget(view->ScrollArea());
  window->resize(500, 400);
  window->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  view->ScrollArea()->setFocus();

  QAccessibleInterface* tree = QAccessible::queryAccessibleInterface(view->ScrollArea());
  ASSERT_NE(tree, nullptr);
  EXPECT_EQ(tree->role(), QAccessible::Tree);
  EXPECT_EQ(tree->childCount(), 0);  // no profile yet

  {
    // Keys without a symbol table show as numbers: 28673 = 0x7001.
    Kvs set, inner, empty;
    CTkvs_PutInt(set, 0x7001, -5, nullptr);
    CTkvs_PutInt(inner, 0x7101, 1, nullptr);
    CTkvs_PutKVSet(set, 0x7002, inner, nullptr);
    CTkvs_PutString(set, 0x7003, "abc", nullptr);
    ASSERT_TRUE(view->PutProfile("Local", set));
  }
  view->OnInitialUpdate();
  view->RedrawNow();
  QApplication::processEvents();
  ASSERT_EQ(tree->childCount(), 1);

  // Each step: a key, then what the focus event announces.
  struct Step {
    UINT key;
    const char* name;
    bool expandable, expanded;
  };
  const Step steps[] = {
      {VK_HOME, "KV Set", true, true},    {VK_DOWN, "28673", true, true},  {VK_RIGHT, "-5", false, false},
      {VK_DOWN, "28674", true, true},     {VK_RIGHT, "KV Set", true, true}, {VK_LEFT, "28674", true, true},
      {VK_RETURN, nullptr, false, false}, {VK_DOWN, "28675", true, true},  {VK_UP, "28674", true, false},
      {VK_END, "\"abc\"", false, false},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.key);
    announced.clear();
    view->OnKeyDown(s.key, 1, 0);
    if (s.name == nullptr) {  // Enter expands: the selection stays
      EXPECT_TRUE(announced.empty());
      continue;
    }
    ASSERT_EQ(announced.size(), 1u);
    const Announced& a = announced.front();
    EXPECT_EQ(a.name.toStdString(), s.name);
    EXPECT_EQ(a.role, QAccessible::TreeItem);
    EXPECT_TRUE(a.state.focused && a.state.selected);
    EXPECT_EQ(bool(a.state.expandable), s.expandable);
    EXPECT_EQ(bool(a.state.expanded), s.expanded);
    EXPECT_EQ(bool(a.state.collapsed), s.expandable && !s.expanded);

    // The tree's child is that same item, where the view draws it.
    QAccessibleInterface* item = tree->child(0);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->text(QAccessible::Name), a.name);
    EXPECT_EQ(tree->focusChild(), item);
    EXPECT_EQ(item->parent(), tree);
    const QRect box = item->rect();
    EXPECT_FALSE(box.isEmpty());
    EXPECT_TRUE(view->Viewport()->rect().intersects(
        QRect(view->Viewport()->mapFromGlobal(box.topLeft()), box.size())));
    EXPECT_EQ(tree->childAt(box.center().x(), box.center().y()), item);
  }
}

// A control of these roles must have a name and take the Tab key.
const std::set<QAccessible::Role> kControlRoles = {
    QAccessible::PushButton, QAccessible::CheckBox, QAccessible::RadioButton, QAccessible::EditableText,
    QAccessible::List,       QAccessible::Tree,     QAccessible::ComboBox,    QAccessible::SpinBox};

// Walks the dialog's accessible tree; returns the controls it found and
// adds a line for every one that has no name or cannot be reached by Tab.
int WalkControls(QAccessibleInterface* iface, QStringList* faults) {
  int controls = 0;
  for (int i = 0; i < iface->childCount(); ++i) {
    QAccessibleInterface* child = iface->child(i);
    if (child == nullptr) continue;
    QWidget* widget = qobject_cast<QWidget*>(child->object());
    if (widget != nullptr && widget->isVisible() && kControlRoles.count(child->role()) != 0) {
      ++controls;
      const QString what = widget->objectName();
      if (child->text(QAccessible::Name).trimmed().isEmpty()) faults->append(what + QStringLiteral(" has no name"));
      if (widget->isEnabled() && !(widget->focusPolicy() & Qt::TabFocus))
        faults->append(what + QStringLiteral(" is not reached by Tab"));
    }
    controls += WalkControls(child, faults);
  }
  return controls;
}

TEST_F(AccessTest, EveryDialogNamesItsControlsAndReachesThemByKeyboard) {
  static CIntegerNode editable;
  static CKVSetNode fixed;
  const QV_String server("alpha");
  const CString servers[] = {"alpha", "beta", ""};
  const QV_String entries[] = {"Lines  [ Setup ]", "Trunks  [ Setup ]"};
  // Each form by its resource id, and how the program runs it.
  const std::vector<std::pair<int, std::function<void()>>> forms = {
      {20485, [] { CEditIntBox().DoModal(); }},
      {20492, [] { CEditUIntBox().DoModal(); }},
      {20503, [] { CEditFloatBox().DoModal(); }},
      {20496, [] { CEditIRangeBox().DoModal(); }},
      {20502, [] { CEditFRangeBox().DoModal(); }},
      {20493, [] { CEditBoolbox().DoModal(); }},
      {20495, [] { CEditStringBox().DoModal(); }},
      {20504, [] { CEditArrayBox().DoModal(); }},
      {20486, [&] { CArrayInsertBox(nullptr, &editable, nullptr, server).DoModal(); }},
      {20506, [&] { CArrayInsertKVSBox(nullptr, &fixed, nullptr, server).DoModal(); }},
      {20497, [&] { CEditSymBox(nullptr, &editable, nullptr, server).DoModal(); }},
      {20505, [&] { CEditSymBox(nullptr, &fixed, nullptr, server).DoModal(); }},
      {20494, [&] { CEditSymBox(nullptr, nullptr, nullptr, server).DoModal(); }},
      {20510, [] { CEditSymbolBox().DoModal(); }},
      {20499, [] { CZoomBox().DoModal(); }},
      {24581, [&] { CGetServerBox(16410, servers, nullptr).DoModal(); }},
      {24579, [&] { CRetrieveBox(entries, 2, nullptr).DoModal(); }},
      {24582, [] { CNotSavedBox().DoModal(); }},
      {132, [] { CStoreAsBoxIII().DoModal(); }},
      {20509, [] { CAboutBox().DoModal(); }},
      {20507, [] { CFindBox().DoModal(); }},
      {20508, [] { CFindNotFoundBox().DoModal(); }},
      {20600,
       [] {
         CRevisionHistoryBox box;
         box.m_revisions = {{3, 1765000000000, 1}, {2, 1764000000000, 0}};
         box.DoModal();
       }},
      {20610,
       [] {
         CStoreConflictBox box;
         box.m_nTheirTimeMs = 1765000000000;
         box.m_nMine = 2;
         box.m_nTheirs = 1;
         box.m_nBoth = 1;
         box.DoModal();
       }},
  };

  // Every form in the sources is in the table.
  QSet<int> listed;
  for (const auto& form : forms) listed.insert(form.first);
  for (const char* folder : {"dialogs/ui", "comnmfc/ui", "app/ui"}) {
    const QDir dir(QStringLiteral(QUELT_TEST_SOURCE_DIR "/") + QLatin1String(folder));
    for (const QString& file : dir.entryList({QStringLiteral("dlg_*.ui")}, QDir::Files)) {
      const int id = file.mid(4, file.size() - 7).toInt();
      EXPECT_TRUE(listed.contains(id)) << "no case for " << folder << "/" << file.toStdString();
    }
  }

  for (const auto& [id, run] : forms) {
    SCOPED_TRACE(id);
    host.Clear();
    QStringList faults;
    int controls = 0;
    host.ExpectDialog([&](DialogDriver& d) {
      QAccessibleInterface* dialog = QAccessible::queryAccessibleInterface(d.Dialog());
      ASSERT_NE(dialog, nullptr);
      EXPECT_FALSE(dialog->text(QAccessible::Name).isEmpty());
      controls = WalkControls(dialog, &faults);
      d.PressEscape();
    });
    run();
    EXPECT_EQ(host.PendingScripts(), 0u);
    EXPECT_GE(controls, 1);
    EXPECT_TRUE(faults.isEmpty()) << faults.join(QStringLiteral("; ")).toStdString();
  }
}

}  // namespace
