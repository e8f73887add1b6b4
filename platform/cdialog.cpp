#include "platform/cdialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QVBoxLayout>
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <limits>

#include "platform/modalhost.h"
#include "platform/qtconvert.h"

// The dialog widget: routes Escape, the close button and accept() to the
// owner's handlers.
class CDialog::Widget : public QDialog {
 public:
  explicit Widget(CDialog* owner) : m_owner(owner) {}
  void accept() override { m_owner->OnOK(); }
  void reject() override { m_owner->OnCancel(); }

 private:
  CDialog* m_owner;
};

namespace {

// --- Number parsing for data exchange ---------------------------------------

// Parses optional blanks, an optional sign, at least one digit and optional
// blanks.  False for anything else or a magnitude beyond 2^63.
bool ParseDecimal(const CString& text, bool* negative, uint64_t* magnitude) {
  const char* p = text.GetString();
  while (*p == ' ' || *p == '\t') ++p;
  *negative = false;
  if (*p == '+' || *p == '-') {
    *negative = *p == '-';
    ++p;
  }
  if (!std::isdigit(static_cast<unsigned char>(*p))) return false;
  uint64_t v = 0;
  for (; std::isdigit(static_cast<unsigned char>(*p)); ++p) {
    v = v * 10 + static_cast<uint64_t>(*p - '0');
    if (v > (uint64_t{1} << 63)) return false;
  }
  while (*p == ' ' || *p == '\t') ++p;
  if (*p != '\0') return false;
  *magnitude = v;
  return true;
}

bool ParseSigned32(const CString& text, long long* out) {
  bool negative = false;
  uint64_t m = 0;
  if (!ParseDecimal(text, &negative, &m)) return false;
  const long long v = negative ? -static_cast<long long>(m) : static_cast<long long>(m);
  if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) return false;
  *out = v;
  return true;
}

bool ParseUnsigned32(const CString& text, unsigned long long* out) {
  bool negative = false;
  uint64_t m = 0;
  if (!ParseDecimal(text, &negative, &m)) return false;
  if ((negative && m != 0) || m > std::numeric_limits<uint32_t>::max()) return false;
  *out = m;
  return true;
}

// Characters, not bytes, of a text as it is shown.
int CharacterCount(const CString& text) {
  const QString shown = ToQString(text);
  int n = 0;
  for (qsizetype i = 0; i < shown.size(); ++i)
    if (!shown.at(i).isLowSurrogate()) ++n;
  return n;
}

void Prompt(CDataExchange* dx, UINT id, const CString& text) {
  QWidget* owner = dx->m_pDlgWnd != nullptr ? dx->m_pDlgWnd->GetDialog() : nullptr;
  MessageBoxText(id, text, MB_OK | MB_ICONEXCLAMATION, owner);
}

CString ControlText(QWidget* control) {
  CWnd handle(control);
  return handle.GetWindowText();
}

void SetControlText(QWidget* control, const CString& text) {
  // An edit would cut a text beyond its length limit; show it whole, so
  // that nothing is lost unseen (DDV_MaxChars still refuses it on OK).
  if (auto* edit = qobject_cast<QLineEdit*>(control)) {
    const qsizetype length = ToQString(text).size();
    if (length > edit->maxLength()) edit->setMaxLength(static_cast<int>(std::min<qsizetype>(length, INT32_MAX)));
  }
  CWnd handle(control);
  handle.SetWindowText(text);
}

// Shows *value in the control (printed with format), or reads the control's
// text back with parse; a text parse refuses is refused with promptId and
// the range [minValue, maxValue].
template <typename T>
void ExchangeNumber(CDataExchange* dx, int id, T* value, const char* format, bool (*parse)(const CString&, T*),
                    UINT promptId, long long minValue, long long maxValue) {
  QWidget* control = dx->PrepareCtrl(id);
  if (control == nullptr) return;
  if (!dx->m_bSaveAndValidate) {
    CString text;
    text.Format(format, *value);
    SetControlText(control, text);
    return;
  }
  T parsed = 0;
  if (!parse(ControlText(control), &parsed)) {
    dx->RefuseNumber(promptId, minValue, maxValue);
    return;
  }
  *value = parsed;
}

void ExchangeSigned(CDataExchange* dx, int id, long long* value) {
  ExchangeNumber(dx, id, value, "%lld", &ParseSigned32, AFX_IDP_PARSE_INT, std::numeric_limits<int32_t>::min(),
                 std::numeric_limits<int32_t>::max());
}

void ExchangeUnsigned(CDataExchange* dx, int id, unsigned long long* value) {
  ExchangeNumber(dx, id, value, "%llu", &ParseUnsigned32, AFX_IDP_PARSE_UINT, 0,
                 std::numeric_limits<uint32_t>::max());
}

void CheckRange(CDataExchange* dx, long long value, long long minValue, long long maxValue) {
  // A text that was no number at all is refused with this range named.
  if (dx->NarrowRefusal(minValue, maxValue)) return;
  if (dx->Failed() || !dx->m_bSaveAndValidate) return;
  if (value >= minValue && value <= maxValue) return;
  dx->RefuseNumber(AFX_IDP_PARSE_INT_RANGE, minValue, maxValue);
}

}  // namespace

// --- CDataExchange ------------------------------------------------------------

QWidget* CDataExchange::PrepareCtrl(int id) {
  if (m_failed) {
    // A later control's range must not be named for the refused one.
    m_narrowable = false;
    return nullptr;
  }
  QWidget* control = m_pDlgWnd != nullptr ? m_pDlgWnd->GetControl(id) : nullptr;
  if (control == nullptr) {
    // A member bound to a control that does not exist is a fault in the
    // dialog; refuse rather than lose the value.
    m_failed = true;
    return nullptr;
  }
  m_last = control;
  return control;
}

void CDataExchange::RefuseNumber(UINT promptId, long long minValue, long long maxValue) {
  if (!m_refused) {
    m_refused = true;
    m_refusal.promptId = promptId;
    m_refusal.control = m_last;
    m_refusal.minValue = minValue;
    m_refusal.maxValue = maxValue;
    m_narrowable = true;
  }
  Fail();
}

bool CDataExchange::NarrowRefusal(long long minValue, long long maxValue) {
  if (!m_narrowable || m_refusal.promptId == 0 || m_refusal.control != m_last) return false;
  m_refusal.minValue = minValue;
  m_refusal.maxValue = maxValue;
  return true;
}

void CDataExchange::ShowRefusal() {
  if (!m_refused || m_refusal.promptId == 0) return;
  CString text;
  text.Format("Enter a whole number between %lld and %lld.", m_refusal.minValue, m_refusal.maxValue);
  const UINT id = m_refusal.promptId;
  m_refusal.promptId = 0;  // shown once
  Prompt(this, id, text);
}

CDataExchange::~CDataExchange() { ShowRefusal(); }

void CDataExchange::Fail() {
  m_failed = true;
  if (m_last == nullptr) return;
  m_last->setFocus(Qt::OtherFocusReason);
  if (auto* edit = qobject_cast<QLineEdit*>(m_last)) edit->selectAll();
}

// --- Exchange functions ---------------------------------------------------------

void DDX_Text(CDataExchange* dx, int id, CString& value) {
  if (dx == nullptr) return;
  QWidget* control = dx->PrepareCtrl(id);
  if (control == nullptr) return;
  if (!dx->m_bSaveAndValidate) {
    SetControlText(control, value);
    return;
  }
  CString bytes;
  if (!CWnd(control).GetWindowTextBytes(&bytes)) {
    // Storing it otherwise would change the other characters' bytes, or
    // lose the character.
    ShowErrorMessage(IDS_TEXT_NOT_ENCODABLE, dx->m_pDlgWnd);
    dx->Fail();
    return;
  }
  value = bytes;
}

void DDX_Text(CDataExchange* dx, int id, int& value) {
  if (dx == nullptr) return;
  long long v = value;
  ExchangeSigned(dx, id, &v);
  value = static_cast<int>(v);
}

void DDX_Text(CDataExchange* dx, int id, long& value) {
  if (dx == nullptr) return;
  long long v = value;
  ExchangeSigned(dx, id, &v);
  value = static_cast<long>(v);
}

void DDX_Text(CDataExchange* dx, int id, unsigned int& value) {
  if (dx == nullptr) return;
  unsigned long long v = value;
  ExchangeUnsigned(dx, id, &v);
  value = static_cast<unsigned int>(v);
}

void DDX_Text(CDataExchange* dx, int id, unsigned long& value) {
  if (dx == nullptr) return;
  unsigned long long v = value;
  ExchangeUnsigned(dx, id, &v);
  value = static_cast<unsigned long>(v);
}

void DDX_Radio(CDataExchange* dx, int id, int& value) {
  if (dx == nullptr || dx->PrepareCtrl(id) == nullptr) return;
  const std::vector<QRadioButton*> group = dx->m_pDlgWnd->RadioGroup(id);
  if (group.empty()) {
    dx->Fail();
    return;
  }
  if (dx->m_bSaveAndValidate) {
    value = -1;
    for (size_t i = 0; i < group.size(); ++i)
      if (group[i]->isChecked()) {
        value = static_cast<int>(i);
        break;
      }
    return;
  }
  for (size_t i = 0; i < group.size(); ++i) {
    QRadioButton* radio = group[i];
    const bool check = static_cast<int>(i) == value;
    // Exclusive groups refuse to clear their last checked button.
    QButtonGroup* buttons = radio->group();
    const bool exclusive = buttons != nullptr && buttons->exclusive();
    const bool autoExclusive = radio->autoExclusive();
    if (exclusive) buttons->setExclusive(false);
    radio->setAutoExclusive(false);
    radio->setChecked(check);
    radio->setAutoExclusive(autoExclusive);
    if (exclusive) buttons->setExclusive(true);
  }
}

void DDX_Check(CDataExchange* dx, int id, int& value) {
  if (dx == nullptr) return;
  QWidget* control = dx->PrepareCtrl(id);
  if (control == nullptr) return;
  auto* box = qobject_cast<QCheckBox*>(control);
  if (box == nullptr) {
    dx->Fail();
    return;
  }
  if (dx->m_bSaveAndValidate) {
    value = box->checkState() == Qt::Checked ? 1 : (box->checkState() == Qt::PartiallyChecked ? 2 : 0);
  } else {
    if (value == 2) box->setTristate(true);
    box->setCheckState(value == 1 ? Qt::Checked : (value == 2 ? Qt::PartiallyChecked : Qt::Unchecked));
  }
}

void DDV_MaxChars(CDataExchange* dx, const CString& value, int count) {
  if (dx == nullptr || dx->Failed() || count < 0) return;
  if (!dx->m_bSaveAndValidate) {
    if (auto* edit = qobject_cast<QLineEdit*>(dx->LastControl()))
      edit->setMaxLength(std::max<int>(count, static_cast<int>(edit->text().size())));
    return;
  }
  if (CharacterCount(value) <= count) return;
  CString text;
  text.Format("Please enter no more than %d characters.", count);
  Prompt(dx, AFX_IDP_PARSE_STRING_SIZE, text);
  dx->Fail();
}

void DDX_TextMax(CDataExchange* dx, int id, CString& value, int count) {
  DDX_Text(dx, id, value);
  DDV_MaxChars(dx, value, count);
}

void DDV_MinMaxInt(CDataExchange* dx, int value, int minValue, int maxValue) {
  if (dx != nullptr) CheckRange(dx, value, minValue, maxValue);
}

void DDV_MinMaxLong(CDataExchange* dx, long value, long minValue, long maxValue) {
  if (dx != nullptr) CheckRange(dx, value, minValue, maxValue);
}

void DDV_MinMaxUInt(CDataExchange* dx, unsigned int value, unsigned int minValue, unsigned int maxValue) {
  if (dx != nullptr) CheckRange(dx, value, minValue, maxValue);
}

void DDV_MinMaxULong(CDataExchange* dx, unsigned long value, unsigned long minValue, unsigned long maxValue) {
  // Values above 2^63 cannot come from the 32-bit exchange; clamp for the check.
  const auto clamp = [](unsigned long v) {
    return static_cast<long long>(std::min<unsigned long>(v, std::numeric_limits<long long>::max()));
  };
  if (dx != nullptr) CheckRange(dx, clamp(value), clamp(minValue), clamp(maxValue));
}

// --- CDialog ----------------------------------------------------------------------

CDialog::CDialog(UINT templateId, CWnd* parent) : m_templateId(templateId), m_parent(parent) {}

CDialog::~CDialog() { delete m_dialog.data(); }

QDialog* CDialog::GetDialog() {
  if (!m_dialog) {
    m_built = false;
    m_controls.clear();
    m_rows = m_groupRows = m_buttons = nullptr;
    m_radioGroup = nullptr;
    auto* dialog = new Widget(this);
    m_dialog = dialog;
    Attach(dialog);
  }
  if (!m_built) {
    m_built = true;
    BuildDialog();
  }
  return m_dialog.data();
}

void CDialog::BuildDialog() { AddOkCancel(); }

// The first field in tab order starts with its text selected, so that
// typing replaces the preset value.
void CDialog::SelectFirstEditText(QDialog* dialog) {
  for (QWidget* w = dialog->nextInFocusChain(); w != nullptr && w != dialog; w = w->nextInFocusChain()) {
    if (!(w->focusPolicy() & Qt::TabFocus) || !w->isEnabled() || w->isHidden()) continue;
    if (auto* edit = qobject_cast<QLineEdit*>(w)) edit->selectAll();
    return;
  }
}

int CDialog::DoModal() {
  if (m_running) return -1;  // already showing: one run at a time
  QDialog* dialog = GetDialog();
  QWidget* parent = m_parent != nullptr ? m_parent->GetSafeHwnd() : nullptr;
  if (dialog->parentWidget() != parent) dialog->setParent(parent, dialog->windowFlags() | Qt::Dialog);
  dialog->setResult(0);
  m_running = true;
  OnInitDialog();
  SelectFirstEditText(dialog);
  const int result = ModalHost::Current().RunDialog(*dialog);
  m_running = false;
  // The dialog must not die with its parent while this object still owns it.
  if (m_dialog && m_dialog->parentWidget() != nullptr) m_dialog->setParent(nullptr, m_dialog->windowFlags());
  return result;
}

BOOL CDialog::OnInitDialog() {
  UpdateData(FALSE);
  return TRUE;
}

void CDialog::OnOK() {
  if (!UpdateData(TRUE)) return;
  EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDialog::EndDialog(int result) {
  if (m_dialog) m_dialog->done(result);
}

BOOL CDialog::UpdateData(BOOL saveAndValidate) {
  GetDialog();
  CDataExchange dx(this, saveAndValidate);
  DoDataExchange(&dx);
  dx.ShowRefusal();
  return dx.Failed() ? FALSE : TRUE;
}

void CDialog::DoDataExchange(CDataExchange* /*dx*/) {}

void CDialog::RegisterControl(int id, QWidget* control, bool groupStart) {
  if (control == nullptr || id == 0) return;
  SetControlId(control, id);
  Control c;
  c.widget = control;
  c.groupStart = groupStart;
  m_controls.emplace_back(id, c);
  if (auto* button = qobject_cast<QAbstractButton*>(control)) {
    if (qobject_cast<QPushButton*>(control) != nullptr)
      QObject::connect(button, &QAbstractButton::clicked, button, [this, id] { Clicked(id); });
  }
}

QWidget* CDialog::GetControl(int id) const {
  for (const auto& entry : m_controls)
    if (entry.first == id && entry.second.widget) return entry.second.widget.data();
  return nullptr;
}

CWnd* CDialog::GetDlgItem(int id) const { return HandleFor(GetControl(id)); }

std::vector<QRadioButton*> CDialog::RadioGroup(int id) const {
  std::vector<QRadioButton*> group;
  size_t i = 0;
  while (i < m_controls.size() && m_controls[i].first != id) ++i;
  if (i == m_controls.size()) return group;
  for (size_t j = i; j < m_controls.size(); ++j) {
    auto* radio = qobject_cast<QRadioButton*>(m_controls[j].second.widget.data());
    if (radio == nullptr || (j > i && m_controls[j].second.groupStart)) break;
    group.push_back(radio);
  }
  return group;
}

int CDialog::RegisterControlsByName() {
  QDialog* dialog = GetDialog();
  static const QRegularExpression pattern(QStringLiteral("^[A-Za-z]+_([1-9][0-9]{0,8})$"));
  int count = 0;
  int defaultId = 0;
  QWidget* previous = nullptr;
  QList<QButtonGroup*> groupsSeen;
  for (QWidget* widget : dialog->findChildren<QWidget*>()) {
    const QRegularExpressionMatch match = pattern.match(widget->objectName());
    if (!match.hasMatch()) continue;
    const int id = match.captured(1).toInt();
    bool groupStart = false;
    if (auto* radio = qobject_cast<QRadioButton*>(widget)) {
      if (QButtonGroup* group = radio->group()) {
        groupStart = !groupsSeen.contains(group);
        if (groupStart) groupsSeen.append(group);
      } else {
        auto* before = qobject_cast<QRadioButton*>(previous);
        groupStart = before == nullptr || before->group() != nullptr || before->parentWidget() != radio->parentWidget();
      }
    }
    if (auto* button = qobject_cast<QPushButton*>(widget); button != nullptr && button->isDefault() && defaultId == 0)
      defaultId = id;
    RegisterControl(id, widget, groupStart);
    previous = widget;
    ++count;
  }
  SetDefaultButton(defaultId);
  return count;
}

void CDialog::SetDefaultButton(int id) {
  for (const auto& entry : m_controls) {
    auto* button = qobject_cast<QPushButton*>(entry.second.widget.data());
    if (button == nullptr) continue;
    button->setDefault(entry.first == id);
    button->setAutoDefault(entry.first == id);
  }
}

int CDialog::GetDefaultButton() const {
  for (const auto& entry : m_controls) {
    auto* button = qobject_cast<QPushButton*>(entry.second.widget.data());
    if (button != nullptr && button->isDefault()) return entry.first;
  }
  return 0;
}

void CDialog::MapCommand(int id, std::function<void()> handler) { m_commands[id] = std::move(handler); }

void CDialog::Clicked(int id) {
  const auto it = m_commands.find(id);
  if (it != m_commands.end() && it->second) {
    // Copy: the handler may replace itself.
    const std::function<void()> handler = it->second;
    handler();
  } else if (id == IDOK) {
    OnOK();
  } else if (id == IDCANCEL) {
    OnCancel();
  }
}

void CDialog::EnsureLayout() {
  QDialog* dialog = GetDialog();
  if (m_rows != nullptr) return;
  // The column the layout helpers fill; a dialog set up from a form has a
  // layout of its own and never gets here.
  auto* outer = new QVBoxLayout(dialog);
  m_rows = new QVBoxLayout;
  m_buttons = new QHBoxLayout;
  m_buttons->addStretch(1);
  outer->addLayout(m_rows);
  outer->addStretch(1);
  outer->addLayout(m_buttons);
}

QBoxLayout* CDialog::Rows() {
  EnsureLayout();
  return m_groupRows != nullptr ? m_groupRows : m_rows;
}

void CDialog::SetTitle(const char* title) { GetDialog()->setWindowTitle(ToQString(title)); }

QLabel* CDialog::AddStatic(const char* text) {
  auto* label = new QLabel(ToQString(text));
  Rows()->addWidget(label);
  return label;
}

QLineEdit* CDialog::AddEdit(int id, const char* label) {
  auto* edit = new QLineEdit;
  if (label != nullptr) {
    auto* row = new QHBoxLayout;
    auto* caption = new QLabel(ToQString(label));
    caption->setBuddy(edit);
    row->addWidget(caption);
    row->addWidget(edit, 1);
    Rows()->addLayout(row);
  } else {
    Rows()->addWidget(edit);
  }
  RegisterControl(id, edit);
  return edit;
}

QRadioButton* CDialog::AddRadio(int id, const char* text, bool firstInGroup) {
  auto* radio = new QRadioButton(ToQString(text));
  Rows()->addWidget(radio);
  if (firstInGroup || m_radioGroup == nullptr) {
    m_radioGroup = new QButtonGroup(GetDialog());
    m_radioGroup->setExclusive(true);
  }
  m_radioGroup->addButton(radio);
  RegisterControl(id, radio, firstInGroup);
  return radio;
}

QCheckBox* CDialog::AddCheck(int id, const char* text) {
  auto* box = new QCheckBox(ToQString(text));
  Rows()->addWidget(box);
  RegisterControl(id, box);
  return box;
}

QGroupBox* CDialog::BeginGroupBox(const char* title) {
  auto* box = new QGroupBox(ToQString(title));
  Rows()->addWidget(box);
  m_groupRows = new QVBoxLayout(box);
  return box;
}

void CDialog::EndGroupBox() { m_groupRows = nullptr; }

QPushButton* CDialog::AddButton(int id, const char* text) {
  EnsureLayout();
  auto* button = new QPushButton(ToQString(text));
  button->setAutoDefault(false);
  m_buttons->addWidget(button);
  RegisterControl(id, button);
  return button;
}

void CDialog::AddOkCancel(const char* okText, const char* cancelText) {
  AddButton(IDOK, okText);
  AddButton(IDCANCEL, cancelText);
  SetDefaultButton(IDOK);
}
