// Figures for the profile tree at scale, each beside a Qt peer in the same
// run:
//  - building the tree from a profile (PutDE on the root set), writing it
//    back (GetDE) and freeing it, against a QStandardItemModel with the same
//    rows and texts built, read and freed; resident memory per row of both;
//  - one paint of a 1000 x 800 area of the fully expanded tree at the top,
//    middle and end, through CQtDC on a QImage, against a QTreeView over the
//    model (uniform row heights, expanded) rendering the same viewport;
//  - a click, a position search and a Page Down step in a large tree.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <QApplication>
#include <QHeaderView>
#include <QImage>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QTreeView>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "common/ctstring.h"
#include "model/dataelt.h"
#include "platform/gdiobjects.h"
#include "platform/qtdc.h"
#include "s100/ctcontainers.h"
#include "tree/arrynode.h"
#include "tree/bmstore.h"
#include "tree/kvs_node.h"

namespace {

// ---------------------------------------------------------------------------
// The profile: groups of values of every kind, nested sets and arrays.

class ProfileMaker {
 public:
  // A set of about rows tree rows.
  CTkvs Make(int rows) {
    CTkvs root = NewSet();
    int made = 1;
    for (uint32_t key = 1000; made < rows; ++key) {
      CTkvs group = NewSet();
      made += 2 + FillGroup(group);
      CTkvs_PutKVSet(root, key, group, &m_err);
      CTkvs_Destroy(group, &m_err);
    }
    return root;
  }

 private:
  CTkvs NewSet() {
    CTkvs set = 0;
    CTkvs_Create(&set, &m_err);
    return set;
  }
  CTary NewArray() {
    CTary array = 0;
    CTary_Create(&array, &m_err);
    return array;
  }
  // One scalar of kind % 8 holding i under key; 2 rows (pair and value).
  void PutScalar(CTkvs set, uint32_t key, int kind, int i) {
    const CTirange ir{i, -i};
    const CTfrange fr{i * 0.5f, i * 0.25f};
    const std::string text = "value " + std::to_string(i);
    switch (kind % 8) {
      case 0: CTkvs_PutInt(set, key, i - 500, &m_err); break;
      case 1: CTkvs_PutUInt(set, key, static_cast<uint32_t>(i) * 7919u, &m_err); break;
      case 2: CTkvs_PutBool(set, key, i & 1, &m_err); break;
      case 3: CTkvs_PutSymbol(set, key, 5000u + static_cast<uint32_t>(i), &m_err); break;
      case 4: CTkvs_PutFloat(set, key, i / 3.0f, &m_err); break;
      case 5: CTkvs_PutIRange(set, key, &ir, &m_err); break;
      case 6: CTkvs_PutFRange(set, key, &fr, &m_err); break;
      default: CTkvs_PutString(set, key, text.c_str(), &m_err); break;
    }
  }
  // Returns the rows the group's members make.
  int FillGroup(CTkvs group) {
    int rows = 0;
    uint32_t key = 1;
    for (int i = 0; i < 40; ++i, ++key) {
      PutScalar(group, key, i, i + static_cast<int>(m_serial++ % 97));
      rows += 2;
    }
    // Arrays of eight items of five kinds.
    for (int kind = 0; kind < 5; ++kind, ++key) {
      CTary array = NewArray();
      int32_t ints[8];
      float floats[8];
      const char* texts[8];
      CTsymbol symbols[8];
      for (int i = 0; i < 8; ++i) {
        ints[i] = i * 11 - 3;
        floats[i] = i * 1.25f;
        texts[i] = "item";
        symbols[i] = 7000u + static_cast<uint32_t>(i);
      }
      switch (kind) {
        case 0: CTary_PutInt(array, ints, 8, &m_err); break;
        case 1: CTary_PutFloat(array, floats, 8, &m_err); break;
        case 2: CTary_PutString(array, texts, 8, &m_err); break;
        case 3: CTary_PutSymbol(array, symbols, 8, &m_err); break;
        default: CTary_PutBool(array, ints, 8, &m_err); break;
      }
      CTkvs_PutArray(group, key, array, &m_err);
      CTary_Destroy(array, &m_err);
      rows += 2 + 8;
    }
    // An array of two sets of three scalars.
    {
      CTkvs sets[2] = {NewSet(), NewSet()};
      for (CTkvs set : sets)
        for (uint32_t k = 1; k <= 3; ++k) PutScalar(set, k, static_cast<int>(k), static_cast<int>(k) * 3);
      CTary array = NewArray();
      CTary_PutKVSet(array, sets, 2, &m_err);
      CTkvs_PutArray(group, key++, array, &m_err);
      CTary_Destroy(array, &m_err);
      for (CTkvs set : sets) CTkvs_Destroy(set, &m_err);
      rows += 2 + 2 * (1 + 3 * 2);
    }
    // An array of two integer-range arrays of three.
    {
      const CTirange ranges[3] = {{1, 2}, {3, 4}, {5, 6}};
      CTary inner[2] = {NewArray(), NewArray()};
      for (CTary a : inner) CTary_PutIRange(a, ranges, 3, &m_err);
      CTary array = NewArray();
      CTary_PutArray(array, inner, 2, &m_err);
      CTkvs_PutArray(group, key++, array, &m_err);
      CTary_Destroy(array, &m_err);
      for (CTary a : inner) CTary_Destroy(a, &m_err);
      rows += 2 + 2 * (1 + 3);
    }
    return rows;
  }

  uint32_t m_err = 0;
  uint32_t m_serial = 0;
};

// A set holding one integer array of about rows items: the widest shape.
QV_DataElement FlatElement(int rows) {
  uint32_t err = 0;
  std::vector<int32_t> items(static_cast<size_t>(std::max(rows - 3, 0)));
  for (size_t i = 0; i < items.size(); ++i) items[i] = static_cast<int32_t>(i);
  CTary array = 0;
  CTary_Create(&array, &err);
  CTary_PutInt(array, items.data(), static_cast<uint32_t>(items.size()), &err);
  CTkvs set = 0;
  CTkvs_Create(&set, &err);
  CTkvs_PutArray(set, 1000, array, &err);
  QV_DataElement element;
  element.SetToKVSet(set);
  CTary_Destroy(array, &err);
  CTkvs_Destroy(set, &err);
  return element;
}

QV_DataElement ProfileElement(int rows) {
  ProfileMaker maker;
  CTkvs set = maker.Make(rows);
  QV_DataElement element;
  element.SetToKVSet(set);
  uint32_t err = 0;
  CTkvs_Destroy(set, &err);
  return element;
}

const QV_String kServer("bench");

std::unique_ptr<CKVSetNode> BuildTree(const QV_DataElement& element) {
  auto root = std::make_unique<CKVSetNode>();
  if (!root->PutDE(element, nullptr, kServer)) std::fprintf(stderr, "PutDE failed\n");
  return root;
}

// ---------------------------------------------------------------------------
// The peer's rows: depth and text of every visible row of the tree.

struct Row {
  int depth;
  QString text;
};

void CollectRows(CTreeNode* node, int depth, std::vector<Row>& rows) {
  auto* de = static_cast<CDENode*>(node);
  QString text = QString::fromLatin1(de->SearchText().GetString());
  if (text.isEmpty()) text = QString::fromLatin1(de->Type().GetString());
  rows.push_back({depth, text});
  for (CTreeNode* c = node->FirstChild(); c; c = node->NextChild(c)) CollectRows(c, depth + 1, rows);
}

std::unique_ptr<QStandardItemModel> BuildModel(const std::vector<Row>& rows) {
  auto model = std::make_unique<QStandardItemModel>();
  std::vector<QStandardItem*> parents{model->invisibleRootItem()};
  for (const Row& row : rows) {
    parents.resize(static_cast<size_t>(row.depth) + 1);
    auto* item = new QStandardItem(row.text);
    item->setEditable(false);
    parents.back()->appendRow(item);
    parents.push_back(item);
  }
  return model;
}

// The peer's write-back: read every text.
size_t ReadModel(QStandardItem* item) {
  size_t total = static_cast<size_t>(item->text().size());
  for (int i = 0; i < item->rowCount(); ++i) total += ReadModel(item->child(i));
  return total;
}

// ---------------------------------------------------------------------------
// Memory

long ResidentBytes() {
  std::ifstream statm("/proc/self/statm");
  long size = 0, resident = 0;
  statm >> size >> resident;
  return resident * sysconf(_SC_PAGESIZE);
}

// Pixels that differ from the top-left one: a check that a paint drew.
double InkPixels(const QImage& image) {
  const QRgb background = image.pixel(0, 0);
  long ink = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) ink += image.pixel(x, y) != background;
  return static_cast<double>(ink);
}

// With TREE_BENCH_SAVE set to a folder, each paint's image is saved there.
void SaveImage(const QImage& image, const std::string& name) {
  const QByteArray folder = qgetenv("TREE_BENCH_SAVE");
  if (!folder.isEmpty()) image.save(QString::fromLatin1(folder) + "/" + QString::fromStdString(name) + ".png");
}

double Millis(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since).count();
}

// ---------------------------------------------------------------------------
// Build, write back, free

void BM_TreeBuildWriteFree(benchmark::State& state) {
  const QV_DataElement element = ProfileElement(static_cast<int>(state.range(0)));
  double build = 0, write = 0, release = 0;
  int rows = 0;
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    auto root = BuildTree(element);
    build += Millis(start);
    start = std::chrono::steady_clock::now();
    QV_DataElement out;
    root->GetDE(out);
    write += Millis(start);
    rows = root->GetRowCount();
    start = std::chrono::steady_clock::now();
    root.reset();
    release += Millis(start);
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["rows"] = rows;
  state.counters["build_ms"] = build / n;
  state.counters["getde_ms"] = write / n;
  state.counters["free_ms"] = release / n;
  malloc_trim(0);
  const long before = ResidentBytes();
  auto root = BuildTree(element);
  state.counters["bytes_per_row"] = static_cast<double>(ResidentBytes() - before) / rows;
  root.reset();
  malloc_trim(0);
}
BENCHMARK(BM_TreeBuildWriteFree)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_PeerModelBuildReadFree(benchmark::State& state) {
  std::vector<Row> rows;
  {
    auto root = BuildTree(ProfileElement(static_cast<int>(state.range(0))));
    CollectRows(root.get(), 0, rows);
  }
  double build = 0, read = 0, release = 0;
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    auto model = BuildModel(rows);
    build += Millis(start);
    start = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(ReadModel(model->invisibleRootItem()));
    read += Millis(start);
    start = std::chrono::steady_clock::now();
    model.reset();
    release += Millis(start);
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["rows"] = static_cast<double>(rows.size());
  state.counters["build_ms"] = build / n;
  state.counters["read_ms"] = read / n;
  state.counters["free_ms"] = release / n;
  malloc_trim(0);
  const long before = ResidentBytes();
  auto model = BuildModel(rows);
  state.counters["bytes_per_row"] = static_cast<double>(ResidentBytes() - before) / static_cast<double>(rows.size());
  model.reset();
  malloc_trim(0);
}
BENCHMARK(BM_PeerModelBuildReadFree)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(5);

// ---------------------------------------------------------------------------
// Paint

constexpr int kWidth = 1000;
constexpr int kHeight = 800;

// The tree of a size, kept between the benchmarks that use it.
struct BigTree {
  int rows = 0;
  std::unique_ptr<CKVSetNode> root;
  std::vector<Row> peerRows;
};

// rows < 0: the flat shape of -rows rows.
BigTree& TreeOf(int rows) {
  static BigTree tree;
  if (tree.rows != rows) {
    tree.root.reset();
    tree.peerRows.clear();
    malloc_trim(0);
    tree.root = BuildTree(rows < 0 ? FlatElement(-rows) : ProfileElement(rows));
    tree.rows = rows;
  }
  return tree;
}

// 0 top, 1 middle, 2 end: the scroll position in device units.
int ScrollFor(int position, int total) {
  if (position == 0) return 0;
  if (position == 1) return total / 2;
  return std::max(0, total - kHeight);
}

void BM_TreePaint(benchmark::State& state) {
  BigTree& tree = TreeOf(static_cast<int>(state.range(0)));
  CKVSetNode* root = tree.root.get();
  int maxX = 0, maxY = 0;
  root->GetExtent(8, 8, maxX, maxY);
  const int scroll = ScrollFor(static_cast<int>(state.range(1)), maxY + 8);
  QImage image(kWidth, kHeight, QImage::Format_RGB32);
  CFont font;
  font.CreateFont(16, 6, 0, 0, FW_NORMAL, 0, 0, 0, 0, 4, 0, 2, 0x20, nullptr);
  for (auto _ : state) {
    image.fill(QColor(192, 192, 192));
    CQtDC dc(&image);
    dc.SetBkMode(TRANSPARENT);
    dc.SelectObject(&font);
    dc.SetViewportOrg(0, -scroll);
    // The view's paint: draw, then take the extent for the scroll sizes.
    benchmark::DoNotOptimize(root->DrawTree(8, 8, &dc, 1.0f));
    int width = 0, height = 0;
    root->GetExtent(8, 8, width, height);
    benchmark::DoNotOptimize(height);
  }
  state.counters["rows"] = root->GetRowCount();
  state.counters["scroll"] = scroll;
  state.counters["ink"] = InkPixels(image);
  SaveImage(image, "tree_" + std::to_string(state.range(0)) + "_" + std::to_string(state.range(1)));
}
BENCHMARK(BM_TreePaint)
    ->ArgsProduct({{100000, 1000000, -1000000}, {0, 1, 2}})
    ->ArgNames({"rows", "pos"})
    ->Unit(benchmark::kMillisecond);

// Paints that alternate between two zooms at the middle: the visible rows'
// widths shrink and grow on every paint, so the widest-edge sums change.
void BM_TreeZoomPaint(benchmark::State& state) {
  CKVSetNode* root = TreeOf(static_cast<int>(state.range(0))).root.get();
  QImage image(kWidth, kHeight, QImage::Format_RGB32);
  CFont font;
  font.CreateFont(16, 6, 0, 0, FW_NORMAL, 0, 0, 0, 0, 4, 0, 2, 0x20, nullptr);
  int width = 0, height = 0;
  root->GetExtent(8, 8, width, height);
  bool zoomed = false;
  for (auto _ : state) {
    const float scale = zoomed ? 0.8f : 1.0f;
    zoomed = !zoomed;
    image.fill(QColor(192, 192, 192));
    CQtDC dc(&image);
    dc.SetBkMode(TRANSPARENT);
    dc.SelectObject(&font);
    dc.SetViewportOrg(0, -CTreeNode::Scaled(height / 2, scale));
    benchmark::DoNotOptimize(root->DrawTree(8, 8, &dc, scale));
    width = height = 0;
    root->GetExtent(8, 8, width, height);
  }
}
BENCHMARK(BM_TreeZoomPaint)->Arg(1000000)->Arg(-1000000)->Unit(benchmark::kMillisecond);

void BM_PeerPaint(benchmark::State& state) {
  BigTree& tree = TreeOf(static_cast<int>(state.range(0)));
  if (tree.peerRows.empty()) CollectRows(tree.root.get(), 0, tree.peerRows);
  // The peer's rows without the tree's: the model and the view stand alone.
  auto model = BuildModel(tree.peerRows);
  QTreeView view;
  view.setUniformRowHeights(true);
  view.header()->hide();
  view.setModel(model.get());
  view.expandAll();
  view.resize(kWidth, kHeight);
  view.show();
  QApplication::processEvents();
  QScrollBar* bar = view.verticalScrollBar();
  const int position = static_cast<int>(state.range(1));
  bar->setValue(position == 0 ? 0 : position == 1 ? bar->maximum() / 2 : bar->maximum());
  QApplication::processEvents();
  QImage image(view.viewport()->size(), QImage::Format_RGB32);
  for (auto _ : state) {
    image.fill(Qt::white);
    view.viewport()->render(&image);
  }
  state.counters["rows"] = static_cast<double>(tree.peerRows.size());
  state.counters["ink"] = InkPixels(image);
  SaveImage(image, "peer_" + std::to_string(state.range(0)) + "_" + std::to_string(state.range(1)));
}
BENCHMARK(BM_PeerPaint)
    ->ArgsProduct({{100000, 1000000}, {0, 1, 2}})
    ->ArgNames({"rows", "pos"})
    ->Unit(benchmark::kMillisecond);

// ---------------------------------------------------------------------------
// Click, position search and Page Down in a large tree

void BM_TreeClicked(benchmark::State& state) {
  CKVSetNode* root = TreeOf(static_cast<int>(state.range(0))).root.get();
  // A point on the box of the row at the middle.
  int top = 0;
  CTreeNode* middle = root->NodeAtRow(root->GetRowCount() / 2, &top);
  int y = 0;
  CRect rect;
  root->GetDims(middle, 0, y, rect);
  int onIcon = 0;
  for (auto _ : state) benchmark::DoNotOptimize(root->Clicked(rect.left + 2, rect.top + 2, onIcon));
  if (root->Clicked(rect.left + 2, rect.top + 2, onIcon) != middle) state.SkipWithError("missed the row");
}
BENCHMARK(BM_TreeClicked)->Arg(1000000)->Arg(-1000000)->Unit(benchmark::kMicrosecond);

void BM_TreeGetDims(benchmark::State& state) {
  CKVSetNode* root = TreeOf(static_cast<int>(state.range(0))).root.get();
  CTreeNode* last = root->NodeAtRow(root->GetRowCount() - 1);
  CRect rect;
  for (auto _ : state) {
    int y = 4;
    benchmark::DoNotOptimize(root->GetDims(last, 4, y, rect));
  }
}
BENCHMARK(BM_TreeGetDims)->Arg(1000000)->Arg(-1000000)->Unit(benchmark::kMicrosecond);

// The view's Page Down: the selection's box, then the first row at or below
// the top of the next page.
void BM_TreePageDown(benchmark::State& state) {
  CKVSetNode* root = TreeOf(static_cast<int>(state.range(0))).root.get();
  CTreeNode* selected = root->NodeAtRow(root->GetRowCount() / 3);
  for (auto _ : state) {
    int y = 4;
    CRect rect;
    root->GetDims(selected, 4, y, rect);
    int row = root->GetRowAtY(rect.top - 4 + kHeight);
    if (row >= root->GetRowCount()) row = root->GetRowCount() - 1;
    CTreeNode* next = root->NodeAtRow(row);
    benchmark::DoNotOptimize(next);
    selected = next;
    if (root->GetRowOf(selected) > root->GetRowCount() - 100) selected = root->NodeAtRow(root->GetRowCount() / 3);
  }
}
BENCHMARK(BM_TreePageDown)->Arg(1000000)->Arg(-1000000)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  if (!CBitmapStore::LoadBitmaps()) {
    std::fprintf(stderr, "the node icons did not load\n");
    return 1;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  CBitmapStore::FreeBitmaps();
  return 0;
}
