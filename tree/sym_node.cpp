#include "tree/sym_node.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/multises.h"
#include "dialogs/editsymb.h"
#include "dialogs/errorbox.h"
#include "model/dataelt.h"
#include "resources/stringids.h"
#include "tree/bmstore.h"
#include "tree/nodetext.h"

namespace {
bool StartsWithDigit(const char* text) { return text && *text >= '0' && *text <= '9'; }

// The name the server gives the symbol, or the number in decimal.
QV_String NameOf(unsigned long key, MultiAdminSession* session, const QV_String& serverName) {
  QV_String name;
  if (session && session->SymbolToName(serverName, static_cast<uint32_t>(key), &name)) return name;
  char number[16];
  std::snprintf(number, sizeof number, "%lu", key);
  return QV_String(number);
}
}  // namespace

CSymbolNode::CSymbolNode() : m_ulKey(0), m_pBitmap(CBitmapStore::GetKeyBM()) {
  if (m_pBitmap) {
    SetIconSize(m_pBitmap->Width(), m_pBitmap->Height());
    SetSize(m_pBitmap->Width(), m_pBitmap->Height());
  }
}

CSymbolNode::~CSymbolNode() = default;

int CSymbolNode::ReadKeyNumber(const char* text, unsigned long& key) {
  if (!StartsWithDigit(text)) return 0;
  // The text must come back unchanged from the number read: that refuses
  // leading zeros and anything after the digits.  A number beyond 32 bits
  // cannot be a symbol, whatever it writes back as.
  errno = 0;
  char* end = nullptr;
  const unsigned long long number = std::strtoull(text, &end, 10);
  if (errno == ERANGE || number > 0xFFFFFFFFull) return 0;
  char written[24];
  std::snprintf(written, sizeof written, "%llu", number);
  if (std::strlen(written) != std::strlen(text)) return 0;
  key = static_cast<unsigned long>(number);
  return 1;
}

int CSymbolNode::ReadSymbolReference(const char* text, unsigned long& key) {
  if (!text || text[0] != '#') return 0;
  const char* p = text + 1;
  int base = 10;
  if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
    base = 16;
    p += 2;
  }
  unsigned long long number = 0;
  const char* const digits = p;
  for (; *p != '\0'; ++p) {
    int digit = -1;
    if (*p >= '0' && *p <= '9') digit = *p - '0';
    else if (base == 16 && *p >= 'a' && *p <= 'f') digit = *p - 'a' + 10;
    else if (base == 16 && *p >= 'A' && *p <= 'F') digit = *p - 'A' + 10;
    if (digit < 0) return 0;
    number = number * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
    // Stop before the number can wrap: anything past 32 bits is refused.
    if (number > 0xFFFFFFFFull) return 0;
  }
  if (p == digits) return 0;
  key = static_cast<unsigned long>(number);
  return 1;
}

int CSymbolNode::KeyFromText(const char* text, MultiAdminSession* session, const QV_String& serverName,
                             unsigned long& key) {
  if (!text || !*text) return 0;
  if (StartsWithDigit(text)) return ReadKeyNumber(text, key);
  // A name may itself begin with '#': only a text that is not a "#number"
  // goes to the server.
  if (ReadSymbolReference(text, key)) return 1;
  uint32_t symbol = 0;
  if (!session || !session->NameToSymbol(serverName, QV_String(text), &symbol)) return 0;
  key = symbol;
  return 1;
}

CString CSymbolNode::DisplayText() const {
  if (m_strName.Length() == 0) {
    CString text;
    text.Format("%lu", m_ulKey);
    return text;
  }
  return FitDisplayText(m_strName, kDisplayBuffer);
}

int CSymbolNode::DrawNode(int x, int y, CDC* dc, float scale) {
  if (!m_pBitmap) return 0;
  SetWidth(DrawIconAndText(dc, m_pBitmap, x, y, GetIconWidth(), GetIconHeight(), DisplayText(), scale));
  return DrawSelectionBar(x, y, dc, scale);
}

CString CSymbolNode::Type() { return "CSymbolNode"; }

int CSymbolNode::CanContain(const CString&) { return 0; }

int CSymbolNode::CanEdit() { return 1; }

// Asks for a name or a number until the entry is valid or the user cancels;
// a refused entry comes back in the dialog for correction.
int CSymbolNode::EditNode(MultiAdminSession* session, const QV_String& serverName, CWnd* parent) {
  CEditSymbolBox dialog(nullptr);
  dialog.m_strSymbol = static_cast<const char*>(m_strName);
  for (;;) {
    if (dialog.DoModal() != IDOK) return 0;
    const CString text = dialog.m_strSymbol;
    if (text.IsEmpty()) {
      CErrorBox(IDS_INVALID_KEY, parent).DoModal();
      continue;
    }
    if (StartsWithDigit(text)) {
      unsigned long number = 0;
      if (!ReadKeyNumber(text, number)) {
        CErrorBox(IDS_INVALID_KEY, parent).DoModal();
        continue;
      }
      m_ulKey = number;
      m_strName = text.GetString();
      return 1;
    }
    unsigned long reference = 0;
    if (ReadSymbolReference(text, reference)) {
      // "#number" names the symbol by its number: the node shows its name
      // when the server has one, as it would after loading.
      m_ulKey = reference;
      m_strName = NameOf(reference, session, serverName);
      return 1;
    }
    uint32_t symbol = 0;
    if (!session || !session->NameToSymbol(serverName, QV_String(text.GetString()), &symbol)) {
      CErrorBox(IDS_INVALID_KEY, parent).DoModal();
      continue;
    }
    m_strName = text.GetString();
    m_ulKey = symbol;
    return 1;
  }
}

CString CSymbolNode::SearchText() { return DisplayText(); }

int CSymbolNode::GetDE(QV_DataElement& element) {
  element.SetToSymbol(static_cast<uint32_t>(m_ulKey));
  return 1;
}

int CSymbolNode::PutDE(const QV_DataElement& element, MultiAdminSession* session, const QV_String& serverName) {
  if (element.Type() != CT_TYPE_SYMBOL) return 0;
  m_ulKey = element.Symbol();
  m_strName = NameOf(m_ulKey, session, serverName);
  return 1;
}
