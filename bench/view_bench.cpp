// The profile view at scale: one paint of a fully expanded profile in a
// 1000 x 800 view scrolled to the top, the middle and the end, beside a
// QTreeView on a QStandardItemModel of the same rows painting the same
// viewport; Page Down and End at a million nodes; and Retrieve-to-first-
// paint (building the tree from a 1 MiB profile and painting it).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QMainWindow>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QTreeView>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>

#include "app/queltview.h"
#include "bench/groupedprofile.h"
#include "bench/viewbench.h"
#include "platform/vkeys.h"
#include "s100/ctcontainers.h"
#include "proto/demessage.h"
#include "tree/bmstore.h"
#include "tree/kvs_node.h"

namespace {

constexpr int kWidth = 1000;
constexpr int kHeight = 800;

// A view in a window, its viewport kWidth x kHeight, holding one profile.
struct ViewFixture {
  QMainWindow window;
  CQueltView* view = new CQueltView;
  int rows = 0;

  explicit ViewFixture(int nodes) {
    ShowViewWithProfile(window, view, kWidth, kHeight, MakeGroupedProfile(GroupsFor(nodes)));
    rows = view->GetRoot()->GetRowCount();
  }
  ~ViewFixture() { delete view; }

  static int GroupsFor(int nodes) { return nodes / (2 + 2 * kValuesPerGroup); }
  void ScrollTo(int where) {  // 0 top, 1 middle, 2 end
    const int total = view->GetTotalSize().cy;
    const int y = where == 0 ? 0 : where == 1 ? total / 2 : total;
    view->ScrollToPosition(CPoint(0, y));
    view->RedrawNow();
    QApplication::processEvents();
  }
};

ViewFixture& FixtureFor(int nodes) {
  static std::map<int, std::unique_ptr<ViewFixture>> fixtures;
  auto& slot = fixtures[nodes];
  if (!slot) {
    fixtures.clear();  // one large tree at a time
    auto& again = fixtures[nodes];
    again = std::make_unique<ViewFixture>(nodes);
    return *again;
  }
  return *slot;
}

void BM_ViewPaint(benchmark::State& state) {
  ViewFixture& f = FixtureFor(static_cast<int>(state.range(0)));
  f.ScrollTo(static_cast<int>(state.range(1)));
  for (auto _ : state) f.view->RedrawNow();
  state.counters["rows"] = f.rows;
}

// The peer: the same rows as item text at the same depths, all expanded.
struct PeerFixture {
  QStandardItemModel model;
  QTreeView tree;
  explicit PeerFixture(int nodes) {
    const int groups = ViewFixture::GroupsFor(nodes);
    QStandardItem* root = new QStandardItem("set");
    model.invisibleRootItem()->appendRow(root);
    for (int g = 0; g < groups; ++g) {
      auto* pair = new QStandardItem(QString("Key %1").arg(0x10000 + g));
      auto* set = new QStandardItem("set");
      pair->appendRow(set);
      for (int i = 0; i < kValuesPerGroup; ++i) {
        auto* valuePair = new QStandardItem(QString("Key %1").arg(0x7001 + i));
        valuePair->appendRow(new QStandardItem(i % 2 == 0 ? QString::number(g * 31 + i)
                                                          : QString("value %1").arg(g * 31 + i)));
        set->appendRow(valuePair);
      }
      root->appendRow(pair);
    }
    tree.setUniformRowHeights(true);
    tree.setModel(&model);
    tree.expandAll();
    tree.viewport()->setFixedSize(kWidth, kHeight);
    tree.show();
    tree.adjustSize();
    QApplication::processEvents();
  }
};

void BM_PeerPaint(benchmark::State& state) {
  static std::unique_ptr<PeerFixture> peer;
  static int peerNodes = 0;
  if (peerNodes != state.range(0)) {
    peer.reset();
    peer = std::make_unique<PeerFixture>(static_cast<int>(state.range(0)));
    peerNodes = static_cast<int>(state.range(0));
  }
  QScrollBar* bar = peer->tree.verticalScrollBar();
  const int where = static_cast<int>(state.range(1));
  bar->setValue(where == 0 ? 0 : where == 1 ? bar->maximum() / 2 : bar->maximum());
  QApplication::processEvents();
  for (auto _ : state) peer->tree.viewport()->repaint();
  state.counters["rows"] = peer->model.rowCount();
}

// One key press with its redraw, starting from the top each time.
void BM_Key(benchmark::State& state) {
  ViewFixture& f = FixtureFor(1000000);
  const UINT key = static_cast<UINT>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    f.view->OnKeyDown(VK_HOME, 1, 0);
    f.view->ScrollToPosition(CPoint(0, 0));
    QApplication::processEvents();
    state.ResumeTiming();
    f.view->OnKeyDown(key, 1, 0);
  }
  state.counters["rows"] = f.rows;
}

// Building the tree from a profile of about 1 MiB and the first paint.
void BM_RetrieveToFirstPaint(benchmark::State& state) {
  int groups = 1;
  CTkvs set = 0;
  std::string bytes;
  uint32_t err = 0;
  for (groups = 1024;; groups += groups / 4) {
    set = MakeGroupedProfile(groups);
    ctserver::KvsToBytes(set, &bytes, &err);
    if (bytes.size() >= (1u << 20)) break;
    CTkvs_Destroy(set, &err);
  }
  QMainWindow window;
  auto* view = new CQueltView;
  view->Create(&window);
  window.setCentralWidget(view->ScrollArea());
  view->Viewport()->setFixedSize(kWidth, kHeight);
  window.show();
  window.adjustSize();
  QApplication::processEvents();
  for (auto _ : state) {
    view->PutProfile("Local", set);
    view->RedrawNow();
  }
  state.counters["bytes"] = static_cast<double>(bytes.size());
  state.counters["rows"] = view->GetRoot()->GetRowCount();
  delete view;
  CTkvs_Destroy(set, &err);
}

}  // namespace

BENCHMARK(BM_ViewPaint)->ArgsProduct({{100000, 1000000}, {0, 1, 2}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PeerPaint)->ArgsProduct({{100000, 1000000}, {0, 1, 2}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Key)->Arg(VK_NEXT)->Arg(VK_END)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RetrieveToFirstPaint)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) { return RunViewBenchmarks(argc, argv); }
