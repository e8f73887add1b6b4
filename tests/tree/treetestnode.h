// A data-element node for the tree tests: a given icon size, a type tag,
// and a drawing that writes its name and widens its box to a given width.
#pragma once

#include <string>

#include "platform/cdc.h"
#include "tree/denode.h"

class TestNode : public CDENode {
 public:
  TestNode(int iconWidth, int iconHeight, std::string name = "", int drawnWidth = -1)
      : m_name(std::move(name)), m_drawnWidth(drawnWidth) {
    SetSizes(iconWidth, iconWidth, iconHeight, iconHeight);
    ++s_live;
  }
  ~TestNode() override { --s_live; }

  int DrawNode(int x, int y, CDC* dc, float scale) override {
    ++m_draws;
    if (m_fail) return 0;
    dc->TextOut(Scaled(x, scale), Scaled(y, scale), m_name.c_str(), static_cast<int>(m_name.size()));
    if (m_drawnWidth >= 0) SetWidth(m_drawnWidth);
    return DrawSelectionBar(x, y, dc, scale);
  }
  CString Type() override { return CString(m_type.c_str()); }

  // Test access to the protected setters.
  void SetBoxWidth(int width) { SetWidth(width); }
  void SetBoxHeight(int height) { SetHeight(height); }
  void SetIcon(int width, int height) { SetIconSize(width, height); }
  void SetDrawnWidth(int width) { m_drawnWidth = width; }
  void SetFail(bool fail) { m_fail = fail; }
  void SetType(std::string type) { m_type = std::move(type); }
  const std::string& Name() const { return m_name; }
  int Draws() const { return m_draws; }

  static int Live() { return s_live; }

 private:
  std::string m_name;
  std::string m_type = "CTestNode";
  int m_drawnWidth;
  int m_draws = 0;
  bool m_fail = false;
  static inline int s_live = 0;
};
