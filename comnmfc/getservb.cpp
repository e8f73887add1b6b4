#include "comnmfc/getservb.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <vector>

#include "comnmfc/formhost.h"
#include "platform/cdialog.h"
#include "platform/qtconvert.h"
#include "platform/stringtable.h"
#include "ui_dlg_24581.h"

namespace {

constexpr UINT IDD_SELECT_SERVER = 24581;

// The library's dialog: resource 24581 "Select Server".
class CServerListBox final : public CListChoiceDialog, public IGetServerBox {
 public:
  CServerListBox(UINT promptId, const CString* servers, CWnd* parent)
      : CListChoiceDialog(IDD_SELECT_SERVER, parent), m_nPromptId(promptId) {
    for (int i = 0; servers != nullptr && i < kMaxServerEntries && !servers[i].IsEmpty(); ++i)
      m_servers.push_back(servers[i]);
  }

  void SetServerSelected(UINT stringId) override { m_strPreselect = LoadStringById(stringId); }

  int DoModal() override { return CListChoiceDialog::DoModal(); }

  CString GetServerSelected() const override {
    return m_nChoice >= 0 && m_nChoice < static_cast<int>(m_servers.size()) ? m_servers[m_nChoice] : CString();
  }

 protected:
  void BuildDialog() override {
    SetUpTitledForm(*this, m_ui, IDD_SELECT_SERVER);
    m_ui.label_53253->setText(ToQString(LoadStringById(m_nPromptId)));
    std::vector<QString> texts;
    texts.reserve(m_servers.size());
    for (const CString& name : m_servers) texts.push_back(ToQString(name));
    BindList(m_ui.list_53254, m_ui.button_1, texts);
  }

  BOOL OnInitDialog() override {
    CDialog::OnInitDialog();
    int preselect = -1;
    if (!m_strPreselect.IsEmpty()) {
      const QString wanted = ToQString(m_strPreselect);
      for (int i = 0; i < static_cast<int>(m_servers.size()) && preselect < 0; ++i)
        if (m_servers[i] == m_strPreselect) preselect = i;
      for (int i = 0; i < static_cast<int>(m_servers.size()) && preselect < 0; ++i)
        if (ToQString(m_servers[i]).compare(wanted, Qt::CaseInsensitive) == 0) preselect = i;
    }
    StartList(preselect);
    return TRUE;
  }

 private:
  Ui::Dlg24581 m_ui;
  UINT m_nPromptId;
  std::vector<CString> m_servers;
  CString m_strPreselect;
};

}  // namespace

IGetServerBox::~IGetServerBox() = default;

IGetServerBox* IGetServerBox::Create(UINT promptId, const CString* servers, CWnd* parent) {
  return new CServerListBox(promptId, servers, parent);
}

CGetServerBox::CGetServerBox(UINT promptId, const CString* servers, CWnd* parent)
    : m_pServerBox(IGetServerBox::Create(promptId, servers, parent)) {}

CGetServerBox::~CGetServerBox() { delete m_pServerBox; }

void CGetServerBox::SetServerSelected(UINT stringId) { m_pServerBox->SetServerSelected(stringId); }

int CGetServerBox::DoModal() { return m_pServerBox->DoModal(); }

CString CGetServerBox::GetServerSelected() const { return m_pServerBox->GetServerSelected(); }
