// Compare With Revision to the first painted screen: the large demo profile
// open in a 1000 x 800 view, compared with a revision of it that differs by
// a few hundred changed, removed and added values.  Timed: the difference
// walk, the marking (removed rows included), the first screen's layout and
// one paint of the viewport.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QMainWindow>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>
#include <string>

#include "app/queltview.h"
#include "bench/viewbench.h"
#include "model/dataelt.h"
#include "s100/deif.h"
#include "tools/demo_profiles.h"
#include "tree/kvs_node.h"

namespace {

constexpr int kWidth = 1000;
constexpr int kHeight = 800;
// Every this many value lines of the profile text one is edited.
constexpr int kEditEvery = 150;

// Names to numbers for the text reader: each new name gets the next number.
QV_Status Intern(uint32_t* symbol, char** text, int32_t direction, void* context) {
  auto* names = static_cast<std::map<std::string, uint32_t>*>(context);
  if (direction != 0) return QV_CreateStatus(QV_STATE_FAILURE, 0, 0);
  auto [at, added] = names->emplace(*text, static_cast<uint32_t>(0x100000 + names->size()));
  (void)added;
  *symbol = at->second;
  return QV_OK;
}

QV_DataElement Read(const std::string& text, std::map<std::string, uint32_t>* names) {
  QV_RawDataElement raw{};
  QV_DataElement element;
  if (AtoAnyDE(text.c_str(), nullptr, &raw, &Intern, names).state == QV_STATE_SUCCESS) FromRawDataElement(raw, &element);
  QV_DestroyDataElement(&raw);
  return element;
}

// The open profile and the revision: of every kEditEvery value lines one is
// changed (an int), removed (only the revision has it) or added (only the
// open profile has it), in turn.
void MakePair(const std::string& text, std::string* open, std::string* revision, int* edits) {
  std::istringstream in(text);
  std::string line;
  int values = 0;
  *edits = 0;
  while (std::getline(in, line)) {
    const bool value = line.find(" = ") != std::string::npos && line.back() == ';' &&
                       line.find('{') == std::string::npos && line.find('[') == std::string::npos;
    if (value && ++values % kEditEvery == 0) {
      ++*edits;
      const size_t intAt = line.find("= int ");
      switch ((values / kEditEvery) % 3) {
        case 0:
          if (intAt != std::string::npos) {
            *open += line + "\n";
            *revision += line.substr(0, intAt) + "= int 424242;\n";
            continue;
          }
          [[fallthrough]];
        case 1:
          *revision += line + "\n";
          continue;
        default:
          *open += line + "\n";
          continue;
      }
    }
    *open += line + "\n";
    *revision += line + "\n";
  }
}

void BM_CompareToFirstPaint(benchmark::State& state) {
  std::string text;
  for (const demo::DemoProfile& p : demo::DemoProfiles())
    if (p.name == "Large_Exchange") text = p.text;
  std::string openText, revisionText;
  int edits = 0;
  MakePair(text, &openText, &revisionText, &edits);
  std::map<std::string, uint32_t> names;
  QV_DataElement open = Read(openText, &names);
  QV_DataElement revision = Read(revisionText, &names);
  if (open.Type() != CT_TYPE_KVSET || revision.Type() != CT_TYPE_KVSET) {
    state.SkipWithError("the demo profile did not read");
    return;
  }
  QMainWindow window;
  auto* view = new CQueltView;
  CTkvs copy = 0;
  uint32_t err = 0;
  CTkvs_Create(&copy, &err);
  CTkvs_Copy(copy, open.KVSet(), &err);
  ShowViewWithProfile(window, view, kWidth, kHeight, copy);
  for (auto _ : state) {
    state.PauseTiming();
    view->EndComparison();
    QApplication::processEvents();
    state.ResumeTiming();
    view->StartComparison(revision, "revision");
    view->RedrawNow();
  }
  state.counters["nodes"] = static_cast<double>(demo::kLargeProfileNodes);
  state.counters["edits"] = edits;
  state.counters["differences"] = static_cast<double>(view->MarkedNodes().size());
  state.counters["rows"] = view->GetRoot()->GetRowCount();
  delete view;
}

}  // namespace

BENCHMARK(BM_CompareToFirstPaint)->Unit(benchmark::kMillisecond)->Iterations(10);

int main(int argc, char** argv) { return RunViewBenchmarks(argc, argv); }
