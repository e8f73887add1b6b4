// CSymbolNode: the node of a symbol, a 32-bit number that the server's
// symbol table maps to a name.  It keeps the number and the name, shows the
// name (or the number when no name is known), and takes either a name or a
// number when edited.  It is also the key of a key-value pair, which draws
// it in the pair's row.
#pragma once

#include "common/ctstring.h"
#include "tree/denode.h"

class CDIBitmap;

class CSymbolNode : public CDENode {
 public:
  CSymbolNode();
  ~CSymbolNode() override;

  int DrawNode(int x, int y, CDC* dc, float scale) override;
  CString Type() override;
  int EditNode(MultiAdminSession* session, const QV_String& serverName, CWnd* parent) override;
  CString SearchText() override;
  int CanContain(const CString& typeName) override;
  int CanEdit() override;
  int GetDE(QV_DataElement& element) override;
  int PutDE(const QV_DataElement& element, MultiAdminSession* session, const QV_String& serverName) override;

  unsigned long GetKey() const { return m_ulKey; }
  const QV_String& GetName() const { return m_strName; }

  // The display buffer holds 1024 bytes: a longer name is shown shortened.
  static constexpr int kDisplayBuffer = 1024;

  // A key or symbol typed as a number: the text must be the decimal form of
  // a 32-bit number exactly (no sign, no leading zeros, nothing after the
  // digits).  1 with the number in key, else 0 and key untouched.
  static int ReadKeyNumber(const char* text, unsigned long& key);
  // A symbol written "#number", as the data-element text writes one the
  // server has no name for: '#' and a decimal number or 0x and hexadecimal
  // digits, at most 32 bits, nothing else.  1 with the number in key, else 0
  // and key untouched.
  static int ReadSymbolReference(const char* text, unsigned long& key);
  // The key text rule of a value added to a set: empty is refused; a text
  // that starts with a digit must be a number as above; "#number" is that
  // symbol; any other text is a name the server must know.  1 with the key,
  // else 0.
  static int KeyFromText(const char* text, MultiAdminSession* session, const QV_String& serverName,
                         unsigned long& key);

 protected:
  CString DisplayText() const;

  unsigned long m_ulKey;  // the symbol number
  QV_String m_strName;    // the server's name for it, or the number in decimal
  CDIBitmap* m_pBitmap;   // from the icon store; not owned
};
