// CDENode: the tree node that stands for one data element.
//
// Every data-element node looks the same: an icon with the node's text to
// its right, rows of the icon height plus 6, children 48 units to the right,
// a line from below the centre of the parent's icon to the middle of the
// child's icon, and a highlight frame round the selected node.  CDENode also
// declares the editing protocol the view uses on the selected node, with
// defaults the concrete classes override, and the node factory.
//
// For subclasses: set the icon and box sizes only through SetIconSize,
// SetSizes and CTreeNode's SetWidth / SetHeight / SetSize (never write
// fields), so that the tree's row and extent sums stay current.  A subclass
// that declares its own AddSubNode(CDENode*, ...) should add
// `using CDENode::AddSubNode;` to keep the child-linking AddSubNode of
// CTreeNode visible.
#pragma once

#include <memory>

#include "platform/cstring.h"
#include "tree/treenode.h"

class CWnd;
class MultiAdminSession;
class QV_DataElement;
class QV_String;

class CDENode : public CTreeNode {
 public:
  CDENode();
  ~CDENode() override;

  // The look shared by every data-element node.
  static constexpr int kXIndent = 48;
  static constexpr int kRowGap = 6;
  static constexpr int kBorderWidth = 6;
  static constexpr int kLinkDestX = -2;
  static constexpr int kLinkOrigBelowIcon = 2;
  static constexpr int kFrameMargin = 4;

  // --- CTreeNode's geometry.
  // Grows the maxima to cover the node's box and, when expanded, each child
  // placed kXIndent right and kRowGap below the maximum y reached so far.
  void GetExtent(int x, int y, int& maxX, int& maxY) override;
  int DrawSelectionBar(int x, int y, CDC* dc, float scale) override;
  int GetBorderWidth() override;
  int IsInside(int x, int y) override;
  int IsOnIcon(int x, int y) override;
  int GetXIndent() override;
  int GetYIndent() override;
  int LinkOrigX() override;
  int LinkOrigY() override;
  int LinkDestX() override;
  int LinkDestY() override;

  int GetTotalWidth() const { return GetWidth(); }
  int GetTotalHeight() const { return GetHeight(); }
  int GetIconWidth() const { return m_nIconWidth; }
  int GetIconHeight() const { return m_nIconHeight; }

  // --- The editing protocol.
  // The class name, the node's type tag.
  virtual CString Type() = 0;
  // Edits the value through a dialog; 1 when it changed.
  virtual int EditNode(MultiAdminSession* session, const QV_String& serverName, CWnd* parent);
  // What the find command matches.
  virtual CString SearchText();
  virtual int AddNode(CDENode* node, CWnd* parent);
  // 0 for the root and for the value of a key-value pair, else 1.
  virtual int CanDelete(CWnd* parent);
  // Whether a node of the given type may be added as a child.
  virtual int CanContain(const CString& typeName);
  virtual int CanEdit();
  using CTreeNode::AddSubNode;
  // Adds a node as a child through the container's own rules; 1 when added.
  virtual int AddSubNode(CDENode* node, CWnd* parent, MultiAdminSession* session, const QV_String& serverName);
  // Writes the node's value into element; 1 when written.
  virtual int GetDE(QV_DataElement& element);
  // Takes the element's value; 1 when taken.
  virtual int PutDE(const QV_DataElement& element, MultiAdminSession* session, const QV_String& serverName);
  // Removes the node with its subtree through its parent (the node is gone
  // afterwards); 0 for the root.
  virtual int Delete(CWnd* parent);

  // The node class for the element's type code, filled from it; null for no
  // value, an unknown code below 60 or an element the node refuses.  The
  // node is unlinked; nothing is shown to the user.
  static CDENode* CreateDENode(const QV_DataElement& element, MultiAdminSession* session,
                               const QV_String& serverName);

  // --- The mark a comparison puts on the node: in the open profile only
  // (Added), with another value on the other side (Changed), or a row that
  // stands for a node only the other side has (Removed, a CRemovedNode, the
  // only node that carries it).  The note is the other value, drawn beside
  // the node; it is never part of the node's value.
  // After a merge, Conflict marks a place both sides changed: the node holds
  // mine, the note is the server's value.
  enum class CompareMark : unsigned char { None, Added, Changed, Removed, Conflict };
  void SetCompareMark(CompareMark mark, const CString& note) {
    m_compareMark = mark;
    if (note.IsEmpty())
      m_pCompareNote.reset();
    else
      m_pCompareNote = std::make_unique<CString>(note);
  }
  CompareMark GetCompareMark() const { return m_compareMark; }
  // A row drawn for a removed node: no part of the profile.
  bool IsRemovedRow() const { return m_compareMark == CompareMark::Removed; }
  CString GetCompareNote() const { return m_pCompareNote != nullptr ? *m_pCompareNote : CString(); }
  // The mark as one line of text, with its glyph: what is drawn and printed
  // beside the node and what screen readers hear.  Empty without a mark.
  CString CompareMarkText() const;

 protected:
  // Draws the comparison mark, if any, to the right of the node's box at
  // (x, y): colour for the eye, glyph and words for print and without colour.
  void DrawCompareMark(int x, int y, CDC* dc, float scale);
  // The icon size; the row pitch and link points follow it.
  void SetIconSize(int width, int height);
  // All four sizes at once (a node that takes another node's look).
  void SetSizes(int boxWidth, int iconWidth, int boxHeight, int iconHeight);

 private:
  int m_nIconWidth = 0;
  int m_nIconHeight = 0;
  CompareMark m_compareMark = CompareMark::None;
  // Only marked nodes carry a note: a large tree pays a pointer per node.
  std::unique_ptr<CString> m_pCompareNote;
};
