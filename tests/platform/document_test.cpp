#include <gtest/gtest.h>

#include <QApplication>
#include <QKeySequence>
#include <QMenuBar>
#include <QTest>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "platform/cmenu.h"
#include "platform/cwinapp.h"
#include "platform/scriptedmodalhost.h"
#include "tests/platform/appfixture.h"

using namespace apptest;

namespace {

class SampleApp : public CWinApp {
 public:
  SampleApp() : CWinApp("Quelt") {}
};

struct AppWithTemplate {
  AppWithTemplate() {
    RegisterSampleResources();
    docTemplate = new CSingleDocTemplate(kResource, &CreateObject<SampleDoc>, &CreateObject<SampleFrame>,
                                         &CreateObject<SampleView>);
    app.AddDocTemplate(docTemplate);
  }
  SampleApp app;
  CSingleDocTemplate* docTemplate;
};

TEST(Document, TitleModifiedFlagAndViews) {
  SampleDoc doc;
  EXPECT_FALSE(doc.IsModified());
  doc.SetModifiedFlag();
  EXPECT_TRUE(doc.IsModified());
  doc.SetModifiedFlag(FALSE);
  EXPECT_FALSE(doc.IsModified());
  doc.SetTitle("[a, b, c]");
  EXPECT_EQ(doc.GetTitle(), CString("[a, b, c]"));
  doc.SetTitle(nullptr);
  EXPECT_TRUE(doc.GetTitle().IsEmpty());

  // Views in order; a view moving to another document leaves this one.
  auto first = std::make_unique<SampleView>();
  auto second = std::make_unique<SampleView>();
  doc.AddView(first.get());
  doc.AddView(second.get());
  doc.AddView(first.get());  // once only
  std::vector<CView*> seen;
  for (POSITION pos = doc.GetFirstViewPosition(); pos != nullptr;) seen.push_back(doc.GetNextView(pos));
  EXPECT_EQ(seen, (std::vector<CView*>{first.get(), second.get()}));
  SampleDoc other;
  other.AddView(second.get());
  EXPECT_EQ(doc.GetViews(), std::vector<CView*>{first.get()});
  EXPECT_EQ(second->GetDocument(), &other);
  // A view that goes leaves its document.
  first.reset();
  EXPECT_EQ(doc.GetFirstViewPosition(), nullptr);
  // A document that goes first leaves its view without a document.
  auto* doomed = new SampleDoc;
  auto third = std::make_unique<SampleView>();
  doomed->AddView(third.get());
  delete doomed;
  EXPECT_EQ(third->GetDocument(), nullptr);
}

TEST(SingleDocTemplate, CreatesDocumentFrameAndViewOnceAndReusesThem) {
  ScriptedModalHost host;
  ScopedModalHost scoped(&host);
  AppWithTemplate t;
  EXPECT_EQ(t.docTemplate->GetFirstDocPosition(), nullptr);
  CDocument* doc = t.docTemplate->OpenDocumentFile(nullptr);
  ASSERT_NE(doc, nullptr);
  CFrameWnd* frame = t.app.m_pMainWnd;
  ASSERT_NE(frame, nullptr);
  CView* view = frame->GetActiveView();
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view->GetDocument(), doc);
  EXPECT_EQ(view->GetParentFrame(), frame);
  EXPECT_TRUE(frame->Window()->isVisible());
  // The default title is the document string's file-new name.
  EXPECT_EQ(doc->GetTitle(), CString("Quelt"));

  POSITION pos = t.docTemplate->GetFirstDocPosition();
  ASSERT_NE(pos, nullptr);
  EXPECT_EQ(t.docTemplate->GetNextDoc(pos), doc);
  EXPECT_EQ(pos, nullptr);

  struct Case {
    bool allowDiscard;
    bool expectOpened;
  };
  for (const Case c : {Case{true, true}, Case{false, false}, Case{true, true}}) {
    auto* sample = static_cast<SampleDoc*>(doc);
    sample->allowDiscard = c.allowDiscard;
    sample->SetModifiedFlag(TRUE);
    const int asked = sample->saveModifiedCalls;
    CDocument* again = t.docTemplate->OpenDocumentFile(nullptr);
    EXPECT_EQ(sample->saveModifiedCalls, asked + 1);
    EXPECT_EQ(again, c.expectOpened ? doc : nullptr);
    EXPECT_EQ(sample->IsModified(), c.expectOpened ? FALSE : TRUE) << "a refused opening changes nothing";
    EXPECT_EQ(t.app.m_pMainWnd, frame);
    EXPECT_EQ(frame->GetActiveView(), view);
  }
  EXPECT_EQ(t.docTemplate->OpenDocumentFile("profile.txt"), nullptr) << "never from files";
  EXPECT_TRUE(host.Messages().empty());
}

TEST(SingleDocTemplate, AFrameThatCannotBeBuiltLeavesNothingBehind) {
  ScriptedModalHost host;
  ScopedModalHost scoped(&host);
  RegisterSampleResources();
  SampleApp app;
  const int destroyed = SampleDoc::Destroyed();
  auto* docTemplate = new CSingleDocTemplate(kResource, &CreateObject<SampleDoc>, &CreateObject<SampleFrame>,
                                             [] { return static_cast<CView*>(nullptr); });
  app.AddDocTemplate(docTemplate);
  EXPECT_EQ(docTemplate->OpenDocumentFile(nullptr), nullptr);
  EXPECT_EQ(app.m_pMainWnd, nullptr);
  EXPECT_EQ(docTemplate->GetFirstDocPosition(), nullptr);
  EXPECT_EQ(SampleDoc::Destroyed(), destroyed + 1);
  EXPECT_EQ(host.MessageIds(), std::vector<UINT>{61700});
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST(ContextMenu, TheScriptedHostPicksItemsByIdAndTheCommandIsRouted) {
  ScriptedModalHost host;
  ScopedModalHost scoped(&host);
  AppWithTemplate t;
  ASSERT_NE(t.docTemplate->OpenDocumentFile(nullptr), nullptr);
  auto* view = static_cast<SampleView*>(t.app.m_pMainWnd->GetActiveView());
  ASSERT_NE(view, nullptr);
  view->canEdit = false;  // the routing does not ask again: the item's flags decided
  view->onRightButton = [view](CPoint p) {
    CMenu menu;
    menu.CreatePopupMenu();
    menu.AppendMenu(MF_STRING, kProperties, "Properties...\tAlt+Enter");
    menu.AppendMenu(MF_STRING | MF_GRAYED, kDelete, "Delete\tDel");
    menu.AppendMenu(MF_SEPARATOR);
    menu.AppendMenu(MF_STRING, kAddInteger, "Add Integer...\tAlt+I");
    view->ClientToScreen(&p);
    menu.TrackPopupMenu(TPM_LEFTALIGN | TPM_RIGHTBUTTON, p.x + 2, p.y + 2, view);
  };
  struct Case {
    UINT choose;  // 0: dismiss
    int properties, deletes, adds;
    bool refused;
  };
  const Case cases[] = {
      {kProperties, 1, 0, 0, false},
      {kDelete, 1, 0, 0, true},  // greyed
      {kAddInteger, 1, 0, 1, false},
      {0, 1, 0, 1, false},
      {kZoom, 1, 0, 1, true},  // not in the menu
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.choose);
    host.ChooseMenuItem(c.choose);
    QTest::mouseClick(view->Viewport(), Qt::RightButton, Qt::NoModifier, QPoint(20, 30));
    ASSERT_FALSE(host.Menus().empty());
    const MenuRecord& menu = host.Menus().back();
    EXPECT_EQ(menu.refused, c.refused);
    EXPECT_EQ(view->properties, c.properties);
    EXPECT_EQ(view->deletes, c.deletes);
    EXPECT_EQ(view->adds, c.adds);
  }
  const MenuRecord& menu = host.Menus().front();
  ASSERT_EQ(menu.items.size(), 4u);
  EXPECT_EQ(menu.items[0].text, QStringLiteral("Properties...\tAlt+Enter"));
  ASSERT_NE(menu.Item(kDelete), nullptr);
  EXPECT_FALSE(menu.Item(kDelete)->enabled);
  EXPECT_TRUE(menu.items[2].separator);
  const QPoint expected = view->Viewport()->mapToGlobal(QPoint(22, 32));
  EXPECT_EQ(menu.position, expected);

  // With TPM_RETURNCMD the id comes back and nothing runs.
  CMenu menuReturning;
  menuReturning.CreatePopupMenu();
  menuReturning.AppendMenu(MF_STRING, kAddInteger, "Add");
  host.ChooseMenuItem(kAddInteger);
  EXPECT_EQ(menuReturning.TrackPopupMenu(TPM_RETURNCMD, 0, 0, view), static_cast<BOOL>(kAddInteger));
  EXPECT_EQ(view->adds, 1);
  EXPECT_FALSE(CMenu().AppendMenu(MF_STRING, 1, "before CreatePopupMenu"));
}

TEST(CommandTarget, HandlersRangesAndTheFallbackToEnabled) {
  struct Target : CCmdTarget {
    Target() {
      AddCommand(10, [this] { ran.push_back(10); });
      AddCommandRange(20, 29, [this](UINT id) { ran.push_back(id); });
      AddCommandUpdateRange(20, 24, [](CCmdUI* ui) { ui->Enable(FALSE); });
      AddCommandUpdate(40, [](CCmdUI* ui) { ui->SetCheck(1); });
    }
    std::vector<UINT> ran;
  } target;
  struct Case {
    UINT id;
    bool handled;
    bool enableChanged;
    bool enabled;
    bool ranHere;
  };
  const Case cases[] = {
      {10, true, true, true, true},   {20, true, true, false, true}, {24, true, true, false, true},
      {25, true, true, true, true},   {29, true, true, true, true},  {30, false, false, false, false},
      {19, false, false, false, false}, {40, true, false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    CCmdUI ui(c.id);
    EXPECT_EQ(target.OnCmdMsg(c.id, &ui) != FALSE, c.handled);
    EXPECT_EQ(ui.m_bEnableChanged, c.enableChanged);
    EXPECT_EQ(ui.m_bEnabled, c.enabled);
    target.ran.clear();
    EXPECT_EQ(target.OnCmdMsg(c.id, nullptr) != FALSE, c.ranHere);
    EXPECT_EQ(target.ran, c.ranHere ? std::vector<UINT>{c.id} : std::vector<UINT>{});
  }
}

TEST(CommandSet, KeyNamesAndMalformedTables) {
  struct Case {
    const char* text;
    std::vector<QKeySequence> keys;
  };
  const Case cases[] = {
      {"Ctrl+N", {QKeySequence(Qt::CTRL | Qt::Key_N)}},
      {"Alt+Enter", {QKeySequence(Qt::ALT | Qt::Key_Return), QKeySequence(QKeyCombination(Qt::AltModifier | Qt::KeypadModifier, Qt::Key_Enter))}},
      {"Shift+Del", {QKeySequence(Qt::SHIFT | Qt::Key_Delete)}},
      {"Ctrl+Ins", {QKeySequence(Qt::CTRL | Qt::Key_Insert)}},
      {"Alt+Backspace", {QKeySequence(Qt::ALT | Qt::Key_Backspace)}},
      {"Shift+F6", {QKeySequence(Qt::SHIFT | Qt::Key_F6)}},
      {"Alt+F3", {QKeySequence(Qt::ALT | Qt::Key_F3)}},
      {"Ctrl+", {}},
      {"Ctrl+Nonsense", {}},
      {"", {}},
      {nullptr, {}},
  };
  for (const Case& c : cases) {
    std::vector<QKeySequence> got;
    for (const int k : CCommandSet::ParseKeys(c.text)) got.push_back(QKeySequence(QKeyCombination::fromCombined(k)));
    EXPECT_EQ(got, c.keys) << (c.text != nullptr ? c.text : "(null)");
  }

  QWidget window;
  CCommandSet set(&window, [](UINT, CCmdUI*) { return FALSE; });
  QMenuBar bar;
  const MenuEntry endWithoutPopup[] = {{MenuKind::End, 0, nullptr}};
  const MenuEntry popupLeftOpen[] = {{MenuKind::Popup, 0, "&A"}, {MenuKind::Item, 1, "x"}};
  const MenuEntry itemOutsidePopup[] = {{MenuKind::Item, 1, "x"}};
  std::vector<MenuEntry> deep;
  for (int i = 0; i < 9; ++i) deep.push_back({MenuKind::Popup, 0, "p"});
  for (int i = 0; i < 9; ++i) deep.push_back({MenuKind::End, 0, nullptr});
  EXPECT_FALSE(set.BuildMenu(&bar, endWithoutPopup, 1));
  EXPECT_FALSE(set.BuildMenu(&bar, popupLeftOpen, 2));
  EXPECT_FALSE(set.BuildMenu(&bar, itemOutsidePopup, 1));
  EXPECT_FALSE(set.BuildMenu(&bar, deep.data(), deep.size()));
  EXPECT_TRUE(bar.actions().isEmpty()) << "a bad table adds nothing";
  const AccelEntry badKeys[] = {{"Ctrl+N", 1}, {"Hyper+Q", 2}};
  EXPECT_FALSE(set.SetAccelerators(badKeys, 2));
  EXPECT_EQ(set.Find(1), nullptr);
}

// Sets environment variables for one scope and puts them back.
class ScopedEnv {
 public:
  void Set(const char* name, const char* value) {
    const char* old = std::getenv(name);
    m_saved.push_back({name, old != nullptr ? std::optional<std::string>(old) : std::nullopt});
    if (value != nullptr)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  ~ScopedEnv() {
    for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it) {
      if (it->second)
        setenv(it->first.c_str(), it->second->c_str(), 1);
      else
        unsetenv(it->first.c_str());
    }
  }

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};

TEST(Application, WithoutADisplayItSaysSoInOneLineAndFails) {
  struct Case {
    const char* platform;
    const char* display;
    const char* wayland;
    bool available;
    const char* reason;
  };
  const Case cases[] = {
      {"offscreen", nullptr, nullptr, true, ""},
      {nullptr, nullptr, "wayland-0", true, ""},
      {nullptr, nullptr, nullptr, false, "no display: neither DISPLAY nor WAYLAND_DISPLAY is set"},
      {"", "", "", false, "no display: neither DISPLAY nor WAYLAND_DISPLAY is set"},
      {nullptr, ":7919", nullptr, false, "cannot open display :7919"},
  };
  for (const Case& c : cases) {
    ScopedEnv env;
    env.Set("QT_QPA_PLATFORM", c.platform);
    env.Set("DISPLAY", c.display);
    env.Set("WAYLAND_DISPLAY", c.wayland);
    std::string why;
    EXPECT_EQ(CWinApp::DisplayAvailable(&why), c.available) << c.reason;
    EXPECT_EQ(why, c.reason);
  }

  ScopedEnv env;
  env.Set("QT_QPA_PLATFORM", nullptr);
  env.Set("DISPLAY", nullptr);
  env.Set("WAYLAND_DISPLAY", nullptr);
  struct Counting : CWinApp {
    Counting() : CWinApp("quelt") {}
    BOOL InitInstance() override {
      ++inits;
      return TRUE;
    }
    int inits = 0;
  } app;
  char name[] = "quelt";
  char* argv[] = {name, nullptr};
  testing::internal::CaptureStderr();
  EXPECT_EQ(app.Main(1, argv), 1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "quelt: no display: neither DISPLAY nor WAYLAND_DISPLAY is set\n");
  EXPECT_EQ(app.inits, 0);
  EXPECT_EQ(TheApp(), &app);
}

}  // namespace
