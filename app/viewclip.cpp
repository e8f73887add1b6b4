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

SymbolLookups ServerSymbolLookups(MultiAdminSession* session, const char* server, uint32_t* failure) {
  const QV_String name(server);
  const auto failed = [session, failure] {
    if (failure != nullptr) *failure = session != nullptr ? session->LastError() : 0;
    return false;
  };
  return {[session, name, failed](uint32_t symbol, std::string* text) {
            QV_String found;
            if (session == nullptr || !session->SymbolToName(name, symbol, &found)) return failed();
            const char* named = found;
            if (named == nullptr) return failed();
            text->assign(named);
            return true;
          },
          [session, name, failed](const char* text, uint32_t* symbol) {
            if (session == nullptr || !session->NameToSymbol(name, QV_String(text), symbol)) return failed();
            return true;
          }};
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
  SymbolLookups lookups = ServerSymbolLookups(AppSession(), m_strSymbolServer.GetString());
  const QV_Status status = DEtoA(&raw, &text, &TranslateSymbols, &lookups);
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
  SymbolLookups lookups = ServerSymbolLookups(AppSession(), m_strSymbolServer.GetString());
  const QV_Status status = AtoAnyDEn(text.GetString(), static_cast<size_t>(text.GetLength()), nullptr, &raw,
                                     &TranslateSymbols, &lookups);
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
