// What the node tests share: the icons loaded, the scripted modal host
// installed, and a multi-server session on an embedded server "A" with the
// default symbol table, for the nodes that turn symbols into names.
#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "common/multises.h"
#include "model/dataelt.h"
#include "platform/recordingdc.h"
#include "platform/scriptedmodalhost.h"
#include "s100/ctruntime.h"
#include "tests/support/registry.h"
#include "tests/support/tempdir.h"
#include "tree/bmstore.h"
#include "tree/denode.h"

// Two names the default symbol table holds.
inline constexpr uint32_t kProfileNamesSymbol = 0x0110080D;  // "Admin_ProfileNames"
inline constexpr uint32_t kProfileClassesSymbol = 0x0110080E;  // "Admin_ProfileClasses"

class NodesTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_dir = new testsupport::TempDir();
    testsupport::RegistryContents reg;
    reg.servers["A"] = "embedded:" + s_dir->File("a.db");
    testsupport::InstallRegistry(s_dir->File("test.reg"), reg);
    CT_Initialize(nullptr);
    s_session = new MultiAdminSession();
  }
  static void TearDownTestSuite() {
    delete s_session;
    s_session = nullptr;
    CT_Shutdown(nullptr);
    delete s_dir;
    s_dir = nullptr;
  }
  void SetUp() override { ASSERT_TRUE(CBitmapStore::LoadBitmaps()); }
  void TearDown() override { CBitmapStore::FreeBitmaps(); }

  MultiAdminSession* Session() const { return s_session; }

  // The node's text as its row shows it, drawn on a recording device.
  static std::string DrawnText(CDENode& node) {
    CRecordingDC dc;
    node.DrawNode(0, 0, &dc, 1.0f);
    const auto texts = dc.RecordsOf(DCRecord::Op::TextOut);
    return texts.empty() ? std::string("<none>") : texts.back().text;
  }

  // A script that types into one edit and presses OK.
  static ScriptedModalHost::Script TypeOK(int id, const QString& text) {
    return [id, text](DialogDriver& d) {
      EXPECT_TRUE(d.Type(id, text)) << id;
      d.Click(1);
    };
  }
  static ScriptedModalHost::Script Cancel() {
    return [](DialogDriver& d) { d.Click(2); };
  }

  ScriptedModalHost host;
  ScopedModalHost installed{&host};
  const QV_String server{"A"};

 private:
  static inline testsupport::TempDir* s_dir = nullptr;
  static inline MultiAdminSession* s_session = nullptr;
};

// Data elements of every scalar kind.
inline QV_DataElement IntDE(int32_t v) { QV_DataElement e; e.SetToInt(v); return e; }
inline QV_DataElement UIntDE(uint32_t v) { QV_DataElement e; e.SetToUInt(v); return e; }
inline QV_DataElement BoolDE(int32_t v) { QV_DataElement e; e.SetToBool(v); return e; }
inline QV_DataElement SymbolDE(uint32_t v) { QV_DataElement e; e.SetToSymbol(v); return e; }
inline QV_DataElement FloatDE(float v) { QV_DataElement e; e.SetToFloat(v); return e; }
inline QV_DataElement IRangeDE(int32_t a, int32_t b) { QV_DataElement e; e.SetToIRange({a, b}); return e; }
inline QV_DataElement FRangeDE(float a, float b) { QV_DataElement e; e.SetToFRange({a, b}); return e; }
inline QV_DataElement StringDE(const char* v) { QV_DataElement e; e.SetToString(v); return e; }
