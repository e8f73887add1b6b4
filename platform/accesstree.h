// What a view that draws a tree itself tells assistive technology.  The
// view's window is announced as a tree whose current item is the selected
// node: its name, level, expanded or collapsed state and place on screen.
// The view gives a CScrollView one of these (SetAccessibleTree) and calls
// NotifyAccessibleFocus whenever its selection moves.
#pragma once

#include "platform/cstring.h"
#include "platform/geometry.h"

class CAccessibleTree {
 public:
  virtual ~CAccessibleTree() = default;

  // The tree's own name (what the window shows, say).
  virtual CString TreeName() const = 0;
  // Whether there is a current item; the rest is asked only then.
  virtual bool HasCurrentItem() const = 0;
  // The item's text as the user reads it.
  virtual CString CurrentItemText() const = 0;
  virtual bool CurrentItemHasChildren() const = 0;
  virtual bool CurrentItemExpanded() const = 0;
  // The item's box in the view's client coordinates; false when it is not
  // laid out (hidden).
  virtual bool CurrentItemRect(CRect* rect) const = 0;
};

class QWidget;

// The Qt side, for CScrollView.  Makes Qt ask CScrollView's windows that
// have a tree for their accessible interface (once; needs the application).
void InstallAccessibleTreeFactory();
// Tells assistive technology that the focus is on the current item of the
// tree shown by the window.
void NotifyAccessibleTreeFocus(QWidget* window);
// Tells assistive technology that the widget's text (its accessible name)
// changed, so that a screen reader announces a status it shows.
void NotifyAccessibleNameChanged(QWidget* widget);

class QAccessibleEvent;
// Qt passes events on only through a platform's accessibility bridge, which
// the offscreen platform lacks: a sink (null: none) sees every event this
// file sends, bridge or not.  For tests.
using AccessibleEventSink = void (*)(QAccessibleEvent* event);
void SetAccessibleEventSink(AccessibleEventSink sink);
