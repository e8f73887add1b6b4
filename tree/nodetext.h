// The row of a value node: its icon, then its text 6 units to the right,
// centred on the icon's height.  Shared by the scalar nodes and the symbol
// node, which differ only in the text they show.
#pragma once

#include <string>

#include "platform/cdc.h"
#include "platform/cstring.h"
#include "platform/textbytes.h"
#include "tree/dibitmap.h"
#include "tree/treenode.h"

// Gap between an icon and the text beside it, in logical units.
inline constexpr int kIconTextGap = 6;

// Draws icon and text with the node's top-left corner at logical (x, y) and
// returns the box width the row needs: icon width + gap + the text's width
// at that scale.  The caller stores it with SetWidth.
inline int DrawIconAndText(CDC* dc, CDIBitmap* icon, int x, int y, int iconWidth, int iconHeight,
                           const CString& text, float scale) {
  icon->Draw(dc, CTreeNode::Scaled(x, scale), CTreeNode::Scaled(y, scale), CTreeNode::Scaled(iconWidth, scale),
             CTreeNode::Scaled(iconHeight, scale));
  const CSize extent = dc->GetOutputTextExtent(text);
  const int textX = CTreeNode::Scaled(x + iconWidth + kIconTextGap, scale);
  const double textY = static_cast<double>(y) * scale + (static_cast<double>(iconHeight) * scale - extent.cy) / 2.0;
  dc->TextOut(textX, static_cast<int>(textY), text);
  return static_cast<int>((iconWidth + kIconTextGap) + extent.cx / static_cast<double>(scale));
}

// A display text cut to what a buffer of bufferSize bytes holds with its
// terminator: longer texts are shown shortened, never overrun.  A UTF-8
// text is cut between characters, so that what is left still shows as UTF-8.
inline CString FitDisplayText(const char* text, int bufferSize) {
  std::string s(text ? text : "");
  if (static_cast<int>(s.size()) > bufferSize - 1)
    s.resize(static_cast<size_t>(FitTextLength(s.data(), static_cast<int>(s.size()), bufferSize - 1)));
  return CString(s);
}
