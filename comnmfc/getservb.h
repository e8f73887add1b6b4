// The server-selection dialog of the shared dialog library, and
// CGetServerBox, the editor's wrapper around it.  The dialog lists the known
// servers sorted, preselects one by a string-table id, and gives back the
// name the user confirmed.
#pragma once

#include "platform/cstring.h"
#include "platform/wintypes.h"

class CWnd;

// The most server names read from a list; the rest are not shown.
inline constexpr int kMaxServerEntries = 4096;

class IGetServerBox {
 public:
  // promptId: the string-table id of the prompt shown above the list.
  // servers: names up to (not including) the first empty one; null for
  // none.  The names are copied.  parent may be null.
  static IGetServerBox* Create(UINT promptId, const CString* servers, CWnd* parent);
  virtual ~IGetServerBox();

  // Preselects the entry whose name is the text of stringId (exact, else
  // without regard to case); without such an entry the first one is.
  virtual void SetServerSelected(UINT stringId) = 0;
  // 1 (IDOK) when the user confirmed a server, 2 (IDCANCEL) otherwise.
  virtual int DoModal() = 0;
  // The confirmed server's name exactly as given; empty before a
  // confirmed run.
  virtual CString GetServerSelected() const = 0;
};

class CGetServerBox {
 public:
  CGetServerBox(UINT promptId, const CString* servers, CWnd* parent);
  ~CGetServerBox();
  CGetServerBox(const CGetServerBox&) = delete;
  CGetServerBox& operator=(const CGetServerBox&) = delete;

  void SetServerSelected(UINT stringId);
  int DoModal();
  CString GetServerSelected() const;

 private:
  IGetServerBox* m_pServerBox;
};
