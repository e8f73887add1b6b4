#include "comnmfc/retrieve.h"

#include <QListWidget>
#include <QPushButton>
#include <vector>

#include "comnmfc/formhost.h"
#include "platform/cdialog.h"
#include "platform/qtconvert.h"
#include "platform/stringtable.h"
#include "ui_dlg_24579.h"

namespace {

constexpr UINT IDD_RETRIEVE = 24579;

// The library's dialog: resource 24579 "Retrieve".
class CProfileListBox final : public CListChoiceDialog, public IRetrieveBox {
 public:
  CProfileListBox(const QV_String* entries, int32_t count, CWnd* parent) : CListChoiceDialog(IDD_RETRIEVE, parent) {
    if (entries == nullptr || count < 1) return;
    if (count > kMaxProfileEntries) count = kMaxProfileEntries;
    m_entries.assign(entries, entries + count);
  }

  int DoModal() override { return CListChoiceDialog::DoModal(); }

  QV_String GetProfileName() const override {
    const int32_t index = GetProfileIndex();
    return index >= 0 ? m_entries[static_cast<size_t>(index)] : QV_String();
  }

  int32_t GetProfileIndex() const override {
    return m_nChoice >= 0 && m_nChoice < static_cast<int>(m_entries.size()) ? m_nChoice : -1;
  }

 protected:
  void BuildDialog() override {
    SetUpTitledForm(*this, m_ui, IDD_RETRIEVE);
    std::vector<QString> texts;
    texts.reserve(m_entries.size());
    for (const QV_String& entry : m_entries) {
      const char* text = entry;
      texts.push_back(ToQString(text != nullptr ? text : ""));
    }
    BindList(m_ui.list_53248, m_ui.button_1, texts);
  }

  BOOL OnInitDialog() override {
    CDialog::OnInitDialog();
    StartList(-1);
    return TRUE;
  }

 private:
  Ui::Dlg24579 m_ui;
  std::vector<QV_String> m_entries;
};

}  // namespace

IRetrieveBox::~IRetrieveBox() = default;

IRetrieveBox* IRetrieveBox::Create(const QV_String* entries, int32_t count, CWnd* parent) {
  return new CProfileListBox(entries, count, parent);
}

CRetrieveBox::CRetrieveBox(const QV_String* entries, int32_t count, CWnd* parent)
    : m_pRetrieveBox(IRetrieveBox::Create(entries, count, parent)) {}

CRetrieveBox::~CRetrieveBox() { delete m_pRetrieveBox; }

int CRetrieveBox::DoModal() { return m_pRetrieveBox->DoModal(); }

QV_String CRetrieveBox::GetProfileName() const { return m_pRetrieveBox->GetProfileName(); }

int32_t CRetrieveBox::GetProfileIndex() const { return m_pRetrieveBox->GetProfileIndex(); }
