// What the view tests share: a profile view shown in a main window, its
// viewport a fixed size, the icons loaded and the scripted modal host in
// place.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QMainWindow>
#include <QTest>
#include <memory>

#include "app/queltview.h"
#include "platform/modalhost.h"
#include "platform/scriptedmodalhost.h"
#include "tree/bmstore.h"

class ViewWindowTest : public ::testing::Test {
 protected:
  static constexpr int kClientWidth = 400;
  static constexpr int kClientHeight = 300;

  void SetUp() override {
    ASSERT_TRUE(CBitmapStore::LoadBitmaps());
    window = std::make_unique<QMainWindow>();
    view = std::make_unique<CQueltView>();
    ASSERT_TRUE(view->Create(window.get()));
    window->setCentralWidget(view->ScrollArea());
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    view->Viewport()->setFixedSize(kClientWidth, kClientHeight);
    window->adjustSize();
    QApplication::processEvents();
  }
  void TearDown() override {
    view.reset();
    window.reset();
    CBitmapStore::FreeBitmaps();
  }
  // Paints, and lets the scroll range set by the paint take effect.
  void Paint() {
    view->RedrawNow();
    QApplication::processEvents();
  }

  ScriptedModalHost host;
  ScopedModalHost scope{&host};
  std::unique_ptr<QMainWindow> window;
  std::unique_ptr<CQueltView> view;
};
