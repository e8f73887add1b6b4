// The editing tests' installation: two real ctservers with different
// symbol tables, and the editor started on a small profile on the first.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/cmdids.h"
#include "app/quelt.h"
#include "app/queltdoc.h"
#include "app/queltview.h"
#include "model/dataelt.h"
#include "platform/cframewnd.h"
#include "platform/cmdtarget.h"
#include "platform/scriptedmodalhost.h"
#include "s100/deif.h"
#include "tests/support/containers.h"
#include "tests/support/registry.h"
#include "tests/support/serverprocess.h"
#include "tests/support/tempdir.h"
#include "tree/kvs_node.h"

namespace edit_test {

using testsupport::Kvs;
using Script = ScriptedModalHost::Script;


inline constexpr uint32_t kNamesSymbol = 0x0110080D;  // "Admin_ProfileNames"; 0x5000 on B
inline constexpr int kKeyEdit = 49158, kKeyEditValue = 49202, kPositionEdit = 49166, kInsertEditValue = 49201;
inline constexpr int kFindEdit = 49192;
inline constexpr const char* kDeifMime = "application/x-velcor-deif";

inline Script TypeOK(int id, const QString& text) {
  return [id, text](DialogDriver& d) {
    EXPECT_TRUE(d.Type(id, text)) << id;
    d.Click(IDOK);
  };
}
inline Script ClickOK(int id) {
  return [id](DialogDriver& d) {
    EXPECT_TRUE(d.Click(id)) << id;
    d.Click(IDOK);
  };
}
inline Script Cancel() {
  return [](DialogDriver& d) { d.Click(IDCANCEL); };
}

// The element of a node as text, symbols as numbers.
inline std::string TextOf(CTreeNode* node) {
  auto* de = dynamic_cast<CDENode*>(node);
  QV_DataElement element;
  if (de == nullptr || de->GetDE(element) == 0) return "<no element>";
  const QV_RawDataElement raw = ToRawDataElement(element);
  char* text = nullptr;
  if (DEtoA(&raw, &text, nullptr, nullptr) != QV_OK) return "<not written>";
  std::string out(text);
  std::free(text);
  return out;
}

// Two servers: A with the built-in symbol table, B with a table in which
// "Admin_ProfileNames" has another value and "Admin_ProfileClasses" is
// missing.  The profile Edit/Setup on A:
//   #28673 = int 5; #28674 = kvset {#28929 = int 1; #28930 = int 2};
//   #28675 = array string []; #28676 = array int [1, 2];
//   #28677 = symbol Admin_ProfileNames
class EditEnv : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_dir = new testsupport::TempDir();
    s_a = new testsupport::ServerProcess(s_dir->path() + "/a");
    s_b = new testsupport::ServerProcess(s_dir->path() + "/b");
    const std::string symbols = s_dir->File("b-symbols.txt");
    testsupport::WriteFile(symbols, "Admin_ProfileNames 0x5000\nOther_Name 0x5001\n");
    ASSERT_TRUE(s_a->Start()) << s_a->Log();
    ASSERT_TRUE(s_b->Start({"--symbols", symbols})) << s_b->Log();
  }
  static void TearDownTestSuite() {
    delete s_a;
    delete s_b;
    delete s_dir;
  }

  void SetUp() override {
    ASSERT_TRUE(s_a->ok() && s_b->ok());
    testsupport::RegistryContents contents;
    contents.servers = {{"A", s_a->address()}, {"B", s_b->address()}};
    contents.rootPath = s_dir->path();
    registry_.Write(testsupport::RegistryText(contents));
    app_ = std::make_unique<CQueltApp>();
    Kvs profile, inner, ints;
    CTkvs_PutInt(profile, 0x7001, 5, nullptr);
    CTkvs_PutInt(inner, 0x7101, 1, nullptr);
    CTkvs_PutInt(inner, 0x7102, 2, nullptr);
    CTkvs_PutKVSet(profile, 0x7002, inner, nullptr);
    testsupport::Ary strings, numbers;
    const int32_t items[] = {1, 2};
    CTary_PutString(strings, nullptr, 0, nullptr);
    CTary_PutInt(numbers, items, 2, nullptr);
    CTkvs_PutArray(profile, 0x7003, strings, nullptr);
    CTkvs_PutArray(profile, 0x7004, numbers, nullptr);
    CTkvs_PutSymbol(profile, 0x7005, kNamesSymbol, nullptr);
    for (const char* server : {"A", "B"}) {  // added by the first test, replaced by the others
      if (!app_->m_session.SaveProfile(server, "Setup", "Edit", profile, 0)) {
        ASSERT_TRUE(app_->m_session.SaveProfile(server, "Setup", "Edit", profile, 1));
      }
    }
    app_->m_lpCmdLine = "A edit Edit Setup";
    ASSERT_TRUE(app_->InitInstance());
    ASSERT_NE(View(), nullptr);
    ASSERT_TRUE(host_.Messages().empty()) << host_.Messages().front().text.GetString();
    QApplication::clipboard()->clear();
  }
  void TearDown() override {
    if (app_) app_->ExitInstance();
    app_.reset();
  }

  CQueltDoc* Doc() const { return dynamic_cast<CQueltDoc*>(app_->m_pMainWnd->GetActiveDocument()); }
  CQueltView* View() const { return Doc() != nullptr ? Doc()->GetView() : nullptr; }
  CKVSetNode* Root() const { return View()->GetRoot(); }
  // The n-th pair of the root (0-based) and its value.
  CTreeNode* Pair(int n) const {
    CTreeNode* node = Root()->GetFirstChild();
    while (node != nullptr && n-- > 0) node = node->GetNextSibling();
    return node;
  }
  CTreeNode* Value(int n) const { return Pair(n) != nullptr ? Pair(n)->GetFirstChild() : nullptr; }
  bool Enabled(UINT id) const {
    CCmdUI ui(id);
    View()->OnCmdMsg(id, &ui);
    return ui.m_bEnabled;
  }
  void Select(CTreeNode* node) const { View()->SelectNode(node); }
  void Run(std::vector<Script> scripts, UINT command) {
    for (auto& s : scripts) host_.ExpectDialog(std::move(s));
    View()->OnCmdMsg(command, nullptr);
  }
  std::string Title() const { return Doc()->GetTitle().GetString(); }

  static inline testsupport::TempDir* s_dir = nullptr;
  static inline testsupport::ServerProcess* s_a = nullptr;
  static inline testsupport::ServerProcess* s_b = nullptr;
  testsupport::TempRegistry registry_;
  ScriptedModalHost host_;
  ScopedModalHost scope_{&host_};
  std::unique_ptr<CQueltApp> app_;
};


}  // namespace edit_test
