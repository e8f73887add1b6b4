// Editing at scale: Find Next with no match, which walks the whole tree,
// beside QStandardItemModel::findItems (contains, recursive) over the same
// texts in the same hierarchy; copy, then paste, of a sub-tree whose text is
// about 1 MiB; Expand All and Collapse All of the root, beside setting each
// node's flag alone; undo and redo of a large delete; profile files of 1 MiB.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QClipboard>
#include <QMainWindow>
#include <QStandardItemModel>
#include <cstdlib>
#include <map>
#include <memory>
#include <vector>

#include "app/proffile.h"
#include "app/queltview.h"
#include "common/multises.h"
#include "s100/ctruntime.h"
#include "tests/support/containers.h"
#include "tests/support/registry.h"
#include "tests/support/tempdir.h"
#include "bench/groupedprofile.h"
#include "bench/viewbench.h"
#include "platform/modalhost.h"
#include "platform/scriptedmodalhost.h"
#include "tree/arrynode.h"
#include "tree/bmstore.h"
#include "tree/kvs_node.h"

namespace {

constexpr int kFindEdit = 49192;
const char* const kNoMatch = "no such text";

// A view in a window holding a grouped profile of about `nodes` nodes.
struct EditFixture {
  QMainWindow window;
  CQueltView* view = new CQueltView;
  ScriptedModalHost host;
  ScopedModalHost scope{&host};

  explicit EditFixture(CTkvs set) { ShowViewWithProfile(window, view, 1000, 800, set); }
  ~EditFixture() { delete view; }
};

int GroupsFor(int nodes) { return nodes / (2 + 2 * kValuesPerGroup); }

// The fixtures go before the application does (main clears them).
std::map<int, std::unique_ptr<EditFixture>> fixtures;
std::unique_ptr<EditFixture> clipboardFixture;
std::unique_ptr<EditFixture> undoFixture;
std::unique_ptr<QStandardItemModel> peerModel;

std::unique_ptr<EditFixture>& FindFixture(int nodes) {
  auto& slot = fixtures[nodes];
  if (!slot) {
    for (auto& [n, f] : fixtures)
      if (n != nodes) f.reset();  // one large tree at a time
    slot = std::make_unique<EditFixture>(MakeGroupedProfile(GroupsFor(nodes)));
    // Remember the search text; the first walk also expands every node.
    slot->host.ExpectDialog([](DialogDriver& d) {
      d.Type(kFindEdit, kNoMatch);
      d.Click(IDOK);
    });
    slot->view->SelectNode(slot->view->GetRoot());
    slot->view->OnEditFind();
  }
  return slot;
}

void BM_FindNextNoMatch(benchmark::State& state) {
  EditFixture& f = *FindFixture(static_cast<int>(state.range(0)));
  f.view->SelectNode(f.view->GetRoot());
  for (auto _ : state) {
    f.host.Clear();
    f.view->OnEditFindnext();  // the not-found notice is answered at once
  }
  state.counters["nodes"] = f.view->GetRoot()->GetRowCount();
}

// Expand All or Collapse All of the root, as the commands run them
// (with the redraw); the tree is put in the other state untimed.
void ExpandOrCollapseAll(benchmark::State& state, bool expand) {
  EditFixture& f = *FindFixture(static_cast<int>(state.range(0)));
  CTreeNode* root = f.view->GetRoot();
  f.view->SelectNode(root);
  for (auto _ : state) {
    state.PauseTiming();
    root->SetExpandedAll(expand ? 0 : 1);
    state.ResumeTiming();
    if (expand)
      f.view->OnViewExpandall();
    else
      f.view->OnViewCollapseall();
  }
  root->SetExpandedAll(1);
  state.counters["nodes"] = root->GetRowCount();
}
void BM_ExpandAll(benchmark::State& state) { ExpandOrCollapseAll(state, true); }
void BM_CollapseAll(benchmark::State& state) { ExpandOrCollapseAll(state, false); }

// The reference: every node's flag set alone, each change pushed up the
// parent chain.
void BM_ExpandEachNodeAlone(benchmark::State& state) {
  EditFixture& f = *FindFixture(static_cast<int>(state.range(0)));
  CTreeNode* root = f.view->GetRoot();
  std::vector<CTreeNode*> nodes;
  for (CTreeNode* node = root; node != nullptr; node = node->Down()) nodes.push_back(node);
  for (auto _ : state) {
    state.PauseTiming();
    root->SetExpandedAll(0);
    state.ResumeTiming();
    for (CTreeNode* node : nodes) node->SetExpanded(1);
  }
  state.counters["nodes"] = static_cast<double>(nodes.size());
}

// The peer: one item per node with the node's search text, nested as the
// tree is.
void AddItems(QStandardItem* parent, CTreeNode* node) {
  for (CTreeNode* child = node->GetFirstChild(); child != nullptr; child = child->GetNextSibling()) {
    auto* item = new QStandardItem(QString::fromUtf8(static_cast<CDENode*>(child)->SearchText().GetString()));
    parent->appendRow(item);
    AddItems(item, child);
  }
}

void BM_PeerFindItems(benchmark::State& state) {
  std::unique_ptr<QStandardItemModel>& model = peerModel;
  static int modelNodes = 0;
  const int nodes = static_cast<int>(state.range(0));
  if (modelNodes != nodes) {
    model.reset();
    EditFixture& f = *FindFixture(nodes);
    model = std::make_unique<QStandardItemModel>();
    auto* root = new QStandardItem(QString());
    model->invisibleRootItem()->appendRow(root);
    AddItems(root, f.view->GetRoot());
    modelNodes = nodes;
  }
  for (auto _ : state) {
    const auto found = model->findItems(kNoMatch, Qt::MatchContains | Qt::MatchRecursive);
    benchmark::DoNotOptimize(found.size());
  }
}

// A profile with a grouped set of about 1 MiB of text under one key and an
// empty array of sets, which takes a pasted set without asking anything.
EditFixture& ClipboardFixture() {
  std::unique_ptr<EditFixture>& fixture = clipboardFixture;
  if (!fixture) {
    uint32_t err = 0;
    CTkvs root = 0, big = MakeGroupedProfile(3800);
    CTary sets = 0;
    CTkvs_Create(&root, &err);
    CTary_Create(&sets, &err);
    CTary_PutKVSet(sets, nullptr, 0, &err);
    CTkvs_PutKVSet(root, 0x7001, big, &err);
    CTkvs_PutArray(root, 0x7002, sets, &err);
    CTkvs_Destroy(big, &err);
    CTary_Destroy(sets, &err);
    fixture = std::make_unique<EditFixture>(root);
  }
  return *fixture;
}

void BM_Copy1MiB(benchmark::State& state) {
  EditFixture& f = ClipboardFixture();
  CTreeNode* big = f.view->GetRoot()->GetFirstChild()->GetFirstChild();
  f.view->SelectNode(big);
  for (auto _ : state) benchmark::DoNotOptimize(f.view->CopyToClipboard());
  state.counters["bytes"] = static_cast<double>(QApplication::clipboard()->text().size());
}

void BM_Paste1MiB(benchmark::State& state) {
  EditFixture& f = ClipboardFixture();
  f.view->SelectNode(f.view->GetRoot()->GetFirstChild()->GetFirstChild());
  f.view->CopyToClipboard();
  auto* sets = static_cast<CArrayNode*>(f.view->GetRoot()->GetLastChild()->GetFirstChild());
  for (auto _ : state) {
    f.view->SelectNode(sets);
    f.view->OnEditPaste();
    state.PauseTiming();
    if (sets->CountSubNodes() != 1) state.SkipWithError("the paste did not land");
    sets->DeleteChildren();
    state.ResumeTiming();
  }
}

// Undo and redo of the delete of a 100,000-node sub-tree in a profile of
// about 1,000,000 nodes.
EditFixture& UndoFixture() {
  static std::unique_ptr<EditFixture>& fixture = undoFixture;
  if (!fixture) {
    uint32_t err = 0;
    CTkvs root = MakeGroupedProfile(GroupsFor(900000));
    CTkvs part = MakeGroupedProfile(GroupsFor(100000));
    CTkvs_PutKVSet(root, 0x7001, part, &err);
    CTkvs_Destroy(part, &err);
    fixture = std::make_unique<EditFixture>(root);
    fixture->view->SelectNode(fixture->view->GetRoot()->GetLastChild());
    fixture->view->OnEditDelete();
  }
  return *fixture;
}

void BM_UndoDelete100k(benchmark::State& state) {
  EditFixture& f = UndoFixture();
  for (auto _ : state) {
    f.view->OnEditUndo();
    state.PauseTiming();
    f.view->OnEditRedo();
    state.ResumeTiming();
  }
  state.counters["nodes"] = f.view->GetRoot()->GetRowCount();
}

void BM_RedoDelete100k(benchmark::State& state) {
  EditFixture& f = UndoFixture();
  for (auto _ : state) {
    state.PauseTiming();
    f.view->OnEditUndo();
    state.ResumeTiming();
    f.view->OnEditRedo();
  }
}

// Profile files of about 1 MiB: the text conversion alone, and with the
// file written (synced, renamed) or read.
struct FileFixture {
  testsupport::TempDir dir;
  testsupport::TempRegistry registry;
  std::unique_ptr<MultiAdminSession> session;
  testsupport::Kvs profile;
  std::string text;
  FileFixture() {
    testsupport::RegistryContents contents;
    contents.servers["Local"] = "embedded:" + dir.File("local.db");
    registry.Install(contents);
    CT_Initialize(nullptr);
    session = std::make_unique<MultiAdminSession>();
    CTkvs big = MakeGroupedProfile(3800);
    CTkvs_Copy(profile, big, nullptr);
    CTkvs_Destroy(big, nullptr);
    ProfileToText(session.get(), "Local", profile, &text);
  }
  ~FileFixture() {
    session.reset();
    CT_Shutdown(nullptr);
  }
};

FileFixture& Files() {
  static FileFixture fixture;
  return fixture;
}

void BM_ProfileToText1MiB(benchmark::State& state) {
  FileFixture& f = Files();
  std::string text;
  for (auto _ : state) ProfileToText(f.session.get(), "Local", f.profile, &text);
  state.counters["bytes"] = static_cast<double>(text.size());
}

void BM_Export1MiB(benchmark::State& state) {
  FileFixture& f = Files();
  const std::string path = f.dir.File("out.deif");
  std::string text;
  for (auto _ : state) {
    ProfileToText(f.session.get(), "Local", f.profile, &text);
    if (WriteProfileFile(path, text) != 0) state.SkipWithError("not written");
  }
}

void BM_TextToProfile1MiB(benchmark::State& state) {
  FileFixture& f = Files();
  testsupport::Kvs set;
  for (auto _ : state) TextToProfile(f.session.get(), "Local", f.text, set);
}

void BM_Import1MiB(benchmark::State& state) {
  FileFixture& f = Files();
  const std::string path = f.dir.File("in.deif");
  WriteProfileFile(path, f.text);
  testsupport::Kvs set;
  std::string text;
  for (auto _ : state) {
    if (ReadProfileFile(path, &text) != 0 || TextToProfile(f.session.get(), "Local", text, set) != 0)
      state.SkipWithError("not read");
  }
}

}  // namespace

BENCHMARK(BM_UndoDelete100k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RedoDelete100k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProfileToText1MiB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Export1MiB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TextToProfile1MiB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Import1MiB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindNextNoMatch)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PeerFindItems)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExpandAll)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CollapseAll)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExpandEachNodeAlone)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Copy1MiB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Paste1MiB)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  return RunViewBenchmarks(argc, argv, [] {
    fixtures.clear();
    clipboardFixture.reset();
    undoFixture.reset();
    peerModel.reset();
  });
}
