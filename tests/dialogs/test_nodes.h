// A data-element node for the dialog tests: its value is edited through the
// real integer dialog, and it counts how it was asked.
#pragma once

#include "common/ctstring.h"
#include "dialogs/editint.h"
#include "tree/denode.h"

class TestNode : public CDENode {
 public:
  explicit TestNode(int canEdit = 1) : m_canEdit(canEdit) {}

  long m_lValue = 0;
  int m_edits = 0;
  CWnd* m_pLastParent = nullptr;
  MultiAdminSession* m_pLastSession = nullptr;
  QV_String m_strLastServer;

  CString Type() override { return "CIntegerNode"; }
  int DrawNode(int, int, CDC*, float) override { return 1; }
  int CanEdit() override { return m_canEdit; }
  int EditNode(MultiAdminSession* session, const QV_String& serverName, CWnd* parent) override {
    ++m_edits;
    m_pLastParent = parent;
    m_pLastSession = session;
    m_strLastServer = serverName;
    CEditIntBox box(parent);
    box.m_lValue = m_lValue;
    if (box.DoModal() != IDOK) return 0;
    m_lValue = box.m_lValue;
    return 1;
  }

 private:
  int m_canEdit;
};
