// CStringNode: the node of a text value, shown between double
// quotes.  The row shows at most kMaxShownChars characters of the text;
// the value itself is kept whole.
#pragma once

#include "common/ctstring.h"
#include "tree/denode.h"

class CDIBitmap;

class CStringNode : public CDENode {
 public:
  CStringNode();
  ~CStringNode() override;

  int DrawNode(int x, int y, CDC* dc, float scale) override;
  CString Type() override;
  int EditNode(MultiAdminSession* session, const QV_String& serverName, CWnd* parent) override;
  CString SearchText() override;
  int GetDE(QV_DataElement& element) override;
  int PutDE(const QV_DataElement& element, MultiAdminSession* session, const QV_String& serverName) override;

  // The display buffer holds 2048 bytes: the text, two quotes, the end.
  static constexpr int kDisplayBuffer = 2048;
  static constexpr int kMaxShownChars = kDisplayBuffer - 3;

  const QV_String& GetValue() const { return m_strValue; }
  void SetValue(const char* text) { m_strValue = text; }

 protected:
  // The text the row shows and the find command matches.
  CString DisplayText() const;

  QV_String m_strValue;
  CDIBitmap* m_pBitmap;  // from the icon store; not owned
};
