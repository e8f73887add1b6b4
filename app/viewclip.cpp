// Cut, copy and paste of sub-trees as data-element text.  The text names
// symbols and keys, so a sub-tree copied from a profile on one server takes
// the values that the other server gives the same names.
#include <cstdlib>
#include <cstring>

#include "app/queltview.h"
#include "common/ctstring.h"
#include "common/multises.h"
#include "dialogs/errorbox.h"
#include "model/dataelt.h"
#include "platform/clipboard.h"
#include "platform/cmdtarget.h"
#include "platform/stringtable.h"
#include "platform/waitcursor.h"
#include "resources/stringids.h"
#include "s100/cterrors.h"
#include "s100/deif.h"
#include "tree/denode.h"

namespace {

// The number of the clipboard format "Velcor DEIF"; the same each time.
UINT DeifFormat() { return RegisterClipboardFormatA(LoadStringById(IDS_CLIPBOARD_FORMAT).GetString()); }

}  // namespace

QV_Status GenrTranslator(uint32_t* symbol, char** text, int32_t direction, void* context) {
  MultiAdminSession* session = CQueltView::AppSession();
  if (session == nullptr || symbol == nullptr || text == nullptr || context == nullptr)
    return QV_CreateStatus(QV_STATE_FAILURE, ct::kErrTranslator, 0);
  const QV_String server(static_cast<const char*>(context));
  if (direction != 0) {
    QV_String name;
    if (!session->SymbolToName(server, *symbol, &name))
      return QV_CreateStatus(QV_STATE_FAILURE, session->LastError(), 0);
    const char* named = name;
    const size_t length = std::strlen(named);
    char* copy = static_cast<char*>(std::malloc(length + 1));
    if (copy == nullptr) return QV_CreateStatus(QV_STATE_FAILURE, ct::kErrTranslator, 0);
    std::memcpy(copy, named, length + 1);
    *text = copy;
    return QV_OK;
  }
  if (*text == nullptr) return QV_CreateStatus(QV_STATE_FAILURE, ct::kErrTranslator, 0);
  if (!session->NameToSymbol(server, QV_String(*text), symbol))
    return QV_CreateStatus(QV_STATE_FAILURE, session->LastError(), 0);
  return QV_OK;
}

int CQueltView::CopyToClipboard() {
  CDENode* selected = SelectedDENode();
  if (selected == nullptr) {
    CErrorBox(IDS_SELECT_A_NODE, this).DoModal();
    return FALSE;
  }
  CWaitCursor wait;
  QV_DataElement element;
  if (selected->GetDE(element) == 0) {
    wait.Release();
    CErrorBox(IDS_NOT_CONVERTED, this).DoModal();
    return FALSE;
  }
  const QV_RawDataElement raw = ToRawDataElement(element);
  char* text = nullptr;
  const QV_Status status =
      DEtoA(&raw, &text, &GenrTranslator, const_cast<char*>(m_strSymbolServer.GetString()));
  if (status != QV_OK) {
    std::free(text);
    wait.Release();
    CErrorBox(IDS_NOT_CONVERTED, this).DoModal();
    return FALSE;
  }
  if (text == nullptr) {
    wait.Release();
    CErrorBox(IDS_NO_MEMORY, this).DoModal();
    return FALSE;
  }
  const bool put = ClipboardSetText(DeifFormat(), CString(text));
  std::free(text);
  if (!put) {
    wait.Release();
    CErrorBox(IDS_CLIPBOARD_ERROR, this).DoModal();
    return FALSE;
  }
  return TRUE;
}

void CQueltView::OnEditCut() {
  CWaitCursor wait;
  // A failed copy leaves the node where it is.
  if (CopyToClipboard()) DeleteSelected(LoadStringById(IDS_CHANGE_CUT));
}

void CQueltView::OnEditPaste() {
  const UINT format = DeifFormat();
  if (!ClipboardHasFormat(format)) {
    CErrorBox(IDS_NO_MEMORY, this).DoModal();
    return;
  }
  CString text;
  // More text than the reader takes is refused like text it cannot read.
  if (!ClipboardGetText(format, &text, kDeifMaxTextBytes)) {
    CErrorBox(IDS_TEXT_NOT_READ, this).DoModal();
    return;
  }
  CWaitCursor wait;
  QV_RawDataElement raw{};
  const QV_Status status = AtoAnyDEn(text.GetString(), static_cast<size_t>(text.GetLength()), nullptr, &raw,
                                     &GenrTranslator, const_cast<char*>(m_strSymbolServer.GetString()));
  if (status.state != QV_STATE_SUCCESS) {
    QV_DestroyDataElement(&raw);
    wait.Release();
    CErrorBox(IDS_TEXT_NOT_READ, this).DoModal();
    return;
  }
  text.Empty();

  QV_DataElement element;
  const bool known = FromRawDataElement(raw, &element);
  QV_DestroyDataElement(&raw);
  CDENode* node = known ? CDENode::CreateDENode(element, m_pSession, QV_String(m_strSymbolServer.GetString()))
                        : nullptr;
  if (node == nullptr) {
    wait.Release();
    CErrorBox(IDS_NOT_UNDERSTOOD, this).DoModal();
    return;
  }
  if (!CanAddNode(node->Type())) {
    delete node;
    wait.Release();
    CErrorBox(IDS_CANNOT_PASTE_HERE, this).DoModal();
    return;
  }
  // A profile nested deeper than a store takes could never be stored.
  wait.Release();
  if (!FitsNestingLimit(node)) {
    delete node;
    return;
  }
  // The container may ask for a key or a position: no busy cursor then.
  RemovedRowsAside aside(this);
  CTreeNode* container = m_pSelected;
  if (AddNodeToProfile(node))
    RecordInsert(container, node, LoadStringById(IDS_CHANGE_PASTE));
  else
    delete node;
  Redraw();
  DocumentModified();
}

// A row drawn for a removed node has no value to copy.
void CQueltView::OnUpdateEditCopy(CCmdUI* ui) {
  CDENode* selected = SelectedDENode();
  ui->Enable(m_pSelected != nullptr && (selected == nullptr || !selected->IsRemovedRow()));
}

void CQueltView::OnUpdateEditCut(CCmdUI* ui) {
  CDENode* selected = SelectedDENode();
  ui->Enable(selected != nullptr && selected->CanDelete(nullptr) != 0);
}

void CQueltView::OnUpdateEditPaste(CCmdUI* ui) {
  const UINT format = DeifFormat();
  ui->Enable(m_pSelected != nullptr && ClipboardHasFormat(format));
}
