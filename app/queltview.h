// CQueltView: the window in which the profile is shown and edited.
//
// The view owns the profile's node tree (a key-value set node at the root,
// the profile's pairs below it), converts between the tree and the key-value
// set the document exchanges with the server (PutProfile, GetProfile), draws
// the tree at a chosen magnification on a light grey background, keeps one
// selected node and moves it with the mouse and the keyboard.  It tells the
// document whenever the tree has changed (DocumentModified).
//
// For the document and the application:
//  - PutProfile builds the new tree beside the old one and swaps only when
//    the build succeeded.  After a failure (the view has shown its message
//    and returns false) the previous tree, its selection and the symbol
//    server are exactly as before, so the caller may keep the document's
//    identity as it was.  It does not redraw: the caller's initial update or
//    redraw shows the new tree.
//  - The view takes the application's multi-server session at construction
//    from CQueltView::SetAppSession, which the application calls (with its
//    session) before it registers the document template.  Tests set their
//    own session the same way.
//  - Every key, paint and click costs about the visible rows plus the tree's
//    depth, whatever the profile's size.
#pragma once

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "app/cmdids.h"
#include "compare/diff.h"
#include "compare/merge.h"
#include "platform/cstring.h"
#include "platform/cview.h"
#include "platform/undohistory.h"
#include "platform/wintypes.h"
#include "s100/ctcontainers.h"
#include "s100/deif_translate.h"
#include "s100/qvstatus.h"

class CCmdUI;
class CDC;
class CDENode;
class CKVSetNode;
class CQueltDoc;
struct CPrintInfo;
class CTreeNode;
class MultiAdminSession;

class CQueltView : public CScrollView {
 public:
  // The margin round the tree, in logical units.
  static constexpr int kTreeMargin = 8;
  // The background colour of the view.
  static COLORREF BackgroundColour() { return RGB(192, 192, 192); }

  CQueltView();
  ~CQueltView() override;

  // The session each new view takes; null until the application sets it.
  static void SetAppSession(MultiAdminSession* session);
  static MultiAdminSession* AppSession();

  void OnPrepareDC(CDC* dc) override;
  void OnInitialUpdate() override;
  void OnDraw(CDC* dc) override;

  // Replaces the tree by one built from the set, translating symbols
  // against the server.  True on success; on failure the message is shown
  // and the previous tree stays.
  int PutProfile(const CString& server, CTkvs set);
  // Empties the set and fills it from the tree (the server is not used).
  int GetProfile(const CString& server, CTkvs set);
  // Marks the document modified and refreshes its title.
  void DocumentModified();
  CQueltDoc* GetDocument() const;

  // --- Printing: the tree at twice its size on a grid of page tiles, with
  // a header naming the profile and a page-number footer on every page.
  BOOL OnPreparePrinting(CPrintInfo* info) override;
  void OnBeginPrinting(CDC* dc, CPrintInfo* info) override;
  void OnPrint(CDC* dc, CPrintInfo* info) override;
  void OnEndPrinting(CDC* dc, CPrintInfo* info) override;
  // The page layout of the last print job, for tests.
  int32_t PageWidth() const { return m_nPageWidth; }
  int32_t PageHeight() const { return m_nPageHeight; }
  int32_t PagesAcross() const { return m_nPagesAcross; }
  int32_t PagesDown() const { return m_nPagesDown; }
  int32_t MarginX() const { return m_nMarginX; }
  int32_t MarginY() const { return m_nMarginY; }
  int32_t ClipSlackX() const { return m_nClipSlackX; }
  int32_t ClipSlackY() const { return m_nClipSlackY; }
  int32_t HeaderY() const { return m_nHeaderY; }
  int32_t FooterY() const { return m_nFooterY; }
  int32_t CentreX() const { return m_nCentreX; }

  // --- Messages.
  void OnLButtonDown(UINT flags, CPoint point) override;
  void OnLButtonDblClk(UINT flags, CPoint point) override;
  void OnKeyDown(UINT key, UINT repeatCount, UINT flags) override;
  // A client area that shrinks (a horizontal bar that appears once a wide
  // row has been drawn, say) keeps the selected row whole if it was.
  void OnSize(UINT type, int cx, int cy) override;
  BOOL OnEraseBkgnd(CDC* dc) override;
  // The context menu of the node under the point (or of the selection).
  void OnRButtonDown(UINT flags, CPoint point) override;

  // --- Commands.
  void OnViewZoom();

  // --- Editing: objects are created only inside the selected container,
  // which asks for the key or position and the value itself.
  // Whether the selected node may hold a node of the type.
  int CanAddNode(const CString& typeName);
  // Adds a new node under the selected node; whether the container took it
  // (the caller destroys a node that was not taken).
  int AddNodeToProfile(CDENode* node);
  // Whether the node, added under the selected node, keeps the profile
  // within the nesting that the text format and the servers accept; when
  // not, says so.
  int FitsNestingLimit(CDENode* node);
  void OnEditProperties();
  void OnEditDelete();
  void OnUpdateEditProperties(CCmdUI* ui);
  void OnUpdateEditDelete(CCmdUI* ui);
  void OnEditCreateobjectArray() { CreateObject(ID_ADD_ARRAY); }
  void OnEditCreateobjectBoolean() { CreateObject(ID_ADD_BOOLEAN); }
  void OnEditCreateobjectFloat() { CreateObject(ID_ADD_FLOAT); }
  void OnEditCreateobjectFloatrange() { CreateObject(ID_ADD_FRANGE); }
  void OnEditCreateobjectInteger() { CreateObject(ID_ADD_INTEGER); }
  void OnEditCreateobjectIRange() { CreateObject(ID_ADD_IRANGE); }
  void OnEditCreateobjectKeyvalueset() { CreateObject(ID_ADD_KVSET); }
  void OnEditCreateobjectString() { CreateObject(ID_ADD_STRING); }
  void OnEditCreateobjectSymbolorkey() { CreateObject(ID_ADD_SYMBOL); }
  void OnEditCreateobjectUnsignedinteger() { CreateObject(ID_ADD_UINT); }
  void OnUpdateEditCreateobjectArray(CCmdUI* ui) { UpdateCreateObject(ui, ID_ADD_ARRAY); }
  void OnUpdateEditCreateobjectBoolean(CCmdUI* ui) { UpdateCreateObject(ui, ID_ADD_BOOLEAN); }
  void OnUpdateEditCreateobjectFloat(CCmdUI* ui) { UpdateCreateObject(ui, ID_ADD_FLOAT); }
  void OnUpdateEditCreateobjectFloatrange(CCmdUI* ui) { UpdateCreateObject(ui, ID_ADD_FRANGE); }
  void OnUpdateEditCreateobjectInteger(CCmdUI* ui) { UpdateCreateObject(ui, ID_ADD_INTEGER); }
  void OnUpdateEditCreateobjectIRange(CCmdUI* ui) { UpdateCreateObject(ui, ID_ADD_IRANGE); }
  void OnUpdateEditCreateobjectKeyvalueset(CCmdUI* ui) { UpdateCreateObject(ui, ID_ADD_KVSET); }
  void OnUpdateEditCreateobjectString(CCmdUI* ui) { UpdateCreateObject(ui, ID_ADD_STRING); }
  void OnUpdateEditCreateobjectSymbolorkey(CCmdUI* ui) { UpdateCreateObject(ui, ID_ADD_SYMBOL); }
  void OnUpdateEditCreateobjectUnsignedinteger(CCmdUI* ui) { UpdateCreateObject(ui, ID_ADD_UINT); }

  // --- Clipboard: sub-trees travel as data-element text, symbols by name.
  // Puts the selected node's element on the clipboard; whether it did.
  int CopyToClipboard();
  void OnEditCopy() { CopyToClipboard(); }
  void OnEditCut();
  void OnEditPaste();
  void OnUpdateEditCopy(CCmdUI* ui);
  void OnUpdateEditCut(CCmdUI* ui);
  void OnUpdateEditPaste(CCmdUI* ui);

  // --- Undo and redo of every change to the tree.  The document is
  // modified exactly when the history is away from the stored state (and
  // after a cancelled create, which marks it modified).
  void OnEditUndo();
  void OnEditRedo();
  void OnUpdateEditUndo(CCmdUI* ui);
  void OnUpdateEditRedo(CCmdUI* ui);
  CUndoHistory& History() { return m_history; }
  // Records a change already made to the tree and marks the document.
  void RecordChange(std::unique_ptr<CUndoStep> step);
  // The present tree is the one stored on the server.
  void MarkStored();
  // No state of the history is stored under the document's identity (an
  // imported profile, or one stored while it was being changed): the
  // document stays modified whatever Undo and Redo do, until stored.
  void MarkNeverStored();
  // Selects the node, opening the branches above it, and scrolls it in.
  void ShowChangedNode(CTreeNode* node);
  // Replaces the tree by one built from the set on the view's server,
  // keeping the history; false (with the message shown) on failure.
  int ReplaceTree(CTkvs set);
  // Replaces the tree by an old revision's content as an undoable change.
  int OpenRevisionContent(CTkvs set);

  // --- Find: by a piece of a node's text, in display order, wrapping.
  void OnEditFind();
  void OnEditFindnext();
  void OnUpdateEditFindnext(CCmdUI* ui);
  // The same walk backwards; enabled exactly when Find Next is.
  void OnEditFindprevious();
  void OnUpdateEditFindprevious(CCmdUI* ui);
  const CString& GetFindText() const { return m_strFindText; }

  // --- Expand All, Collapse All: the selected node and everything below
  // it; enabled when the selected node has children.
  void OnViewExpandall();
  void OnViewCollapseall();
  void OnUpdateViewExpandall(CCmdUI* ui);

  // --- Comparison with another version of the profile (app/viewcompare.cpp).
  // The differences from the other side to the open profile are marked on
  // the tree's nodes and kept current through every change; the marks are
  // drawing only and never part of the profile.
  // Starts comparing with other (a key-value set), named in the status bar;
  // false when it cannot be read.  Its symbols are numbered as the view's
  // server numbers them, or else as otherServer does: keys and symbol values
  // are then matched by name, and its values cannot be taken over.
  int StartComparison(const QV_DataElement& other, const CString& otherName,
                      const CString& otherServer = CString());
  // Back to the plain view: marks gone, the tree as the user left it.
  void EndComparison();
  bool IsComparing() const { return m_pCompare != nullptr; }
  // The marked nodes in tree order, and their count.
  const std::vector<CTreeNode*>& MarkedNodes() const;
  // What the status bar shows of the comparison ("Difference i of N").
  const CString& CompareStatus() const { return m_strCompareStatus; }
  void OnCompareNext() { StepDifference(false); }
  void OnComparePrevious() { StepDifference(true); }
  // Makes the selected marked node's value the other side's, as one step.
  void OnCompareTakeOther();
  void OnUpdateCompareMarked(CCmdUI* ui);
  void OnUpdateComparing(CCmdUI* ui);
  // While one lives, the rows drawn for removed nodes are out of the tree,
  // so that an edit, undo or redo sees the profile's nodes alone (their
  // positions are the profile's); they come back, placed afresh, when the
  // outermost one ends.  Every command that changes the tree holds one.
  class RemovedRowsAside {
   public:
    explicit RemovedRowsAside(CQueltView* view);
    ~RemovedRowsAside();
    RemovedRowsAside(const RemovedRowsAside&) = delete;
    RemovedRowsAside& operator=(const RemovedRowsAside&) = delete;

   private:
    CQueltView* m_pView;
  };

  // ---- Conflicts left by a merge with the server's changes.
  // The content replaces the tree as one undoable step named by labelId.
  int ReplaceProfileAsStep(CTkvs set, UINT labelId);
  // Marks the places both sides changed (the tree holds mine there) as
  // conflicts, with theirs' value beside each: Take Other Value takes it,
  // Keep My Value keeps mine.  F8 visits them.
  int StartConflicts(const QV_DataElement& theirs, const std::vector<compare::Conflict>& conflicts,
                     const CString& otherName);
  // How many conflicts are still to be decided (0 without any).
  int UnresolvedConflicts() const;
  void OnCompareKeepMine();
  void OnUpdateCompareConflict(CCmdUI* ui);
  void OnUpdateCompareEnd(CCmdUI* ui);

  // --- For the editing commands, printing and tests.
  CKVSetNode* GetRoot() const { return m_pRoot; }
  CTreeNode* GetSelected() const { return m_pSelected; }
  float GetZoom() const { return m_fZoom; }
  // The remembered zoom of an earlier run (0.1 to 10), before the first paint.
  void SetZoom(float zoom) { m_fZoom = zoom; }
  const CString& GetSymbolServer() const { return m_strSymbolServer; }
  MultiAdminSession* GetSession() const { return m_pSession; }
  // Moves the selection to node (a visible node of the tree, or null).
  void SelectNode(CTreeNode* node);

 protected:
  // Printing always draws at twice the size.
  static constexpr float kPrintScale = 2.0f;
  // The icons' palette entry that shows the background (screen and paper).
  static constexpr int kIconBackgroundEntry = 7;

  // A logical length at a scale, truncated towards zero and saturated.
  static int Trunc(float value);
  // The layout fields from the device's resolution and size.
  void ComputePageLayout(CDC* dc);
  // The hit-test of a client point through the scroll position and zoom.
  CTreeNode* HitTest(CPoint point, int& onIcon);
  // Invalidate, erase and update at once.
  void Redraw();
  // The scroll range from the tree's extent at the zoom.
  void UpdateScrollSizes();
  // The selected node's box with the tree placed at (4, 4); false when it
  // is hidden.
  bool SelectedDims(CRect& rect);
  void RevealUpwards();
  void RevealDownwards();
  void PageUp();
  void PageDown();
  // The first row whose top, with the tree at (4, 4) and zoomed, is at or
  // below y; the last row when there is none.
  int FirstRowAtOrBelow(int y);
  // The top of a row with the tree at (4, 4).
  int RowTop(int row);
  // The selected node as a data-element node (every node of the tree is
  // one), or null.
  CDENode* SelectedDENode() const;
  // The create-object command with the id, and its enable state.
  void CreateObject(UINT id);
  void UpdateCreateObject(CCmdUI* ui, UINT id);
  // Registers the editing, clipboard and find commands.
  void AddEditingCommands();
  // Builds a tree from the set beside the present one and swaps them.
  int BuildTree(const CString& server, CTkvs set);
  // Edits a node's value through its dialog, as an undoable change.  1 when
  // the tree changed; 0 when the dialog was cancelled or confirmed without
  // a change (then nothing is recorded and nothing is to be marked).
  int EditWithUndo(CDENode* node);
  // Records the sub-tree just added under container as the change name.
  void RecordInsert(CTreeNode* container, CTreeNode* node, const CString& name);
  // Deletes the selected node as the change name (Delete or Cut).
  void DeleteSelected(const CString& name);
  // After undo or redo: the modified flag follows the history.
  void HistoryMoved();
  // Registers Expand All, Collapse All and Find Previous.
  void AddNavigationCommands();
  // Find Next (or Previous): the search from the selection and its scroll.
  void FindFromSelection(bool backwards);
  // Scrolls, vertically only, so that the node's box with a small margin
  // shows: its bottom at the window's bottom when below, its top at the top
  // when above.  Nothing for a hidden node.
  void ScrollIntoView(CTreeNode* node);

  CKVSetNode* m_pRoot;        // owned
  CTreeNode* m_pSelected;     // not owned
  float m_fZoom;
  CString m_strSymbolServer;
  MultiAdminSession* m_pSession;  // not owned
  CString m_strFindText;
  // The page layout kept between the printing steps, in printer units.
  int32_t m_nPageWidth;
  int32_t m_nPageHeight;
  int32_t m_nPagesAcross;
  int32_t m_nPagesDown;
  int32_t m_nMarginX;
  int32_t m_nMarginY;
  int32_t m_nClipSlackX;
  int32_t m_nClipSlackY;
  int32_t m_nHeaderY;
  int32_t m_nFooterY;
  int32_t m_nCentreX;
  uint32_t m_nNewSymbolValue;
  int m_nClientHeight = 0;  // the client area's height last told by OnSize
  CUndoHistory m_history;

  // The comparison in progress.
  struct Comparison {
    QV_DataElement other;
    CString otherName;
    CString otherServer;  // empty: numbered as the view's server
    std::vector<compare::Difference> diffs;  // other -> open profile
    std::vector<CTreeNode*> marked;           // tree order
    std::unordered_map<const CTreeNode*, std::vector<size_t>> diffsOf;
    bool removedRowsShown = false;  // the removed rows are in the tree
    // After a merge only the places both sides changed are marked, each
    // until the tree equals theirs there or the user keeps mine.
    bool conflicts = false;
    std::vector<std::vector<compare::PathStep>> conflictPaths;
    std::vector<CString> conflictNotes;  // theirs' value at each
    std::vector<char> kept;              // the user kept mine
    std::unordered_map<const CTreeNode*, std::vector<size_t>> conflictsOf;
  };
  // Links a row for each removed node at its old place (not while rows are
  // held aside) and lists the marked nodes in tree order.
  void PlaceRemovedRows();
  // Unlinks and destroys the removed rows; a selected one passes the
  // selection to the row above it.
  void RemoveRemovedRows();
  void ListMarkedNodes();
  int m_nRowsAside = 0;
  // Marks the conflicts still open from the differences just computed.
  void MarkConflicts();
  // Marks the tree afresh from the open profile; after every change.
  void RecomputeComparison();
  // Makes comparison the view's own and shows its first screen: branches
  // without a difference closed, those leading to one open, the first
  // difference selected (the root, at the top, when there is none).
  // FALSE when nothing is left to show.
  int InstallComparison(std::unique_ptr<Comparison> comparison);
  // Clears every node's mark.
  void ClearMarks();
  void StepDifference(bool backwards);
  // Shows "Difference i of N" for the selection (or the count alone).
  void ShowCompareStatus();
  void AddCompareCommands();
  // A server's names of symbols, through the session.
  compare::SymbolNamer NamerOf(const CString& server) const;
  std::unique_ptr<Comparison> m_pCompare;
  CString m_strCompareStatus;
};

// The look-ups of the data-element text (clipboard, files, moving a
// profile between servers) on the table of the server named `server`,
// asked through `session`, the first translation loading the table.  After
// a failed look-up *failure (when given) holds the session's message id.
SymbolLookups ServerSymbolLookups(MultiAdminSession* session, const char* server, uint32_t* failure = nullptr);
