// Expand All and Collapse All of the selected subtree, and the registration
// of the navigation commands (Find Previous's walk is with Find's).
#include "app/queltview.h"
#include "platform/cmdtarget.h"
#include "tree/treenode.h"

void CQueltView::AddNavigationCommands() {
  AddCommand(ID_VIEW_EXPANDALL, &CQueltView::OnViewExpandall);
  AddCommandUpdate(ID_VIEW_EXPANDALL, &CQueltView::OnUpdateViewExpandall);
  AddCommand(ID_VIEW_COLLAPSEALL, &CQueltView::OnViewCollapseall);
  AddCommandUpdate(ID_VIEW_COLLAPSEALL, &CQueltView::OnUpdateViewExpandall);
  AddCommand(ID_FIND_PREVIOUS, &CQueltView::OnEditFindprevious);
  AddCommandUpdate(ID_FIND_PREVIOUS, &CQueltView::OnUpdateEditFindprevious);
}

// The selection stays where it is, so it stays visible; the window follows
// it when the rows below it went and the scroll range shrank under it.
void CQueltView::OnViewExpandall() {
  if (m_pSelected == nullptr || m_pSelected->CountSubNodes() == 0) return;
  m_pSelected->SetExpandedAll(1);
  ScrollIntoView(m_pSelected);
  Redraw();
}

void CQueltView::OnViewCollapseall() {
  if (m_pSelected == nullptr || m_pSelected->CountSubNodes() == 0) return;
  m_pSelected->SetExpandedAll(0);
  ScrollIntoView(m_pSelected);
  Redraw();
}

void CQueltView::OnUpdateViewExpandall(CCmdUI* ui) {
  ui->Enable(m_pSelected != nullptr && m_pSelected->CountSubNodes() > 0);
}
