// What the view benchmarks share: a view shown in a window and loaded with
// a profile, and a main that runs them offscreen with the icons loaded.
#pragma once

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QMainWindow>
#include <cstdlib>
#include <functional>

#include "app/queltview.h"
#include "s100/ctcontainers.h"
#include "tree/bmstore.h"

// Shows the view in the window with a viewport of the size, builds its tree
// from the set (which it destroys) and paints once.
inline void ShowViewWithProfile(QMainWindow& window, CQueltView* view, int width, int height, CTkvs set) {
  view->Create(&window);
  window.setCentralWidget(view->ScrollArea());
  view->Viewport()->setFixedSize(width, height);
  window.show();
  window.adjustSize();
  view->PutProfile("Local", set);
  uint32_t err = 0;
  CTkvs_Destroy(set, &err);
  view->RedrawNow();
  QApplication::processEvents();
}

// Runs the registered benchmarks; beforeExit lets the fixtures go while the
// application still exists.
inline int RunViewBenchmarks(int argc, char** argv, const std::function<void()>& beforeExit = {}) {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  CBitmapStore::LoadBitmaps();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (beforeExit) beforeExit();
  CBitmapStore::FreeBitmaps();
  return 0;
}
